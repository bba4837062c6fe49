// The palette of a BC1-BC3 colour block, written once.  Its endpoints are
// 5:6:5 colours (red in bits 11-15, green 5-10, blue 0-4); a palette entry's
// channel is the exact mix of the endpoints' fields e0 and e1 (0-31 for red
// and blue, 0-63 for green, m = 31 or 63), rounded half up:
//
//     floor(255 (w0 e0 + w1 e1) / (d m) + 1/2)
//
// with (w0, w1, d) = (1, 0, 1) for entry 0, (0, 1, 1) for entry 1, (2, 1, 3)
// and (1, 2, 3) for entries 2 and 3 of the four-colour mode, and (1, 1, 2)
// for entry 2 of the three-colour mode, whose entry 3 is transparent black.
// This is the colour every GPU shows: 0xFFFF is white (255, 255, 255).
#ifndef DDS_BC1_3_COLOUR_RULE_H
#define DDS_BC1_3_COLOUR_RULE_H

#include <cstdint>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "common/rows.h"

// The channel byte of the mix `sum` = w0 e0 + w1 e1 over `divisor` = d m:
// the unsigned rule, round(255 sum / divisor).
constexpr uint8_t ddsColourChannel(uint32_t sum, uint32_t divisor) { return ddsUnsignedRule(sum, divisor); }

// The three fields of a 5:6:5 colour.
constexpr uint32_t ddsRed565(uint32_t color) { return (color >> 11) & 0x1F; }
constexpr uint32_t ddsGreen565(uint32_t color) { return (color >> 5) & 0x3F; }
constexpr uint32_t ddsBlue565(uint32_t color) { return color & 0x1F; }

// DXT1's three-colour mode: color0 <= color1 as unsigned 16-bit values.
// DXT3 and DXT5 always use four colours: their alpha comes from the alpha
// block, so the endpoint order selects nothing there.
constexpr bool ddsThreeColourMode(uint32_t color0, uint32_t color1) { return color0 <= color1; }

// The palette of an 8-byte colour block as four RGBA words (R in the low
// byte; ddsRgbaWord): four colours when color0 > color1 or
// `alwaysFourColours` (DXT3, DXT5), otherwise three and transparent black
// (0, 0, 0, 0).  The plain and portable tiers build it here.
inline uint32_t ddsColourEntry(uint32_t color0, uint32_t color1, uint32_t w0, uint32_t w1, uint32_t d) {
    return ddsRgbaWord(ddsColourChannel(w0 * ddsRed565(color0) + w1 * ddsRed565(color1), d * 31),
                       ddsColourChannel(w0 * ddsGreen565(color0) + w1 * ddsGreen565(color1), d * 63),
                       ddsColourChannel(w0 * ddsBlue565(color0) + w1 * ddsBlue565(color1), d * 31), 255);
}

inline void ddsColourPalette(const uint8_t *colorBlock, bool alwaysFourColours, uint32_t palette[4]) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    palette[0] = ddsColourEntry(color0, color1, 1, 0, 1);
    palette[1] = ddsColourEntry(color0, color1, 0, 1, 1);
    if (alwaysFourColours || !ddsThreeColourMode(color0, color1)) {
        palette[2] = ddsColourEntry(color0, color1, 2, 1, 3);
        palette[3] = ddsColourEntry(color0, color1, 1, 2, 3);
    } else {
        palette[2] = ddsColourEntry(color0, color1, 1, 1, 2);
        palette[3] = 0;  // transparent black
    }
}

// The vector tiers compute a channel in 16-bit lanes as
// ((sum * scale + bias) * multiplier) >> 16, with these constants for each
// divisor; the assertions below check every sum against the rule.
struct ColourConstants {
    uint16_t divisor;
    uint16_t scale;
    uint16_t bias;
    uint16_t multiplier;
};

constexpr ColourConstants ddsColourConstants[] = {
    {31, 16, 1, 33690},   // an endpoint's red or blue
    {63, 8, 1, 33156},    // an endpoint's green
    {93, 11, 2, 16335},   // a third of the way, red or blue
    {189, 11, 4, 8039},   // a third of the way, green
    {62, 8, 1, 33690},    // halfway, red or blue
    {126, 4, 1, 33158},   // halfway, green
};

constexpr ColourConstants ddsColourConstantsFor(uint32_t divisor) {
    for (const ColourConstants &c : ddsColourConstants) {
        if (c.divisor == divisor) return c;
    }
    return ColourConstants{0, 0, 0, 0};
}

constexpr bool ddsColourConstantsMatchTheRule() {
    for (const ColourConstants &c : ddsColourConstants) {
        // The lane holds sum * scale + bias: it must stay below 2^16.
        if (uint32_t{c.divisor} * c.scale + c.bias > 0xFFFF) return false;
        for (uint32_t sum = 0; sum <= c.divisor; ++sum) {
            if (((sum * c.scale + c.bias) * c.multiplier) >> 16 != ddsColourChannel(sum, c.divisor)) return false;
        }
    }
    return true;
}
static_assert(ddsColourConstantsMatchTheRule(), "the vector constants give the rule's byte for every sum");

#endif
