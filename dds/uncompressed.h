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
// pixelBytes bytes.
void ddsConvertUncompressedRow(const UncompressedLayout &layout, const uint8_t *source,
                               uint32_t width, uint8_t *rgba);

#endif
