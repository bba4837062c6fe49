// The one dispatch of block decoding: for a block format and a pixel size,
// the kernel of the fastest tier that this build and processor run.
#ifndef DDS_BLOCK_KERNELS_H
#define DDS_BLOCK_KERNELS_H

#include <cstddef>
#include <cstdint>

#include "common/hdr_map.h"
#include "common/kernels.h"
#include "formats.h"

// Decodes one block of any block format into its RGBA pixels (R, G, B, A),
// pixel row r at blockOrigin + r * rowStride: the plain rule, which every
// kernel must match.  PVRTC1 words are not blocks on their own (each pixel
// blends the words around it): nothing is written for them.  With `hdr`,
// the colour values of a format ddsBlockHdrValues maps come from that
// table; every other format ignores it.
void ddsDecodeBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride,
                    const DdsHdrTable *hdr = nullptr);

// Decodes one block by ddsDecodeBlock on the stack and copies its pixels
// inside the image, `columns` x `rowCount` of them, to rows[r] from byte
// `column` on, at `bytesPerPixel` (4: R, G, B, A; 3: R, G, B): the plain
// tier's kernels, and the blocks that cross the image's edges.
void ddsDecodeBlockInside(BlockFormat format, const uint8_t *block, uint8_t *const *rows, size_t column,
                          uint32_t columns, uint32_t rowCount, uint32_t bytesPerPixel,
                          const DdsHdrTable *hdr = nullptr);

// The values of `format` that the HDR preferences map: BC6H's halves; None
// for every other block format (ASTC's HDR blocks included).
HdrValues ddsBlockHdrValues(BlockFormat format);

// The kernels that map them, by tier as below; null for a format whose
// values are not mapped.
MappedBlockRowKernel ddsMappedBlockRowKernelOfTier(BlockFormat format, int bytesPerPixel, KernelTier tier);
MappedBlockRowKernel ddsMappedBlockRowKernel(BlockFormat format, int bytesPerPixel);

// The kernel of exactly `tier` for `format` at `bytesPerPixel` (3 or 4), or
// null when that tier has none for it or this build or processor lacks the
// tier.  Every format but PVRTC1 has a Plain kernel.
BlockRowKernel ddsBlockRowKernelOfTier(BlockFormat format, int bytesPerPixel, KernelTier tier);

// The kernel of the fastest tier available for `format`.
BlockRowKernel ddsBlockRowKernel(BlockFormat format, int bytesPerPixel);

#endif
