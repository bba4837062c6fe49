// Conversion of uncompressed pixels, whose channels are described by bit
// masks, to RGBA or RGB.
#ifndef DDS_UNCOMPRESSED_H
#define DDS_UNCOMPRESSED_H

#include <cstdint>

#include "common/bytes.h"
#include "header.h"

// How one channel is taken out of a pixel value: (value & mask) >> shift,
// times scale.  A zero mask yields `constant` instead.
struct ChannelRule {
    uint32_t mask;
    uint32_t shift;
    float scale;
    uint8_t constant;
};

struct UncompressedLayout {
    ChannelRule channels[4];  // red, green, blue, alpha
    uint32_t pixelBytes;      // 1, 2, 3 or 4; 0 for a bit count that is not converted
};

// The rules for a pixel format.  Alpha is taken from aBitMask only when the
// alpha flag is set and the mask is not 0; otherwise it is 255.  A colour
// channel whose mask is 0 is 0.
UncompressedLayout ddsPrepareUncompressed(const DdsPixelFormat &format);

// One channel of one pixel value.
uint8_t ddsConvertChannel(const ChannelRule &rule, uint32_t pixel);

// The little-endian value of a pixel of `pixelBytes` (1 to 4).
inline uint32_t ddsLoadPixel(const uint8_t *p, uint32_t pixelBytes) {
    return pixelBytes == 4 ? ddsLoad32(p) : pixelBytes == 3 ? ddsLoad24(p) : pixelBytes == 2 ? ddsLoad16(p) : p[0];
}

// Converts `width` source pixels (width * pixelBytes bytes) to
// `bytesPerPixel` bytes each (4: R, G, B, A; 3: R, G, B), pixel by pixel
// and channel by channel through ddsConvertChannel: the plain tier, which
// every faster method must match byte for byte.
void ddsConvertUncompressedRowScalar(const UncompressedLayout &layout, const uint8_t *source, uint32_t width,
                                     uint8_t *destination, uint32_t bytesPerPixel);

// Largest channel value (mask >> shift) that a converter looks up in a
// table; a wider channel is converted by the plain rule.
constexpr uint32_t ddsConverterTableEntries = 1024;

// A layout prepared once for many rows by the row kernel of a tier
// (ddsMaskKernel, layout_kernels.h), which turns each pixel value into an
// RGBA word (R in the low byte): byte shuffles where every mask is 0 or one
// whole byte of a 3- or 4-byte pixel (SSSE3, SSE2, portable); each channel
// value times a 16-bit multiplier, checked at preparation against
// ddsConvertChannel for every value the mask lets through (SSE2, 16- and
// 32-bit pixels); one word per value of an 8-bit pixel, or one table per
// channel indexed by (value & mask) >> shift (portable); or the plain rule.
// The tables are computed by ddsConvertChannel itself, so a lookup gives
// what the plain rule gives.  Tables and multipliers are prepared only when
// they pay for the image's pixels (about four pixels for every table entry
// or checked value).
struct UncompressedConverter {
    UncompressedLayout layout;
    uint32_t constantBits;  // the constants of the channels whose mask is 0, in place
    uint32_t preShift[4];   // multiplications: the value is shifted left by this...
    uint32_t multiplier[4]; // ...and multiplied by this, keeping the high 16 bits of the product
    uint32_t pixelTable[256];                            // 8-bit pixels: RGBA word of each value
    uint8_t channelTables[4][ddsConverterTableEntries];  // byte of each channel value
};

#endif
