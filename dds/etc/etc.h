// ETC1, ETC2 and EAC blocks: 4 x 4 pixels each, stored as big-endian
// 64-bit words whose pixels are numbered down the columns (pixel x, y is
// number 4x + y).
//
//   Etc2Rgb          8 bytes: individual, differential, T, H and planar
//                    modes; alpha 255.  ETC1 files decode through it too
//                    (every ETC1 block is a valid ETC2 block with the same
//                    pixels).
//   Etc2PunchThrough 8 bytes: ETC2 RGB without the individual mode, whose
//                    bit 33 says opaque; in a block that is not opaque,
//                    index 2 is the transparent pixel (0, 0, 0, 0).
//   Etc2Rgba         16 bytes: an EAC alpha block (8-bit values), then an
//                    ETC2 RGB block.
//   EacR11           8 bytes: one unsigned 11-bit channel, delivered as
//                    grey (value, value, value, 255).
//   EacRg11          16 bytes: the red block, then the green one, delivered
//                    as (red, green, 0, 255).
// An 11-bit value v becomes the byte round(v * 255 / 2047).
//
// The rules are written once in etc_rules.h.  The plain decoder
// (etc_block.cpp) applies them pixel by pixel; etc_rows.cpp (portable) and
// etc_rows_ssse3.cpp are its speed tiers, held byte for byte to it.
#ifndef DDS_ETC_H
#define DDS_ETC_H

#include <cstddef>
#include <cstdint>

#include "common/kernels.h"
#include "formats.h"

// The plain decoder of a block of `format` (Etc2Rgb to EacRg11): its 16
// RGBA pixels, pixel row r at blockOrigin + r * rowStride.  Every bit
// pattern decodes to defined pixels; another format writes nothing.
void ddsDecodeEtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// The speed tiers' kernels of Etc2Rgb to EacRg11, null for another format
// or pixel size.  The SSSE3 one is compiled only where the build has SSSE3.
BlockRowKernel ddsEtcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsEtcKernelSsse3(BlockFormat format, int bytesPerPixel);

#endif
