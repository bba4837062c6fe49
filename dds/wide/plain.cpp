#include "wide/wide.h"

#include <cstring>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "common/hdr_map.h"
#include "layout_kernels.h"

namespace {

uint8_t unorm16At(const uint8_t *p) { return ddsUnsignedToUnorm8(ddsLoad16(p), 16); }

uint8_t halfAt(const uint8_t *p) { return ddsHalfToUnorm8(ddsLoad16(p)); }

uint8_t floatAt(const uint8_t *p) { return ddsFloatToUnorm8(ddsLoad32(p)); }

// A packed unsigned float of 5 exponent bits over `mantissaBits` mantissa
// bits has a half's bias and exponent range; with the mantissa moved up to
// a half's 10 bits it is that half, exactly.
uint8_t packedFloat(uint32_t value, uint32_t mantissaBits) {
    return ddsHalfToUnorm8(value << (10 - mantissaBits));
}

// mantissa * 2^(exponent - 24) to 8 bits: 255 * mantissa / 2^(24 - exponent)
// rounded to nearest, ties up, in integers (255 * 511 + 2^23 fits easily).
// At or above 1 it is 255; a zero mantissa is 0 at any exponent.
uint8_t sharedExponentChannel(uint32_t mantissa, uint32_t exponent) {
    if (exponent >= 24) return mantissa != 0 ? 255 : 0;
    const uint32_t shift = 24 - exponent;  // 1 to 24
    const uint32_t rounded = (255 * mantissa + (1u << (shift - 1))) >> shift;
    return rounded > 255 ? 255 : static_cast<uint8_t>(rounded);
}

// A pixel of `Channels` channels of `ChannelBytes` bytes each, converted
// by `Channel`: one channel is grey, two are red and green over blue 0,
// three or four R, G, B (A).
template <uint32_t ChannelBytes, uint8_t (*Channel)(const uint8_t *), uint32_t Channels>
void channelPixel(const uint8_t *p, uint8_t rgba[4]) {
    for (uint32_t c = 0; c < Channels; ++c) rgba[c] = Channel(p + c * ChannelBytes);
    if (Channels == 1) rgba[1] = rgba[2] = rgba[0];
}

// R bits 0-10 and G bits 11-21: 5 exponent bits over 6 mantissa bits; B
// bits 22-31: 5 over 5.
inline void packedFloatPixel(const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    rgba[0] = packedFloat(pixel & 0x7FFu, 6);
    rgba[1] = packedFloat(pixel >> 11 & 0x7FFu, 6);
    rgba[2] = packedFloat(pixel >> 22, 5);
}

// Mantissas R bits 0-8, G 9-17, B 18-26; the exponent bits 27-31.
inline void sharedExponentPixel(const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    const uint32_t exponent = pixel >> 27;
    for (uint32_t c = 0; c < 3; ++c) rgba[c] = sharedExponentChannel(pixel >> (9 * c) & 0x1FFu, exponent);
}

// A row of pixels of `PixelBytes`, each converted by `Pixel` into
// `BytesPerPixel` bytes; what a pixel does not set is 0, alpha 255.  The
// bytes are stored one by one, which compilers turn into vector stores of
// three-byte pixels too (a three-byte copy they do not).
template <uint32_t PixelBytes, void (*Pixel)(const uint8_t *, uint8_t *), uint32_t BytesPerPixel>
void pixelRow(const uint8_t *source, uint32_t width, uint8_t *destination) {
    for (uint32_t x = 0; x < width; ++x, source += PixelBytes, destination += BytesPerPixel) {
        uint8_t rgba[4] = {0, 0, 0, 255};
        Pixel(source, rgba);
        for (uint32_t c = 0; c < BytesPerPixel; ++c) destination[c] = rgba[c];
    }
}

// The loop of the format's channel count, chosen before the loop.
template <uint32_t ChannelBytes, uint8_t (*Channel)(const uint8_t *), uint32_t BytesPerPixel>
void channelRow(uint32_t channels, const uint8_t *source, uint32_t width, uint8_t *destination) {
    constexpr uint32_t B = ChannelBytes;
    switch (channels) {
        case 1: return pixelRow<B, channelPixel<B, Channel, 1>, BytesPerPixel>(source, width, destination);
        case 2: return pixelRow<2 * B, channelPixel<B, Channel, 2>, BytesPerPixel>(source, width, destination);
        case 3: return pixelRow<3 * B, channelPixel<B, Channel, 3>, BytesPerPixel>(source, width, destination);
        default: return pixelRow<4 * B, channelPixel<B, Channel, 4>, BytesPerPixel>(source, width, destination);
    }
}

// The wide layouts have the plain tier alone: the rule, pixel by pixel.
template <uint32_t BytesPerPixel>
void wideRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    const uint32_t channels = state.format->wide.channels;
    switch (state.format->wide.layout) {
        case WideLayout::Unorm16: channelRow<2, unorm16At, BytesPerPixel>(channels, source, width, rows[0]); break;
        case WideLayout::Float16: channelRow<2, halfAt, BytesPerPixel>(channels, source, width, rows[0]); break;
        case WideLayout::Float32: channelRow<4, floatAt, BytesPerPixel>(channels, source, width, rows[0]); break;
        case WideLayout::R11G11B10: pixelRow<4, packedFloatPixel, BytesPerPixel>(source, width, rows[0]); break;
        case WideLayout::R9G9B9E5: pixelRow<4, sharedExponentPixel, BytesPerPixel>(source, width, rows[0]); break;
    }
}

// With an exposure or sRGB asked for, the colour channels of the float
// layouts come from the image's HDR table, each value converted exactly to
// the half (half floats, packed floats) or the float (32-bit floats,
// shared exponents) the table is built for; alpha by the rule above.
uint8_t mappedHalf(const DdsHdrTable &table, const uint8_t *p) { return ddsHdrHalfByte(table, ddsLoad16(p)); }

uint8_t mappedFloat(const DdsHdrTable &table, const uint8_t *p) { return ddsHdrFloatByte(table, ddsLoad32(p)); }

template <uint32_t ChannelBytes, uint8_t (*Mapped)(const DdsHdrTable &, const uint8_t *),
          uint8_t (*Alpha)(const uint8_t *), uint32_t Channels>
void mappedChannelPixel(const DdsHdrTable &table, const uint8_t *p, uint8_t rgba[4]) {
    for (uint32_t c = 0; c < Channels && c < 3; ++c) rgba[c] = Mapped(table, p + c * ChannelBytes);
    if (Channels == 4) rgba[3] = Alpha(p + 3 * ChannelBytes);
    if (Channels == 1) rgba[1] = rgba[2] = rgba[0];
}

// A packed float moved up to a half's ten mantissa bits is that half: an
// entry of the table.
inline void mappedPackedFloatPixel(const DdsHdrTable &table, const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    rgba[0] = table.bytes[(pixel & 0x7FFu) << 4];
    rgba[1] = table.bytes[(pixel >> 11 & 0x7FFu) << 4];
    rgba[2] = table.bytes[(pixel >> 22) << 5];
}

// mantissa * 2^(exponent - 24): a 9-bit integer times a power of two from
// 2^-24 to 2^7, both exact floats, and so is their product.
inline void mappedSharedExponentPixel(const DdsHdrTable &table, const uint8_t *p, uint8_t rgba[4]) {
    const uint32_t pixel = ddsLoad32(p);
    const uint32_t powerBits = ((pixel >> 27) + 127 - 24) << 23;
    float power;
    std::memcpy(&power, &powerBits, sizeof power);
    for (uint32_t c = 0; c < 3; ++c) {
        const float value = static_cast<float>(pixel >> (9 * c) & 0x1FFu) * power;
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        rgba[c] = ddsHdrFloatByte(table, bits);
    }
}

// pixelRow with the table.
template <uint32_t PixelBytes, void (*Pixel)(const DdsHdrTable &, const uint8_t *, uint8_t *), uint32_t BytesPerPixel>
void mappedPixelRow(const DdsHdrTable &table, const uint8_t *source, uint32_t width, uint8_t *destination) {
    for (uint32_t x = 0; x < width; ++x, source += PixelBytes, destination += BytesPerPixel) {
        uint8_t rgba[4] = {0, 0, 0, 255};
        Pixel(table, source, rgba);
        for (uint32_t c = 0; c < BytesPerPixel; ++c) destination[c] = rgba[c];
    }
}

template <uint32_t ChannelBytes, uint8_t (*Mapped)(const DdsHdrTable &, const uint8_t *),
          uint8_t (*Alpha)(const uint8_t *), uint32_t BytesPerPixel>
void mappedChannelRow(const DdsHdrTable &table, uint32_t channels, const uint8_t *source, uint32_t width,
                      uint8_t *destination) {
    constexpr uint32_t B = ChannelBytes;
    switch (channels) {
        case 1: return mappedPixelRow<B, mappedChannelPixel<B, Mapped, Alpha, 1>, BytesPerPixel>(table, source, width, destination);
        case 2: return mappedPixelRow<2 * B, mappedChannelPixel<B, Mapped, Alpha, 2>, BytesPerPixel>(table, source, width, destination);
        case 3: return mappedPixelRow<3 * B, mappedChannelPixel<B, Mapped, Alpha, 3>, BytesPerPixel>(table, source, width, destination);
        default: return mappedPixelRow<4 * B, mappedChannelPixel<B, Mapped, Alpha, 4>, BytesPerPixel>(table, source, width, destination);
    }
}

// The float layouts through the state's table (16-bit UNORM channels are
// never mapped).
template <uint32_t BytesPerPixel>
void mappedWideRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                   uint8_t *const *rows) {
    const DdsHdrTable &table = *state.hdr;
    const uint32_t channels = state.format->wide.channels;
    switch (state.format->wide.layout) {
        case WideLayout::Float16:
            mappedChannelRow<2, mappedHalf, halfAt, BytesPerPixel>(table, channels, source, width, rows[0]);
            break;
        case WideLayout::Float32:
            mappedChannelRow<4, mappedFloat, floatAt, BytesPerPixel>(table, channels, source, width, rows[0]);
            break;
        case WideLayout::R11G11B10: mappedPixelRow<4, mappedPackedFloatPixel, BytesPerPixel>(table, source, width, rows[0]); break;
        case WideLayout::R9G9B9E5: mappedPixelRow<4, mappedSharedExponentPixel, BytesPerPixel>(table, source, width, rows[0]); break;
        case WideLayout::Unorm16: break;
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
    if (mapped) return bytesPerPixel == 3 ? mappedWideRow<3> : mappedWideRow<4>;
    return bytesPerPixel == 3 ? wideRow<3> : wideRow<4>;
}
