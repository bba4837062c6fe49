// The rules of ATC blocks (atc.h), each written once: the plain decoder
// (atc.cpp) and the portable kernels (atc_rows.cpp) call them, and the
// SSSE3 kernels (atc_ssse3.cpp) are checked against them when compiled.
#ifndef DDS_ATC_RULES_H
#define DDS_ATC_RULES_H

#include <cstdint>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "common/rows.h"

// Mode 0's inner entries, per channel on the 8-bit values: (5 c0 + 3 c1)
// >> 3 next to c0, and the reverse next to c1.  Mode 1's second entry:
// max(c0 - (c1 >> 2), 0).  The SSSE3 kernels take these constants.
constexpr uint32_t kAtcMixNearer = 5, kAtcMixFarther = 3, kAtcMixShift = 3, kAtcLowerShift = 2;
constexpr uint32_t atcMix(uint32_t nearer, uint32_t farther) {
    return (kAtcMixNearer * nearer + kAtcMixFarther * farther) >> kAtcMixShift;
}
constexpr uint32_t atcLowered(uint32_t c0, uint32_t c1) { return c0 > (c1 >> kAtcLowerShift) ? c0 - (c1 >> kAtcLowerShift) : 0; }

// The palette of a colour block as four RGBA words (red in the low byte,
// alpha 255).  Colour 0 is 5:5:5 with the mode in bit 15, colour 1 5:6:5;
// channels widen by repeating their top bits.  Mode 0: c0, the two mixes,
// c1.  Mode 1: black, c0 lowered, c0, c1.
inline void atcPalette(const uint8_t *colourBlock, uint32_t words[4]) {
    const uint32_t colour0 = ddsLoad16(colourBlock), colour1 = ddsLoad16(colourBlock + 2);
    const uint32_t r0 = ddsReplicateBits(colour0 >> 10 & 31, 5, 8), g0 = ddsReplicateBits(colour0 >> 5 & 31, 5, 8);
    const uint32_t b0 = ddsReplicateBits(colour0 & 31, 5, 8), r1 = ddsReplicateBits(colour1 >> 11, 5, 8);
    const uint32_t g1 = ddsReplicateBits(colour1 >> 5 & 63, 6, 8), b1 = ddsReplicateBits(colour1 & 31, 5, 8);
    words[3] = ddsRgbaWord(r1, g1, b1, 255);
    if (colour0 & 0x8000u) {
        words[0] = ddsRgbaWord(0, 0, 0, 255);
        words[1] = ddsRgbaWord(atcLowered(r0, r1), atcLowered(g0, g1), atcLowered(b0, b1), 255);
        words[2] = ddsRgbaWord(r0, g0, b0, 255);
    } else {
        words[0] = ddsRgbaWord(r0, g0, b0, 255);
        words[1] = ddsRgbaWord(atcMix(r0, r1), atcMix(g0, g1), atcMix(b0, b1), 255);
        words[2] = ddsRgbaWord(atcMix(r1, r0), atcMix(g1, g0), atcMix(b1, b0), 255);
    }
}

// The eight values of an interpolated alpha block's 3-bit indices: a0, a1,
// then the rounded fractions ((7 - k) a0 + k a1 + 3) / 7 for k = 1 to 6
// when a0 > a1, else ((5 - k) a0 + k a1 + 2) / 5 for k = 1 to 4, 0 and 255.
// The mixes are DXT5's (common/channel.h), which truncates: rounding adds
// half the divisor first.
constexpr uint32_t atcAlphaBias(uint32_t divisor) { return divisor / 2; }

inline void atcAlphaValues(uint32_t a0, uint32_t a1, uint8_t values[8]) {
    values[0] = static_cast<uint8_t>(a0), values[1] = static_cast<uint8_t>(a1);
    if (a0 > a1) {
        for (uint32_t k = 1; k <= 6; ++k) values[1 + k] = static_cast<uint8_t>(((7 - k) * a0 + k * a1 + atcAlphaBias(7)) / 7);
    } else {
        for (uint32_t k = 1; k <= 4; ++k) values[1 + k] = static_cast<uint8_t>(((5 - k) * a0 + k * a1 + atcAlphaBias(5)) / 5);
        values[6] = 0, values[7] = 255;
    }
}

#endif
