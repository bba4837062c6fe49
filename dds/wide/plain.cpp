#include "wide/wide.h"

#include <cstring>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "common/hdr_map.h"
#include "layout_kernels.h"

namespace {

// How the colour values of the float layouts become bytes: by the plain
// rule (the table unused), or, with an exposure or sRGB asked for, from
// the image's HDR table, each value converted exactly to the half (half
// floats, packed floats) or the float (32-bit floats, shared exponents)
// the table is built for.  Alpha always takes the plain rule.
struct PlainValues {
    static uint8_t half(const DdsHdrTable *, uint32_t half) { return ddsHalfToUnorm8(half); }
    static uint8_t single(const DdsHdrTable *, uint32_t bits) { return ddsFloatToUnorm8(bits); }
    // mantissa * 2^(exponent - 24) to 8 bits: 255 * mantissa / 2^(24 - exponent)
    // rounded to nearest, ties up, in integers (255 * 511 + 2^23 fits easily).
    // At or above 1 it is 255; a zero mantissa is 0 at any exponent.
    static uint8_t shared(const DdsHdrTable *, uint32_t mantissa, uint32_t exponent) {
        if (exponent >= 24) return mantissa != 0 ? 255 : 0;
        const uint32_t shift = 24 - exponent;  // 1 to 24
        const uint32_t rounded = (255 * mantissa + (1u << (shift - 1))) >> shift;
        return rounded > 255 ? 255 : static_cast<uint8_t>(rounded);
    }
};

struct MappedValues {
    static uint8_t half(const DdsHdrTable *table, uint32_t half) { return ddsHdrHalfByte(*table, half); }
    static uint8_t single(const DdsHdrTable *table, uint32_t bits) { return ddsHdrFloatByte(*table, bits); }
    // mantissa * 2^(exponent - 24): a 9-bit integer times a power of two
    // from 2^-24 to 2^7, both exact floats, and so is their product.
    static uint8_t shared(const DdsHdrTable *table, uint32_t mantissa, uint32_t exponent) {
        const uint32_t powerBits = (exponent + 127 - 24) << 23;
        float power;
        std::memcpy(&power, &powerBits, sizeof power);
        const float value = static_cast<float>(mantissa) * power;
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return ddsHdrFloatByte(*table, bits);
    }
};

template <class Values>
uint8_t halfAt(const DdsHdrTable *table, const uint8_t *p) { return Values::half(table, ddsLoad16(p)); }

template <class Values>
uint8_t floatAt(const DdsHdrTable *table, const uint8_t *p) { return Values::single(table, ddsLoad32(p)); }

uint8_t unorm16At(const DdsHdrTable *, const uint8_t *p) { return ddsUnsignedToUnorm8(ddsLoad16(p), 16); }

using ChannelFn = uint8_t (*)(const DdsHdrTable *, const uint8_t *);

// A pixel of `Channels` channels of `ChannelBytes` bytes each, the colour
// converted by `Colour` and alpha by `Alpha`: one channel is grey, two are
// red and green over blue 0, three or four R, G, B (A).
template <uint32_t ChannelBytes, ChannelFn Colour, ChannelFn Alpha, uint32_t Channels>
void channelPixel(const DdsHdrTable *table, const uint8_t *p, uint8_t rgba[4]) {
    for (uint32_t c = 0; c < Channels && c < 3; ++c) rgba[c] = Colour(table, p + c * ChannelBytes);
    if (Channels == 4) rgba[3] = Alpha(table, p + 3 * ChannelBytes);
    if (Channels == 1) rgba[1] = rgba[2] = rgba[0];
}

// R bits 0-10 and G bits 11-21: 5 exponent bits over 6 mantissa bits; B
// bits 22-31: 5 over 5.  A packed unsigned float has a half's bias and
// exponent range; with the mantissa moved up to a half's 10 bits it is
// that half, exactly.
template <class Values>
void packedFloatPixel(const DdsHdrTable *table, const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    rgba[0] = Values::half(table, (pixel & 0x7FFu) << 4);
    rgba[1] = Values::half(table, (pixel >> 11 & 0x7FFu) << 4);
    rgba[2] = Values::half(table, (pixel >> 22) << 5);
}

// Mantissas R bits 0-8, G 9-17, B 18-26; the exponent bits 27-31.
template <class Values>
void sharedExponentPixel(const DdsHdrTable *table, const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    const uint32_t exponent = pixel >> 27;
    for (uint32_t c = 0; c < 3; ++c) rgba[c] = Values::shared(table, pixel >> (9 * c) & 0x1FFu, exponent);
}

using PixelFn = void (*)(const DdsHdrTable *, const uint8_t *, uint8_t *);

// A row of pixels of `PixelBytes`, each converted by `Pixel` into
// `BytesPerPixel` bytes; what a pixel does not set is 0, alpha 255.  The
// bytes are stored one by one, which compilers turn into vector stores of
// three-byte pixels too (a three-byte copy they do not).
template <uint32_t PixelBytes, PixelFn Pixel, uint32_t BytesPerPixel>
void pixelRow(const DdsHdrTable *table, const uint8_t *source, uint32_t width, uint8_t *destination) {
    for (uint32_t x = 0; x < width; ++x, source += PixelBytes, destination += BytesPerPixel) {
        uint8_t rgba[4] = {0, 0, 0, 255};
        Pixel(table, source, rgba);
        for (uint32_t c = 0; c < BytesPerPixel; ++c) destination[c] = rgba[c];
    }
}

// The loop of the format's channel count, chosen before the loop.
template <uint32_t ChannelBytes, ChannelFn Colour, ChannelFn Alpha, uint32_t BytesPerPixel>
void channelRow(const DdsHdrTable *table, uint32_t channels, const uint8_t *source, uint32_t width,
                uint8_t *destination) {
    constexpr uint32_t B = ChannelBytes;
    switch (channels) {
        case 1: return pixelRow<B, channelPixel<B, Colour, Alpha, 1>, BytesPerPixel>(table, source, width, destination);
        case 2: return pixelRow<2 * B, channelPixel<B, Colour, Alpha, 2>, BytesPerPixel>(table, source, width, destination);
        case 3: return pixelRow<3 * B, channelPixel<B, Colour, Alpha, 3>, BytesPerPixel>(table, source, width, destination);
        default: return pixelRow<4 * B, channelPixel<B, Colour, Alpha, 4>, BytesPerPixel>(table, source, width, destination);
    }
}

// The wide layouts have the plain tier alone: the rule, pixel by pixel,
// the float layouts' colour by `Values` (16-bit UNORM channels are never
// mapped).
template <class Values, uint32_t BytesPerPixel>
void wideRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    const DdsHdrTable *table = state.hdr;
    const uint32_t channels = state.format->wide.channels;
    using P = PlainValues;
    switch (state.format->wide.layout) {
        case WideLayout::Unorm16:
            channelRow<2, unorm16At, unorm16At, BytesPerPixel>(table, channels, source, width, rows[0]);
            break;
        case WideLayout::Float16:
            channelRow<2, halfAt<Values>, halfAt<P>, BytesPerPixel>(table, channels, source, width, rows[0]);
            break;
        case WideLayout::Float32:
            channelRow<4, floatAt<Values>, floatAt<P>, BytesPerPixel>(table, channels, source, width, rows[0]);
            break;
        case WideLayout::R11G11B10:
            pixelRow<4, packedFloatPixel<Values>, BytesPerPixel>(table, source, width, rows[0]);
            break;
        case WideLayout::R9G9B9E5:
            pixelRow<4, sharedExponentPixel<Values>, BytesPerPixel>(table, source, width, rows[0]);
            break;
    }
}

}  // namespace

uint8_t ddsFloatToUnorm8(uint32_t bits) {
    float value;
    static_assert(sizeof value == sizeof bits, "a float is 32 bits");
    std::memcpy(&value, &bits, sizeof value);
    if (!(value > 0.0f)) return 0;  // negative, -0, 0 and NaN
    if (value >= 1.0f) return 255;  // 1, above, +inf
    // The float's significand has 24 bits and 255 has 8, so their product
    // has at most 32 significant bits and the double holds it exactly, for
    // denormals too.  It lies in (0, 255): the truncated whole part is exact
    // and so is the subtraction (its result is the product's low bits).
    const double scaled = static_cast<double>(value) * 255.0;
    const uint32_t whole = static_cast<uint32_t>(scaled);
    const double fraction = scaled - static_cast<double>(whole);
    return static_cast<uint8_t>(fraction >= 0.5 ? whole + 1 : whole);  // ties up
}

LayoutRowKernel ddsWideKernel(uint32_t bytesPerPixel, KernelTier tier, bool mapped) {
    if (tier != KernelTier::Plain) return nullptr;
    if (mapped) return bytesPerPixel == 3 ? wideRow<MappedValues, 3> : wideRow<MappedValues, 4>;
    return bytesPerPixel == 3 ? wideRow<PlainValues, 3> : wideRow<PlainValues, 4>;
}
