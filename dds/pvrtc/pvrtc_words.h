// The rules of a PVRTC1 word, which every decoder takes (the plain one,
// pvrtc_image.cpp, pixel by pixel; the word-row decoders, pvrtc_rows.cpp and
// pvrtc_rows_ssse3.cpp, word by word along a word row): its colours A and
// B, each pixel's modulation weight, and the widening and blend of the
// interpolated colours into a pixel (the SSSE3 rows make the same values in
// registers).  Also each word's colours interpolated down its four pixel
// rows, the portable rows' form.  Nothing here divides or looks a word up
// by its Morton index.
#ifndef DDS_PVRTC_WORDS_H
#define DDS_PVRTC_WORDS_H

#include <cstddef>
#include <cstdint>

#include "common/bytes.h"
#include "common/channel_rules.h"

namespace pvrtcwords {

// A colour in four 16-bit lanes: red, green, blue at 5 bits; alpha at 4
// bits, times 4 (so that widening it takes the colour lanes' shifts, see
// pvrtc_rows.cpp).
using Lanes = uint64_t;

inline uint32_t bitsOf(uint32_t value, unsigned first, unsigned count) {
    return value >> first & ((1u << count) - 1);
}

inline Lanes lanesOf(uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    return Lanes{red} | Lanes{green} << 16 | Lanes{blue} << 32 | Lanes{alpha} << 50;
}

// Colour A (bits 0 to 15 of the colour data): opaque 5:5:4, or alpha 3 bits
// and 4:4:3.  Colour B (bits 16 to 31): opaque 5:5:5, or alpha 3 and 4:4:4.
// Both readings are made and one kept: opaque and translucent colours mix
// freely, and a branch on the kind would often be mispredicted.
inline Lanes either(uint32_t opaqueBit, Lanes opaque, Lanes translucent) {
    const Lanes keepOpaque = Lanes{0} - opaqueBit;
    return (opaque & keepOpaque) | (translucent & ~keepOpaque);
}
inline Lanes colourA(uint32_t data) {
    return either(data >> 15 & 1u, lanesOf(bitsOf(data, 10, 5), bitsOf(data, 5, 5), ddsReplicateBits(bitsOf(data, 1, 4), 4, 5), 15),
                  lanesOf(ddsReplicateBits(bitsOf(data, 8, 4), 4, 5), ddsReplicateBits(bitsOf(data, 4, 4), 4, 5), ddsReplicateBits(bitsOf(data, 1, 3), 3, 5),
                          bitsOf(data, 12, 3) << 1));
}
inline Lanes colourB(uint32_t data) {
    return either(data >> 31, lanesOf(bitsOf(data, 26, 5), bitsOf(data, 21, 5), bitsOf(data, 16, 5), 15),
                  lanesOf(ddsReplicateBits(bitsOf(data, 24, 4), 4, 5), ddsReplicateBits(bitsOf(data, 20, 4), 4, 5), ddsReplicateBits(bitsOf(data, 16, 4), 4, 5),
                          bitsOf(data, 28, 3) << 1));
}

// Colours A and B of one word column interpolated down the four pixel
// rows of the word row: pixel row r lies between the centres of the word
// rows above and at it (r < 2), or at and below it; the weights of the
// three rows sum to 4.
struct Column {
    Lanes a[4], b[4];
};

inline Column columnAt(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t x) {
    const size_t at = size_t{x} * 8 + 4;
    const uint32_t up = ddsLoad32(above + at), here = ddsLoad32(row + at), down = ddsLoad32(below + at);
    const Lanes upA = colourA(up), hereA = colourA(here), downA = colourA(down);
    const Lanes upB = colourB(up), hereB = colourB(here), downB = colourB(down);
    return {{2 * upA + 2 * hereA, upA + 3 * hereA, 4 * hereA, 3 * hereA + downA},
            {2 * upB + 2 * hereB, upB + 3 * hereB, 4 * hereB, 3 * hereB + downB}};
}

// Modulation weights of a word's pixels: one byte a pixel (pixel c of row
// r at byte c of weights[r]), the weight of colour B in eighths, plus
// PunchThrough where the pixel's alpha is 0.
constexpr uint32_t PunchThrough = 16;

// The 2-bit modulation codes as weights in eighths.
constexpr uint32_t CodeWeights[4] = {0, 3, 5, 8};

constexpr Lanes LowBytes = 0x00FF00FF00FF00FFull;
constexpr Lanes ColourBytes = 0x000000FF00FF00FFull;
constexpr Lanes AlphaByte = 0x00FF000000000000ull;

// Sums of colours with weights summing to 16 (4 bits a pixel, K = 6) or 32
// (2 bits, K = 7) to 8 bits a lane by the shifts that repeat a channel's
// top bits: colour (s >> K) + (s >> (K - 5)), alpha (held as 4 s)
// (s >> (K - 2)) + (s >> (K - 6)).
template <bool TwoBits>
inline Lanes widened(Lanes s) {
    constexpr unsigned K = TwoBits ? 7 : 6;
    return ((s >> K) & LowBytes) + ((s >> (K - 5)) & ColourBytes) + ((s >> (K - 4)) & AlphaByte);
}

// A pixel from its sums of colours A and B and its modulation weight:
// (A (8 - m) + B m) / 8 a channel, alpha 0 for punch-through; R, G, B, A
// in the low bytes of the four lanes.
template <bool TwoBits>
inline Lanes blended(Lanes a, Lanes b, uint32_t weight) {
    const uint32_t m = weight & (PunchThrough - 1);
    Lanes pixel = ((widened<TwoBits>(a) * (8 - m) + widened<TwoBits>(b) * m) >> 3) & LowBytes;
    if (weight & PunchThrough) pixel &= ~AlphaByte;
    return pixel;
}

// 4 bits a pixel: a row's four 2-bit codes (one byte) as weights, by the
// word's mode (bit 0 of its colour data): set, codes 1 and 2 weigh 4
// eighths and 2 also makes the pixel transparent.
struct CodeTable {
    uint32_t weights[2][256];
};

constexpr CodeTable codeTable() {
    constexpr uint32_t punchThrough[4] = {0, 4, 4 + PunchThrough, 8};
    CodeTable table{};
    for (unsigned v = 0; v < 256; ++v) {
        for (unsigned c = 0; c < 4; ++c) {
            table.weights[0][v] |= CodeWeights[v >> (2 * c) & 3] << (8 * c);
            table.weights[1][v] |= punchThrough[v >> (2 * c) & 3] << (8 * c);
        }
    }
    return table;
}

constexpr CodeTable Codes4 = codeTable();

inline void weights4(const uint8_t *word, uint64_t weights[4]) {
    const uint32_t modulation = ddsLoad32(word), mode = word[4] & 1u;
    for (unsigned r = 0; r < 4; ++r) weights[r] = Codes4.weights[mode][modulation >> (8 * r) & 255];
}

// 2 bits a pixel.  Bit 0 of the colour data clear: one bit a pixel
// (weight 0 or 8), row-major.  Set: only the pixels whose column and row
// have the same parity store a 2-bit code, row-major; the others take the
// rounded mean of their stored neighbours, left, right, above and below,
// or, when bit 0 of the modulation data is set, of left and right only
// (bit 20 clear) or above and below only (bit 20 set).  The first stored
// code's low bit is its high bit; so is the eleventh's (column 4, row 2)
// where bit 20 chose the direction.
//
// The stored weights of a row as bytes, from the row's 8 bits (direct) or
// its four 2-bit codes (at the even bytes; the caller moves them to the
// odd ones for odd rows).
struct StoredTables {
    uint64_t direct[256], codes[256];
};

constexpr StoredTables storedTables() {
    StoredTables tables{};
    for (unsigned v = 0; v < 256; ++v) {
        for (unsigned c = 0; c < 8; ++c) tables.direct[v] |= uint64_t{(v >> c & 1u) * 8u} << (8 * c);
        for (unsigned k = 0; k < 4; ++k) tables.codes[v] |= uint64_t{CodeWeights[v >> (2 * k) & 3]} << (16 * k);
    }
    return tables;
}

constexpr StoredTables Stored2 = storedTables();

enum class Interpolation : uint8_t { Direct, BothWays, Horizontal, Vertical };

inline Interpolation interpolationOf(const uint8_t *word) {
    if (!(word[4] & 1u)) return Interpolation::Direct;
    const uint32_t modulation = ddsLoad32(word);
    if (!(modulation & 1u)) return Interpolation::BothWays;
    return modulation & (1u << 20) ? Interpolation::Vertical : Interpolation::Horizontal;
}

// Stored weights of row r of a word (0 where a pixel stores none).  The
// first code's low bit, and in the single-direction modes the eleventh's,
// repeat their high bit.
inline uint64_t storedRow(const uint8_t *word, unsigned r) {
    uint32_t modulation = ddsLoad32(word);
    if (!(word[4] & 1u)) return Stored2.direct[modulation >> (8 * r) & 255];
    const uint32_t repeated = (modulation & 1u ? 0x100001u : 0x1u);
    modulation = (modulation & ~repeated) | (modulation >> 1 & repeated);
    return Stored2.codes[modulation >> (8 * r) & 255] << (8 * (r & 1));
}

// The weights of a word from its stored rows, the stored rows of the words
// left and right of it, and the last row of the word above and the first
// of the word below.  Pixels that store no weight take the rounded mean of
// their neighbours: all the sums are bytes of one 64-bit word (at most 34).
inline void weights2(const uint8_t *word, const uint64_t own[4], const uint64_t left[4], const uint64_t right[4],
                     uint64_t aboveLast, uint64_t belowFirst, uint64_t weights[4]) {
    constexpr uint64_t Ones = 0x0101010101010101ull;
    const Interpolation mode = interpolationOf(word);
    for (unsigned r = 0; r < 4; ++r) {
        if (mode == Interpolation::Direct) {
            weights[r] = own[r];
            continue;
        }
        const uint64_t l = own[r] << 8 | left[r] >> 56, rt = own[r] >> 8 | right[r] << 56;
        const uint64_t up = r > 0 ? own[r - 1] : aboveLast, down = r < 3 ? own[r + 1] : belowFirst;
        uint64_t mean;
        if (mode == Interpolation::BothWays) mean = (l + rt + up + down + 2 * Ones) >> 2 & 0x3F * Ones;
        else if (mode == Interpolation::Horizontal) mean = (l + rt + Ones) >> 1 & 0x7F * Ones;
        else mean = (up + down + Ones) >> 1 & 0x7F * Ones;
        const uint64_t stored = (r & 1u) ? 0xFF00FF00FF00FF00ull : 0x00FF00FF00FF00FFull;
        weights[r] = (own[r] & stored) | (mean & ~stored);
    }
}

// The words of a row that hold any of its first `pixelColumns` pixels:
// never more than the row has, whatever the caller asks.
template <bool TwoBits>
inline uint32_t wordsFor(uint32_t pixelColumns, uint32_t gridWidth) {
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    const uint32_t words = pixelColumns / WordWidth + (pixelColumns % WordWidth != 0 ? 1 : 0);
    return words < gridWidth ? words : gridWidth;
}

// The modulation weights of a row's words, word after word from the first
// (nextWeights): at 2 bits a pixel the stored weights of the words left
// of, at and right of the current one are kept from one word to the next.
struct WeightWalk {
    const uint8_t *above, *row, *below;
    uint64_t left[4], here[4], right[4];
};

template <bool TwoBits>
inline WeightWalk startWeights(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth) {
    WeightWalk walk = {above, row, below, {}, {}, {}};
    for (unsigned r = 0; TwoBits && r < 4; ++r) {
        walk.left[r] = storedRow(row + size_t{gridWidth - 1} * 8, r);
        walk.here[r] = storedRow(row, r);
    }
    return walk;
}

// The weights of word x, whose right neighbour is word rightX.
template <bool TwoBits>
inline void nextWeights(WeightWalk &walk, uint32_t x, uint32_t rightX, uint64_t weights[4]) {
    if (!TwoBits) {
        weights4(walk.row + size_t{x} * 8, weights);
        return;
    }
    for (unsigned r = 0; r < 4; ++r) walk.right[r] = storedRow(walk.row + size_t{rightX} * 8, r);
    weights2(walk.row + size_t{x} * 8, walk.here, walk.left, walk.right, storedRow(walk.above + size_t{x} * 8, 3),
             storedRow(walk.below + size_t{x} * 8, 0), weights);
    for (unsigned r = 0; r < 4; ++r) walk.left[r] = walk.here[r], walk.here[r] = walk.right[r];
}

// A word-row decoder of one tier, word width and pixel size: the
// arguments of ddsDecodePvrtcWordRow that the choice leaves.
using WordRowDecoder = void (*)(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                                uint8_t *const rows[4], uint32_t pixelColumns);

// The SSSE3 decoder of 2- or 4-bit words at 3 or 4 (`fourBytes`) bytes a
// pixel (pvrtc_rows_ssse3.cpp), compiled only where the build has SSSE3.
WordRowDecoder decoderSsse3(bool twoBitsPerPixel, bool fourBytes);

}  // namespace pvrtcwords

#endif
