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
#ifndef DDS_ATC_H
#define DDS_ATC_H

#include <cstddef>
#include <cstdint>

enum class AtcFormat { Rgb, ExplicitAlpha, InterpolatedAlpha };

// Bytes of one block: 8 or 16.
inline uint32_t ddsAtcBlockBytes(AtcFormat format) { return format == AtcFormat::Rgb ? 8u : 16u; }

// The plain decoders: the block's 16 RGBA pixels, pixel row r at
// blockOrigin + r * rowStride.
void ddsDecodeAtcBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeAtcExplicitBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeAtcInterpolatedBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// A block-row kernel: `blockCount` consecutive blocks into rows[0 .. 3],
// block b at pixel columns 4b to 4b + 3, at 4 bytes a pixel (R, G, B, A)
// or 3 (R, G, B); exactly blockCount * 4 pixels of each row are written.
using BlockRowKernel = void (*)(const uint8_t *, uint32_t, uint8_t *const *);

// The fastest kernel for the format and pixel size (3 or 4) that this build
// and processor run; null for another pixel size.
BlockRowKernel ddsAtcRowKernel(AtcFormat format, int bytesPerPixel);

// Each kernel on its own, for the tests and measurements: null where the
// build or the processor lacks the tier.
enum class AtcTier { Portable, Ssse3 };
BlockRowKernel ddsAtcRowKernelTier(AtcFormat format, int bytesPerPixel, AtcTier tier);

#endif
