// The shape every block kernel has, and the tiers of speed they come in.
#ifndef DDS_COMMON_KERNELS_H
#define DDS_COMMON_KERNELS_H

#include <cstdint>

#include "formats.h"

// Decodes `blockCount` blocks stored one after another into the rows of
// their pixels: pixel row r of the blocks goes to rows[r] (as many rows as
// a block is high), block b's pixels from column b times the block's width,
// at a pixel size fixed by the kernel: 4 bytes (R, G, B, A) or 3 (R, G, B).
// Writes exactly blockCount blocks' pixels into each row, nothing past them.
using BlockRowKernel = void (*)(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows);

// How a kernel computes: the plain rule block by block, portable C++ on
// words, or with a processor's vector extensions.  A faster tier gives the
// plain tier's bytes exactly.
enum class KernelTier : uint8_t { Plain, Portable, Sse2, Ssse3 };

// The kernel `Kernel<F, P>::run` for `format` and `bytesPerPixel` (3 or 4)
// when `format` is one of `Formats`, else null: how a family's tier names
// the formats it decodes.
template <template <BlockFormat, int> class Kernel, BlockFormat... Formats>
BlockRowKernel ddsKernelOf(BlockFormat format, int bytesPerPixel) {
    BlockRowKernel found = nullptr;
    ((format == Formats ? (found = bytesPerPixel == 3 ? &Kernel<Formats, 3>::run : &Kernel<Formats, 4>::run)
                        : nullptr),
     ...);
    return found;
}

#endif
