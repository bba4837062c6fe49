#include "masks/masks.h"

namespace {

// The scale maps the mask's largest value to 255.  It is divided in double
// precision and kept as a 32-bit float; that rounding is why a full 5-bit
// or 6-bit channel comes out 254, and files converted before depend on it.
ChannelRule makeRule(uint32_t mask, uint8_t constantIfZero) {
    ChannelRule rule{mask, 0, 0.0f, constantIfZero};
    if (mask == 0) return rule;
    while ((mask >> rule.shift & 1u) == 0) ++rule.shift;  // the mask's lowest bit, below 32
    rule.scale = static_cast<float>(255.0 / static_cast<double>(mask >> rule.shift));
    return rule;
}

}  // namespace

UncompressedLayout ddsPrepareUncompressed(const DdsPixelFormat &format) {
    UncompressedLayout layout{};
    layout.channels[0] = makeRule(format.rBitMask, 0);
    layout.channels[1] = makeRule(format.gBitMask, 0);
    layout.channels[2] = makeRule(format.bBitMask, 0);
    const bool hasAlpha = (format.flags & DdsPixelAlpha) != 0;
    layout.channels[3] = makeRule(hasAlpha ? format.aBitMask : 0, 255);
    switch (format.rgbBitCount) {
        case 8: case 16: case 24: case 32: layout.pixelBytes = format.rgbBitCount / 8; break;
        default: layout.pixelBytes = 0; break;
    }
    return layout;
}

uint8_t ddsConvertChannel(const ChannelRule &rule, uint32_t pixel) {
    if (rule.mask == 0) return rule.constant;
    const uint32_t value = (pixel & rule.mask) >> rule.shift;
    // The product is at most 255 plus the float's rounding, so it truncates
    // to a byte.
    const double product = static_cast<double>(rule.scale) * static_cast<double>(value);
    return static_cast<uint8_t>(static_cast<uint32_t>(product));
}

void ddsConvertUncompressedRowScalar(const UncompressedLayout &layout, const uint8_t *source, uint32_t width,
                                     uint8_t *destination, uint32_t bytesPerPixel) {
    for (uint32_t x = 0; x < width; ++x, source += layout.pixelBytes, destination += bytesPerPixel) {
        const uint32_t pixel = ddsLoadPixel(source, layout.pixelBytes);
        for (uint32_t c = 0; c < bytesPerPixel; ++c) destination[c] = ddsConvertChannel(layout.channels[c], pixel);
    }
}
