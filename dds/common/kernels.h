// The shape every block kernel has, and the tiers of speed they come in.
#ifndef DDS_COMMON_KERNELS_H
#define DDS_COMMON_KERNELS_H

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "common/cpu_features.h"
#include "common/simd.h"
#include "formats.h"

// Decodes `blockCount` blocks stored one after another into the rows of
// their pixels: pixel row r of the blocks goes to rows[r] (as many rows as
// a block is high), block b's pixels from column b times the block's width,
// at a pixel size fixed by the kernel: 4 bytes (R, G, B, A) or 3 (R, G, B).
// Writes exactly blockCount blocks' pixels into each row, nothing past them.
using BlockRowKernel = void (*)(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows);

// The same for a format whose colour values the image's HDR table maps
// (BC6H with an exposure or sRGB asked for, common/hdr_map.h): the bytes
// come from `table` instead of the plain rule.
struct DdsHdrTable;
using MappedBlockRowKernel = void (*)(const DdsHdrTable &table, const uint8_t *blocks, uint32_t blockCount,
                                      uint8_t *const *rows);

// How a kernel computes: the plain rule block by block, portable C++ on
// words, or with a processor's vector extensions.  A faster tier gives the
// plain tier's bytes exactly.
enum class KernelTier : uint8_t { Plain, Portable, Sse2, Ssse3, Avx2 };

// Whether the processor runs `tier`'s kernels: SSSE3 and AVX2 only where it
// has them (and ddsAllowCpuExtensionsUpTo allows them), the other tiers
// always.  The dispatches ask this once for every family; a tier that the
// build does not compile has no kernels to find.
inline bool ddsProcessorRuns(KernelTier tier) {
    if (tier == KernelTier::Ssse3) return ddsCpuHasSsse3();
    return tier != KernelTier::Avx2 || ddsCpuHasAvx2();
}

// Where block b of a row lies in the blocks, and where its pixels start in
// the rows, in bytes.
template <BlockFormat Format>
constexpr const uint8_t *ddsBlockAt(const uint8_t *blocks, uint32_t b) {
    return blocks + size_t{b} * ddsBlockBytes(Format);
}
template <BlockFormat Format, int BytesPerPixel>
constexpr size_t ddsBlockColumn(uint32_t b) {
    return size_t{b} * ddsBlockShape(Format).width * BytesPerPixel;
}

// A kernel made of a function of one block: `Block<Format,
// BytesPerPixel>::decode(block, rows, column, last)` decodes one block into
// the rows from byte `column` on; `last` is true for the row's last block
// (a store may reach past a block's pixels into the next one's only when
// it is not).  A tier compiled for an extension walks its blocks itself,
// in a function compiled for it.
template <template <BlockFormat, int> class Block>
struct BlockWalk {
    template <BlockFormat F, int P>
    struct Kernel {
        static void run(const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
            for (uint32_t b = 0; b < count; ++b) Block<F, P>::decode(ddsBlockAt<F>(blocks, b), rows, ddsBlockColumn<F, P>(b), b + 1 == count);
        }
    };
};

#if defined(DDS_HAVE_SSSE3)
// The walk of BlockWalk for a tier compiled for SSSE3: the walk is compiled
// for it too, so that the blocks' decode is inlined into it.
template <template <BlockFormat, int> class Block, BlockFormat F, int P>
DDS_TARGET_SSSE3 void ddsWalkBlocksSsse3(const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
    for (uint32_t b = 0; b < count; ++b) Block<F, P>::decode(ddsBlockAt<F>(blocks, b), rows, ddsBlockColumn<F, P>(b), b + 1 == count);
}

template <template <BlockFormat, int> class Block>
struct BlockWalkSsse3 {
    template <BlockFormat F, int P>
    struct Kernel {
        static constexpr BlockRowKernel run = ddsWalkBlocksSsse3<Block, F, P>;
    };
};
#endif

// The kernel `Kernel<F, P>::run` (a BlockRowKernel, or a
// MappedBlockRowKernel) for `format` and `bytesPerPixel` (3 or 4) when
// `format` is one of `Formats`, else null: how a family's tier names the
// formats it decodes.
template <template <BlockFormat, int> class Kernel, BlockFormat... Formats>
auto ddsKernelOf(BlockFormat format, int bytesPerPixel) {
    using Run = std::common_type_t<decltype(+Kernel<Formats, 3>::run)...>;
    Run found = nullptr;
    ((format == Formats ? (found = bytesPerPixel == 3 ? Run{Kernel<Formats, 3>::run} : Run{Kernel<Formats, 4>::run})
                        : nullptr),
     ...);
    return found;
}

#endif
