// The plain PVRTC1 decoder: each pixel on its own, from the words it needs
// looked up in the Morton-ordered level.  Slow and plain on purpose: the
// banded row decoder (pvrtc_rows.cpp) is held to it byte for byte.  A
// word's rules (its colours, its pixels' modulation weights, the widening
// and the blend) are pvrtc_words.h's, which the word rows take too.

#include "pvrtc/pvrtc.h"
#include "pvrtc/pvrtc_words.h"

namespace {

using namespace pvrtcwords;

struct Level {
    const uint8_t *bytes;
    uint32_t gridWidth, gridHeight;
};

// Word (x, y) of the grid, the coordinates taken around the grid.
const uint8_t *wordAt(const Level &level, uint32_t x, uint32_t y) {
    const uint32_t index = ddsPvrtcWordIndex(x % level.gridWidth, y % level.gridHeight, level.gridWidth,
                                             level.gridHeight);
    return level.bytes + size_t{index} * 8;
}

// The modulation weight of pixel (x, y): from its word alone at 4 bits a
// pixel; at 2 from its word's stored weights, and where the pixel stores
// none (an interpolating word, column and row of unlike parity) from those
// of the words left of, right of, above and below it too.
template <bool TwoBits>
uint32_t weightAt(const Level &level, uint32_t x, uint32_t y) {
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    const uint32_t wx = x / WordWidth, wy = y / 4, r = y % 4;
    const uint8_t *word = wordAt(level, wx, wy);
    uint64_t weights[4] = {};
    if (!TwoBits) {
        weights4(word, weights);
    } else if (interpolationOf(word) == Interpolation::Direct || ((x ^ y) & 1u) == 0) {
        weights[r] = storedRow(word, r);
    } else {
        const uint8_t *left = wordAt(level, wx + level.gridWidth - 1, wy), *right = wordAt(level, wx + 1, wy);
        uint64_t own[4], lefts[4], rights[4];
        for (unsigned k = 0; k < 4; ++k) {
            own[k] = storedRow(word, k), lefts[k] = storedRow(left, k), rights[k] = storedRow(right, k);
        }
        weights2(word, own, lefts, rights, storedRow(wordAt(level, wx, wy + level.gridHeight - 1), 3),
                 storedRow(wordAt(level, wx, wy + 1), 0), weights);
    }
    return static_cast<uint32_t>(weights[r] >> (8 * (x % WordWidth))) & 0xFF;
}

// Pixel (x, y): colours A and B interpolated between the words whose
// centres surround it, with integer weights that sum to 4 word widths
// (16 at 4 bits a pixel, 32 at 2), and blended by its modulation weight.
template <bool TwoBits>
void decodePixel(const Level &level, uint32_t x, uint32_t y, uint8_t *out) {
    constexpr uint32_t ww = TwoBits ? 8 : 4;
    const uint32_t width = level.gridWidth * ww, height = level.gridHeight * 4;
    const uint32_t fromX = (x + width - ww / 2) % width, fromY = (y + height - 2) % height;
    const uint32_t i = fromX % ww, j = fromY % 4;
    const uint32_t wx = fromX / ww, wy = fromY / 4;
    const uint8_t *corners[4] = {wordAt(level, wx, wy), wordAt(level, wx + 1, wy), wordAt(level, wx, wy + 1),
                                 wordAt(level, wx + 1, wy + 1)};
    const uint32_t weights[4] = {(ww - i) * (4 - j), i * (4 - j), (ww - i) * j, i * j};
    Lanes a = 0, b = 0;
    for (unsigned k = 0; k < 4; ++k) {
        const uint32_t colours = ddsLoad32(corners[k] + 4);
        a += weights[k] * colourA(colours);
        b += weights[k] * colourB(colours);
    }
    const Lanes pixel = blended<TwoBits>(a, b, weightAt<TwoBits>(level, x, y));
    for (unsigned c = 0; c < 4; ++c) out[c] = static_cast<uint8_t>(pixel >> (16 * c));
}

template <bool TwoBits>
void decodeImage(const Level &level, uint32_t width, uint32_t height, uint8_t *rgba) {
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) decodePixel<TwoBits>(level, x, y, rgba + (size_t{y} * width + x) * 4);
    }
}

}  // namespace

void ddsDecodePvrtcImage(const uint8_t *level, uint32_t width, uint32_t height, bool twoBitsPerPixel,
                         uint8_t *rgba) {
    const Level grid = {level, ddsPvrtcGridWidth(width, twoBitsPerPixel), ddsPvrtcGridHeight(height)};
    if (twoBitsPerPixel) {
        decodeImage<true>(grid, width, height, rgba);
    } else {
        decodeImage<false>(grid, width, height, rgba);
    }
}
