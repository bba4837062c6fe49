// ddsDecodePvrtcWordRow: one word row of a PVRTC1 level into its four pixel
// rows, with ddsDecodePvrtcImage's output byte for byte.
//
// Colours A and B of each word are held as four 16-bit lanes of a 64-bit
// word (red, green, blue at 5 bits; alpha at 4 bits, times 4).  Each word
// column is first interpolated down the four pixel rows from the words
// above, at and below it (weights summing to 4); each pixel then takes its
// two or three columns' values across (weights summing to one word width),
// so that nothing is divided and no word is looked up by its Morton index.
// Widening to 8 bits repeats a channel's top bits by two shifts per lane;
// alpha's factor of 4 makes its shifts those of the colour channels'
// first one and one more than the second, so three masked shifts widen
// all four lanes.  The blend with the modulation weight is one multiply a
// colour, the punch-through alpha one mask.

#include <cstring>

#include "bytes.h"
#include "pvrtc.h"

namespace {

using Lanes = uint64_t;

constexpr Lanes LowBytes = 0x00FF00FF00FF00FFull;
constexpr Lanes ColourBytes = 0x000000FF00FF00FFull;
constexpr Lanes AlphaByte = 0x00FF000000000000ull;

inline uint32_t bitsOf(uint32_t value, unsigned first, unsigned count) {
    return value >> first & ((1u << count) - 1);
}
inline uint32_t widen4(uint32_t v) { return v << 1 | v >> 3; }
inline uint32_t widen3(uint32_t v) { return v << 2 | v >> 1; }

inline Lanes lanesOf(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return Lanes{red} | Lanes{green} << 16 | Lanes{blue} << 32 | Lanes{alpha} << 50;
}

// Colour A (bits 0 to 15 of the colour data): opaque 5:5:4, or alpha 3 bits
// and 4:4:3.  Colour B (bits 16 to 31): opaque 5:5:5, or alpha 3 and 4:4:4.
inline Lanes colourA(uint32_t data) {
    if (data & 0x8000u) return lanesOf(bitsOf(data, 10, 5), bitsOf(data, 5, 5), widen4(bitsOf(data, 1, 4)), 15);
    return lanesOf(widen4(bitsOf(data, 8, 4)), widen4(bitsOf(data, 4, 4)), widen3(bitsOf(data, 1, 3)),
                   bitsOf(data, 12, 3) << 1);
}
inline Lanes colourB(uint32_t data) {
    if (data & 0x80000000u) return lanesOf(bitsOf(data, 26, 5), bitsOf(data, 21, 5), bitsOf(data, 16, 5), 15);
    return lanesOf(widen4(bitsOf(data, 24, 4)), widen4(bitsOf(data, 20, 4)), widen4(bitsOf(data, 16, 4)),
                   bitsOf(data, 28, 3) << 1);
}

// Pixel row r of a word row lies between the centres of the word rows
// above and at it (r < 2) or at and below it: weights of those three rows.
constexpr uint32_t AboveWeight[4] = {2, 1, 0, 0};
constexpr uint32_t RowWeight[4] = {2, 3, 4, 3};
constexpr uint32_t BelowWeight[4] = {0, 0, 0, 1};

// Colours A and B of one word column interpolated down the four pixel rows.
struct Column {
    Lanes a[4], b[4];
};

inline Column columnAt(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t x) {
    const size_t at = size_t{x} * 8 + 4;
    const uint32_t up = ddsLoad32(above + at), here = ddsLoad32(row + at), down = ddsLoad32(below + at);
    const Lanes upA = colourA(up), hereA = colourA(here), downA = colourA(down);
    const Lanes upB = colourB(up), hereB = colourB(here), downB = colourB(down);
    Column column;
    for (unsigned r = 0; r < 4; ++r) {
        column.a[r] = AboveWeight[r] * upA + RowWeight[r] * hereA + BelowWeight[r] * downA;
        column.b[r] = AboveWeight[r] * upB + RowWeight[r] * hereB + BelowWeight[r] * downB;
    }
    return column;
}

// Pixel column c of a word lies between the centres of the word columns
// left of and at it, or at and right of it: weights of those three
// columns (4 bits a pixel, then 2).
template <bool TwoBits>
struct Across;
template <>
struct Across<false> {
    static constexpr uint32_t left[4] = {2, 1, 0, 0}, here[4] = {2, 3, 4, 3}, right[4] = {0, 0, 0, 1};
};
template <>
struct Across<true> {
    static constexpr uint32_t left[8] = {4, 3, 2, 1, 0, 0, 0, 0}, here[8] = {4, 5, 6, 7, 8, 7, 6, 5},
                              right[8] = {0, 0, 0, 0, 0, 1, 2, 3};
};

// Interpolated lanes (weights summing to 16 or 32) to 8 bits a lane:
// colour (s >> k) + (s >> (k - 5)), alpha (s >> (k - 2)) + (s >> (k - 6))
// with k = 6 or 7, the alpha lane holding 4 s.
template <bool TwoBits>
inline Lanes widened(Lanes s) {
    constexpr unsigned K = TwoBits ? 7 : 6;
    return ((s >> K) & LowBytes) + ((s >> (K - 5)) & ColourBytes) + ((s >> (K - 4)) & AlphaByte);
}

template <int BytesPerPixel>
inline void store(uint8_t *destination, Lanes pixel) {
    destination[0] = static_cast<uint8_t>(pixel);
    destination[1] = static_cast<uint8_t>(pixel >> 16);
    destination[2] = static_cast<uint8_t>(pixel >> 32);
    if (BytesPerPixel == 4) destination[3] = static_cast<uint8_t>(pixel >> 48);
}

// (A (8 - m) + B m) / 8 in each lane; `keep` clears alpha for punch-through.
template <bool TwoBits, int BytesPerPixel>
inline void putPixel(uint8_t *destination, Lanes a, Lanes b, uint32_t weight, Lanes keep) {
    const Lanes blended = ((widened<TwoBits>(a) * (8 - weight) + widened<TwoBits>(b) * weight) >> 3) & LowBytes;
    store<BytesPerPixel>(destination, blended & keep);
}

// 4 bits a pixel: the weight of each 2-bit code, and the lanes it keeps,
// by the word's mode (bit 0 of its colour data) and the code.
constexpr uint32_t Weights4[2][4] = {{0, 3, 5, 8}, {0, 4, 4, 8}};
constexpr Lanes Keep4[2][4] = {{~Lanes{0}, ~Lanes{0}, ~Lanes{0}, ~Lanes{0}},
                               {~Lanes{0}, ~Lanes{0}, ~AlphaByte, ~Lanes{0}}};

// 2 bits a pixel: the weights of a word's 32 pixels, row-major, from its
// own stored weights and those of its neighbours (ddsDecodePvrtcImage
// says how).
constexpr uint8_t CodeWeights[4] = {0, 3, 5, 8};

enum Interpolation { Direct, BothWays, Horizontal, Vertical };

inline Interpolation interpolationOf(uint32_t modulation, uint32_t colour) {
    if (!(colour & 1u)) return Direct;
    if (!(modulation & 1u)) return BothWays;
    return modulation & (1u << 20) ? Vertical : Horizontal;
}

// The stored weights of row r of a word, 0 where a pixel stores none.
inline void storedRow(const uint8_t *word, unsigned r, uint8_t out[8]) {
    const uint32_t modulation = ddsLoad32(word), colour = ddsLoad32(word + 4);
    const Interpolation mode = interpolationOf(modulation, colour);
    for (unsigned c = 0; c < 8; ++c) {
        if (mode == Direct) {
            out[c] = modulation >> (r * 8 + c) & 1u ? 8 : 0;
        } else if (((c ^ r) & 1u) == 0) {
            const unsigned k = r * 4 + c / 2;
            uint32_t code = modulation >> (2 * k) & 3u;
            if (k == 0 || (k == 10 && mode != BothWays)) code = (code >> 1) * 3;
            out[c] = CodeWeights[code];
        } else {
            out[c] = 0;
        }
    }
}

// Weights of word x of the row: its stored weights framed by its
// neighbours' (row 0 of the frame from the word above, row 5 from the one
// below, columns 0 and 9 from the words left and right).
inline void weights2(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t x, uint32_t left,
                     uint32_t right, uint8_t out[4][8]) {
    uint8_t frame[6][10];
    uint8_t side[8];
    storedRow(above + size_t{x} * 8, 3, &frame[0][1]);
    storedRow(below + size_t{x} * 8, 0, &frame[5][1]);
    for (unsigned r = 0; r < 4; ++r) {
        storedRow(row + size_t{x} * 8, r, &frame[r + 1][1]);
        storedRow(row + size_t{left} * 8, r, side);
        frame[r + 1][0] = side[7];
        storedRow(row + size_t{right} * 8, r, side);
        frame[r + 1][9] = side[0];
    }
    const Interpolation mode = interpolationOf(ddsLoad32(row + size_t{x} * 8), ddsLoad32(row + size_t{x} * 8 + 4));
    for (unsigned r = 0; r < 4; ++r) {
        for (unsigned c = 0; c < 8; ++c) {
            const unsigned fr = r + 1, fc = c + 1;
            const uint32_t horizontal = uint32_t{frame[fr][fc - 1]} + frame[fr][fc + 1];
            const uint32_t vertical = uint32_t{frame[fr - 1][fc]} + frame[fr + 1][fc];
            uint32_t weight = frame[fr][fc];
            if (mode != Direct && ((c ^ r) & 1u) != 0) {
                weight = mode == BothWays     ? (horizontal + vertical + 2) / 4
                         : mode == Horizontal ? (horizontal + 1) / 2
                                              : (vertical + 1) / 2;
            }
            out[r][c] = static_cast<uint8_t>(weight);
        }
    }
}

template <bool TwoBits, int BytesPerPixel>
void decodeWordRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                   uint8_t *const rows[4], uint32_t pixelColumns) {
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    using Weights = Across<TwoBits>;
    const uint32_t words = pixelColumns / WordWidth + (pixelColumns % WordWidth != 0 ? 1 : 0);
    Column left = columnAt(above, row, below, gridWidth - 1);
    Column here = columnAt(above, row, below, 0);
    for (uint32_t x = 0; x < words; ++x) {
        const uint32_t rightX = x + 1 == gridWidth ? 0 : x + 1;
        const Column right = columnAt(above, row, below, rightX);
        const uint32_t count = pixelColumns - x * WordWidth < WordWidth ? pixelColumns - x * WordWidth : WordWidth;
        const size_t offset = size_t{x} * WordWidth * BytesPerPixel;
        uint8_t weights[4][8];
        Lanes keep[4][8];
        if (TwoBits) {
            weights2(above, row, below, x, x == 0 ? gridWidth - 1 : x - 1, rightX, weights);
            for (auto &keepRow : keep)
                for (Lanes &k : keepRow) k = ~Lanes{0};
        } else {
            const uint32_t modulation = ddsLoad32(row + size_t{x} * 8);
            const uint32_t mode = ddsLoad32(row + size_t{x} * 8 + 4) & 1u;
            for (unsigned r = 0; r < 4; ++r) {
                for (unsigned c = 0; c < 4; ++c) {
                    const uint32_t code = modulation >> (8 * r + 2 * c) & 3u;
                    weights[r][c] = static_cast<uint8_t>(Weights4[mode][code]);
                    keep[r][c] = Keep4[mode][code];
                }
            }
        }
        for (unsigned r = 0; r < 4; ++r) {
            uint8_t *destination = rows[r] + offset;
            for (uint32_t c = 0; c < count; ++c) {
                const Lanes a = Weights::left[c] * left.a[r] + Weights::here[c] * here.a[r] + Weights::right[c] * right.a[r];
                const Lanes b = Weights::left[c] * left.b[r] + Weights::here[c] * here.b[r] + Weights::right[c] * right.b[r];
                putPixel<TwoBits, BytesPerPixel>(destination + c * BytesPerPixel, a, b, weights[r][c], keep[r][c]);
            }
        }
        left = here;
        here = right;
    }
}

}  // namespace

void ddsDecodePvrtcWordRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                           bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns, int bytesPerPixel) {
    if (twoBitsPerPixel) {
        if (bytesPerPixel == 4) decodeWordRow<true, 4>(above, row, below, gridWidth, rows, pixelColumns);
        else decodeWordRow<true, 3>(above, row, below, gridWidth, rows, pixelColumns);
    } else {
        if (bytesPerPixel == 4) decodeWordRow<false, 4>(above, row, below, gridWidth, rows, pixelColumns);
        else decodeWordRow<false, 3>(above, row, below, gridWidth, rows, pixelColumns);
    }
}
