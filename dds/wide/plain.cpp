#include "wide/wide.h"

#include <cstring>

#include "common/bytes.h"
#include "common/channel_rules.h"

namespace {

uint8_t unorm16At(const uint8_t *p) { return ddsUnorm16ToUnorm8(ddsLoad16(p)); }

uint8_t halfAt(const uint8_t *p) { return ddsHalfToUnorm8(ddsLoad16(p)); }

uint8_t floatAt(const uint8_t *p) {
    const uint32_t bits = ddsLoad32(p);
    float value;
    static_assert(sizeof value == sizeof bits, "a float is 32 bits");
    std::memcpy(&value, &bits, sizeof value);
    return ddsFloatToUnorm8(value);
}

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

// Rows of formats stored channel by channel, `ChannelBytes` bytes each,
// converted by `Channel`.  One loop per arrangement of channels, chosen
// before the loop.
template <uint32_t ChannelBytes, uint8_t (*Channel)(const uint8_t *)>
void convertChannels(const WideFormat &format, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    const uint32_t stride = ChannelBytes * format.channels;
    switch (format.channels) {
        case 1:
            for (uint32_t x = 0; x < width; ++x, source += stride, rgba += 4) {
                rgba[0] = rgba[1] = rgba[2] = Channel(source);
                rgba[3] = 255;
            }
            break;
        case 2:
            for (uint32_t x = 0; x < width; ++x, source += stride, rgba += 4) {
                rgba[0] = Channel(source);
                rgba[1] = Channel(source + ChannelBytes);
                rgba[2] = 0;
                rgba[3] = 255;
            }
            break;
        case 3:
            for (uint32_t x = 0; x < width; ++x, source += stride, rgba += 4) {
                for (uint32_t c = 0; c < 3; ++c) rgba[c] = Channel(source + c * ChannelBytes);
                rgba[3] = 255;
            }
            break;
        default:
            for (uint32_t x = 0; x < width; ++x, source += stride, rgba += 4) {
                for (uint32_t c = 0; c < 4; ++c) rgba[c] = Channel(source + c * ChannelBytes);
            }
            break;
    }
}

}  // namespace

uint8_t ddsUnorm16ToUnorm8(uint32_t value) { return ddsUnsignedToUnorm8(value, 16); }

uint8_t ddsFloatToUnorm8(float value) {
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

void ddsConvertWideRow(const WideFormat &format, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    switch (format.layout) {
        case WideLayout::Unorm16: convertChannels<2, unorm16At>(format, source, width, rgba); break;
        case WideLayout::Float16: convertChannels<2, halfAt>(format, source, width, rgba); break;
        case WideLayout::Float32: convertChannels<4, floatAt>(format, source, width, rgba); break;
        case WideLayout::R11G11B10:
            // R bits 0-10 and G bits 11-21: 5 exponent bits over 6 mantissa
            // bits; B bits 22-31: 5 over 5.
            for (uint32_t x = 0; x < width; ++x, source += 4, rgba += 4) {
                const uint32_t pixel = ddsLoad32(source);
                rgba[0] = packedFloat(pixel & 0x7FFu, 6);
                rgba[1] = packedFloat(pixel >> 11 & 0x7FFu, 6);
                rgba[2] = packedFloat(pixel >> 22, 5);
                rgba[3] = 255;
            }
            break;
        case WideLayout::R9G9B9E5:
            // Mantissas R bits 0-8, G 9-17, B 18-26; the exponent bits 27-31.
            for (uint32_t x = 0; x < width; ++x, source += 4, rgba += 4) {
                const uint32_t pixel = ddsLoad32(source);
                const uint32_t exponent = pixel >> 27;
                rgba[0] = sharedExponentChannel(pixel & 0x1FFu, exponent);
                rgba[1] = sharedExponentChannel(pixel >> 9 & 0x1FFu, exponent);
                rgba[2] = sharedExponentChannel(pixel >> 18 & 0x1FFu, exponent);
                rgba[3] = 255;
            }
            break;
    }
}
