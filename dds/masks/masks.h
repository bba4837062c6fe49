// Conversion of uncompressed pixels, whose channels are described by bit
// masks, to RGBA.
#ifndef DDS_UNCOMPRESSED_H
#define DDS_UNCOMPRESSED_H

#include <cstdint>

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

// Converts `width` source pixels to RGBA.  `source` holds width *
// pixelBytes bytes.  Prepares a converter for the row (below) and runs it.
void ddsConvertUncompressedRow(const UncompressedLayout &layout, const uint8_t *source,
                               uint32_t width, uint8_t *rgba);

// The plain conversion, pixel by pixel and channel by channel through
// ddsConvertChannel: what every faster method must match byte for byte.
void ddsConvertUncompressedRowScalar(const UncompressedLayout &layout, const uint8_t *source,
                                     uint32_t width, uint8_t *rgba);

// Largest channel value (mask >> shift) that a converter looks up in a
// table; a wider channel is converted by the plain rule.
constexpr uint32_t ddsConverterTableEntries = 1024;

// How a converter turns a pixel value into an RGBA word (R in the low byte).
enum ConverterMethod : uint32_t {
    ConvertPlain,        // ddsConvertUncompressedRowScalar
    ConvertByteShuffle,  // every mask 0 or one whole byte of the pixel: bytes move, constants fill in
    ConvertPixelTable,   // 8-bit pixels: one word per pixel value
    ConvertChannelTables, // one table per channel, indexed by (value & mask) >> shift
    ConvertMultiply       // SSE2, 16- and 32-bit pixels: each channel value times a 16-bit
                          // multiplier, checked at preparation against ddsConvertChannel
                          // for every value the mask lets through
};


// A layout prepared once for many rows.  The tables are computed by
// ddsConvertChannel itself, so a lookup gives what the plain rule gives.
struct UncompressedConverter {
    UncompressedLayout layout;
    ConverterMethod method;
    uint32_t constantBits;  // the constants of the channels whose mask is 0, in place
    uint32_t mask[4];       // per channel: mask (0 for a constant channel)
    uint32_t shift[4];      // per channel: the rule's shift
    uint32_t preShift[4];   // ConvertMultiply: the value is shifted left by this...
    uint32_t multiplier[4]; // ...and multiplied by this, keeping the high 16 bits of the product
    uint32_t pixelTable[256];                            // ConvertPixelTable: RGBA word of each value
    uint8_t channelTables[4][ddsConverterTableEntries];  // ConvertChannelTables: byte of each channel value
};

// Chooses the method for `layout`.  Tables and multipliers are prepared
// only when they pay for `pixelCount` pixels (about four pixels for every
// table entry or checked value); otherwise the plain rule is kept.
void ddsPrepareConverter(const UncompressedLayout &layout, uint64_t pixelCount,
                         UncompressedConverter *converter);

// Converts `width` source pixels to RGBA with a prepared converter.
void ddsConvertRowPrepared(const UncompressedConverter &converter, const uint8_t *source,
                           uint32_t width, uint8_t *rgba);

#endif
