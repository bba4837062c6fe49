// ATC blocks: 4 x 4 pixels, stored row-major.  ATC RGB is an 8-byte colour
// block; ATCA (explicit alpha) and ATCI (interpolated alpha) are 16 bytes,
// an 8-byte alpha block and then the colour block.
//
// Colour block: two little-endian 16-bit colours and 32 bits of 2-bit
// indices (byte 4 + r holds row r, pixel c at bits 2c and 2c + 1).  Colour 0
// is 5:5:5 in bits 0 to 14, and bit 15 is the block's mode; colour 1 is
// 5:6:5.  Channels widen to 8 bits by repeating their top bits.  Mode 0:
// c0, (5 c0 + 3 c1) >> 3, (3 c0 + 5 c1) >> 3, c1.  Mode 1: black,
// max(c0 - (c1 >> 2), 0), c0, c1.  (Per channel, on the 8-bit values.)
// ATC RGB pixels have alpha 255.
//
// Alpha blocks: explicit, 4 bits a pixel (pixel i in byte i / 2, the low
// nibble first) times 17; interpolated, two 8-bit values a0, a1 and
// sixteen 3-bit indices (pixel i at bit 16 + 3i), giving a0, a1, then
// ((7 - k) a0 + k a1 + 3) / 7 for k = 1 to 6 when a0 > a1, else
// ((5 - k) a0 + k a1 + 2) / 5 for k = 1 to 4, 0 and 255: the rounded
// fractions.
//
// The palette and the interpolated alpha are written once in atc_rules.h;
// the colour block's indices and the explicit alpha block are DXT3's and
// decode by its functions (bc1_3/bc1_3.h, common/explicit_alpha_sse2.h),
// the interpolated alpha block's indices and mixes are DXT5's
// (common/channel.h, common/channel_ssse3.h).  The plain decoder is
// atc.cpp; atc_rows.cpp (portable) and atc_ssse3.cpp are its speed tiers,
// held byte for byte to it.
#ifndef DDS_ATC_H
#define DDS_ATC_H

#include <cstddef>
#include <cstdint>

#include "common/kernels.h"
#include "formats.h"

// The plain decoder of a block of `format` (AtcRgb, AtcExplicitAlpha,
// AtcInterpolatedAlpha): its 16 RGBA pixels, pixel row r at blockOrigin + r
// * rowStride.  Another format writes nothing.
void ddsDecodeAtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// The speed tiers' kernels of the three ATC formats, null for another
// format or pixel size.  The SSSE3 one is compiled only where the build has
// SSSE3.
BlockRowKernel ddsAtcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsAtcKernelSsse3(BlockFormat format, int bytesPerPixel);

#endif
