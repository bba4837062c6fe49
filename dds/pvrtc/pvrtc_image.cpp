// The plain PVRTC1 decoder: each pixel on its own, from the words it needs
// looked up in the Morton-ordered level.  Slow and plain on purpose: the
// banded row decoder (pvrtc_rows.cpp) is held to it byte for byte.

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "pvrtc/pvrtc.h"

namespace {

struct Word {
    uint32_t modulation, colour;
};

struct Level {
    const uint8_t *bytes;
    uint32_t gridWidth, gridHeight;
    uint32_t wordWidth;
    bool twoBitsPerPixel;
};

// Word (x, y) of the grid, the coordinates taken around the grid.
Word wordAt(const Level &level, uint32_t x, uint32_t y) {
    const uint32_t index = ddsPvrtcWordIndex(x % level.gridWidth, y % level.gridHeight, level.gridWidth,
                                             level.gridHeight);
    const uint8_t *word = level.bytes + size_t{index} * 8;
    return {ddsLoad32(word), ddsLoad32(word + 4)};
}

uint32_t bitsOf(uint32_t value, unsigned first, unsigned count) { return value >> first & ((1u << count) - 1); }


// A word colour: red, green and blue at 5 bits, alpha at 4.
struct Colour {
    uint32_t channel[4];
};

// Colour A, bits 0 to 15 of the colour data (bit 0 is the modulation mode):
// opaque 5:5:4 when bit 15 is set, else alpha 3 bits (its low bit zero at
// 4) and 4:4:3.
Colour colourA(uint32_t data) {
    if (data & 0x8000u) return {{bitsOf(data, 10, 5), bitsOf(data, 5, 5), ddsReplicateBits(bitsOf(data, 1, 4), 4, 5), 15}};
    return {{ddsReplicateBits(bitsOf(data, 8, 4), 4, 5), ddsReplicateBits(bitsOf(data, 4, 4), 4, 5), ddsReplicateBits(bitsOf(data, 1, 3), 3, 5),
             bitsOf(data, 12, 3) << 1}};
}

// Colour B, bits 16 to 31: opaque 5:5:5 when bit 31 is set, else alpha 3
// bits and 4:4:4.
Colour colourB(uint32_t data) {
    if (data & 0x80000000u) return {{bitsOf(data, 26, 5), bitsOf(data, 21, 5), bitsOf(data, 16, 5), 15}};
    return {{ddsReplicateBits(bitsOf(data, 24, 4), 4, 5), ddsReplicateBits(bitsOf(data, 20, 4), 4, 5), ddsReplicateBits(bitsOf(data, 16, 4), 4, 5),
             bitsOf(data, 28, 3) << 1}};
}

// The 2-bit modulation codes as weights in eighths.
constexpr uint32_t CodeWeights[4] = {0, 3, 5, 8};

struct Modulation {
    uint32_t weight;    // of colour B, in eighths
    bool punchThrough;  // alpha 0
};

// 4 bits a pixel: 2 bits a pixel in row-major order.  With bit 0 of the
// colour data set, code 1 and 2 weigh 4 eighths and 2 also makes the pixel
// transparent.
Modulation modulation4(const Level &level, uint32_t x, uint32_t y) {
    const Word word = wordAt(level, x / 4, y / 4);
    const uint32_t code = bitsOf(word.modulation, 2 * ((y % 4) * 4 + x % 4), 2);
    if (word.colour & 1u) return {code == 0 ? 0u : code == 3 ? 8u : 4u, code == 2};
    return {CodeWeights[code], false};
}

// 2 bits a pixel.  Bit 0 of the colour data clear: one bit a pixel
// (weight 0 or 8), row-major.  Set: only the pixels whose column and row
// have the same parity store a 2-bit code, row-major; the others take the
// rounded mean of their stored neighbours, left, right, above and below,
// or, when bit 0 of the modulation data is set, of left and right only
// (bit 20 clear) or above and below only (bit 20 set).  The first stored
// code's low bit is its high bit; so is the eleventh's (column 4, row 2)
// where bit 20 chose the direction.
enum class Interpolation { Direct, BothWays, Horizontal, Vertical };

Interpolation interpolationOf(const Word &word) {
    if (!(word.colour & 1u)) return Interpolation::Direct;
    if (!(word.modulation & 1u)) return Interpolation::BothWays;
    return word.modulation & (1u << 20) ? Interpolation::Vertical : Interpolation::Horizontal;
}

// The weight stored at column c, row r of a word (where it stores one).
uint32_t storedWeight(const Word &word, uint32_t c, uint32_t r) {
    if (interpolationOf(word) == Interpolation::Direct) return bitsOf(word.modulation, r * 8 + c, 1) ? 8u : 0u;
    const uint32_t k = r * 4 + c / 2;
    uint32_t code = bitsOf(word.modulation, 2 * k, 2);
    if (k == 0 || (k == 10 && (word.modulation & 1u))) code = (code >> 1) * 3;
    return CodeWeights[code];
}

uint32_t storedWeightAt(const Level &level, uint32_t x, uint32_t y) {
    const uint32_t width = level.gridWidth * 8, height = level.gridHeight * 4;
    x %= width, y %= height;
    return storedWeight(wordAt(level, x / 8, y / 4), x % 8, y % 4);
}

Modulation modulation2(const Level &level, uint32_t x, uint32_t y) {
    const Word word = wordAt(level, x / 8, y / 4);
    const Interpolation mode = interpolationOf(word);
    if (mode == Interpolation::Direct || ((x ^ y) & 1u) == 0) return {storedWeight(word, x % 8, y % 4), false};
    const uint32_t width = level.gridWidth * 8, height = level.gridHeight * 4;
    const uint32_t left = storedWeightAt(level, x + width - 1, y), right = storedWeightAt(level, x + 1, y);
    const uint32_t up = storedWeightAt(level, x, y + height - 1), down = storedWeightAt(level, x, y + 1);
    if (mode == Interpolation::BothWays) return {(left + right + up + down + 2) / 4, false};
    if (mode == Interpolation::Horizontal) return {(left + right + 1) / 2, false};
    return {(up + down + 1) / 2, false};
}

// Pixel (x, y): colours A and B interpolated between the words whose
// centres surround it, with integer weights that sum to 4 word widths
// (16 at 4 bits a pixel, 32 at 2), widened to 8 bits by the shifts that
// repeat a 5-bit (colour) or 4-bit (alpha) channel's top bits.
void decodePixel(const Level &level, uint32_t x, uint32_t y, uint8_t *out) {
    const uint32_t ww = level.wordWidth;
    const uint32_t width = level.gridWidth * ww, height = level.gridHeight * 4;
    const uint32_t fromX = (x + width - ww / 2) % width, fromY = (y + height - 2) % height;
    const uint32_t i = fromX % ww, j = fromY % 4;
    const uint32_t wx = fromX / ww, wy = fromY / 4;
    const Word corners[4] = {wordAt(level, wx, wy), wordAt(level, wx + 1, wy), wordAt(level, wx, wy + 1),
                             wordAt(level, wx + 1, wy + 1)};
    const uint32_t weights[4] = {(ww - i) * (4 - j), i * (4 - j), (ww - i) * j, i * j};
    const unsigned shift = level.twoBitsPerPixel ? 7 : 6;
    const Modulation m = level.twoBitsPerPixel ? modulation2(level, x, y) : modulation4(level, x, y);
    for (unsigned c = 0; c < 4; ++c) {
        uint32_t a = 0, b = 0;
        for (unsigned k = 0; k < 4; ++k) {
            a += weights[k] * colourA(corners[k].colour).channel[c];
            b += weights[k] * colourB(corners[k].colour).channel[c];
        }
        // Alpha has one bit less than the colour channels.
        const unsigned high = c == 3 ? shift - 2 : shift, low = c == 3 ? shift - 6 : shift - 5;
        a = (a >> high) + (a >> low);
        b = (b >> high) + (b >> low);
        out[c] = static_cast<uint8_t>((a * (8 - m.weight) + b * m.weight) / 8);
    }
    if (m.punchThrough) out[3] = 0;
}

}  // namespace

void ddsDecodePvrtcImage(const uint8_t *level, uint32_t width, uint32_t height, bool twoBitsPerPixel,
                         uint8_t *rgba) {
    const Level grid = {level, ddsPvrtcGridWidth(width, twoBitsPerPixel), ddsPvrtcGridHeight(height),
                        ddsPvrtcWordWidth(twoBitsPerPixel), twoBitsPerPixel};
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) decodePixel(grid, x, y, rgba + (size_t{y} * width + x) * 4);
    }
}
