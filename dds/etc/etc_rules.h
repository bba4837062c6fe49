// The rules of ETC and EAC blocks, each written once: the plain decoder
// (etc_block.cpp) and the portable kernels (etc_rows.cpp) call these
// functions, and the SSSE3 kernels (etc_rows_ssse3.cpp) take their tables
// and constants from them.  Fields are numbered in the block's big-endian
// 64-bit word: byte 0 holds bits 63-56.
#ifndef DDS_ETC_RULES_H
#define DDS_ETC_RULES_H

#include <cstdint>

#include "common/channel_rules.h"

// The block's eight bytes as one big-endian word.
inline uint64_t ddsEtcWord(const uint8_t *block) {
    uint64_t word = 0;
    for (int k = 0; k < 8; ++k) word = word << 8 | block[k];
    return word;
}

// Bits high down to low (inclusive) of the word.
constexpr uint32_t etcField(uint64_t word, unsigned high, unsigned low) {
    return static_cast<uint32_t>((word >> low) & ((uint64_t{1} << (high - low + 1)) - 1));
}

// A colour field of `bits` bits (4 to 7) widened to 8 by bit replication,
// as the signed arithmetic of the modes takes it.
constexpr int etcWiden(uint32_t value, unsigned bits) { return static_cast<int>(ddsReplicateBits(value, bits, 8)); }

// A colour before it is clamped to 0..255 (modifiers and distances may
// move it outside).
struct EtcColour {
    int r, g, b;
};

constexpr EtcColour etcMoved(EtcColour c, int d) { return {c.r + d, c.g + d, c.b + d}; }

// A channel clamped to 0..255.
constexpr uint8_t etcClampByte(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

// The differential bit (byte 3, bit 1) is the opaque bit in punch-through
// blocks, which have no individual mode: without it, index 2 is the
// transparent pixel (0, 0, 0, 0) and index 0 adds no modifier.
constexpr bool etcIndividual(const uint8_t *block, bool punchThrough) { return !punchThrough && (block[3] & 2) == 0; }
constexpr bool etcTransparentIndex(const uint8_t *block, bool punchThrough) {
    return punchThrough && (block[3] & 2) == 0;
}

// The 2-bit index of pixel x, y: its low bit at etcIndexBit, 4x + y, its
// high bit 16 above.
constexpr unsigned etcIndexBit(unsigned x, unsigned y) { return 4 * x + y; }

constexpr unsigned etcPixelIndex(uint64_t word, unsigned x, unsigned y) {
    const unsigned at = etcIndexBit(x, y);
    return etcField(word, at + 16, at + 16) << 1 | etcField(word, at, at);
}

// ---------------------------------------------------------------- subblocks

// Individual and differential modes: two subblocks, the left and right
// halves, or with the flip bit (32) the top and bottom halves.
constexpr bool etcSecondSubblock(uint64_t word, unsigned x, unsigned y) {
    return etcField(word, 32, 32) ? y >= 2 : x >= 2;
}

// A differential base byte: its 5-bit value (top bits) plus its signed
// 3-bit difference (low bits) leaves 0..31.  Such a sum selects another
// mode.
constexpr bool etcSumOutside(uint32_t byte) {
    const int sum = static_cast<int>(byte >> 3) + ddsSignExtend(byte & 7, 3);
    return sum < 0 || sum > 31;
}

// A base colour's channel from one of the block's first three bytes:
// individual mode its nibble (the first subblock's the high one) widened;
// differential mode the 5-bit value, for the second subblock plus its
// signed 3-bit difference, widened (a sum outside 0..31 belongs to another
// mode and wraps here).
constexpr int etcBaseChannel(uint32_t byte, bool individual, bool second) {
    if (individual) return etcWiden(second ? byte & 15 : byte >> 4, 4);
    const int value = static_cast<int>(byte >> 3) + (second ? ddsSignExtend(byte & 7, 3) : 0);
    return etcWiden(static_cast<uint32_t>(value) & 31, 5);
}

constexpr EtcColour etcSubblockBase(const uint8_t *block, bool individual, bool second) {
    return {etcBaseChannel(block[0], individual, second), etcBaseChannel(block[1], individual, second),
            etcBaseChannel(block[2], individual, second)};
}

// What each base byte gives, by mode ([0] individual, [1] differential):
// the first subblock's channel in bits 0-7, the second's in bits 32-39.
struct EtcBasePairs {
    uint64_t pairs[2][256];
};

constexpr EtcBasePairs etcBasePairsTable() {
    EtcBasePairs table{};
    for (int differential = 0; differential < 2; ++differential) {
        for (uint32_t v = 0; v < 256; ++v) {
            table.pairs[differential][v] = static_cast<uint64_t>(etcBaseChannel(v, differential == 0, false)) |
                                           static_cast<uint64_t>(etcBaseChannel(v, differential == 0, true)) << 32;
        }
    }
    return table;
}

inline constexpr EtcBasePairs kEtcBasePairs = etcBasePairsTable();

// etcSumOutside of every byte, a byte each: the mode test of every block
// reads three of them.
struct EtcSumsOutside {
    uint8_t outside[256];
};

constexpr EtcSumsOutside etcSumsOutsideTable() {
    EtcSumsOutside table{};
    for (uint32_t v = 0; v < 256; ++v) table.outside[v] = etcSumOutside(v) ? 1 : 0;
    return table;
}

inline constexpr EtcSumsOutside kEtcSumsOutside = etcSumsOutsideTable();

// The small and the large modifier (a, b) of each table codeword.
constexpr int kEtcModifiers[8][2] = {{2, 8}, {5, 17}, {9, 29}, {13, 42}, {18, 60}, {24, 80}, {33, 106}, {47, 183}};

// The table codeword of a subblock: bits 39-37 for the first, 36-34 for
// the second.
constexpr unsigned etcCodeword(const uint8_t *block, bool second) {
    return second ? (block[3] >> 2) & 7u : block[3] >> 5;
}

// What pixel index (msb, lsb) adds to its subblock's base colour: 00 a,
// 01 b, 10 -a, 11 -b; index 0 adds nothing where index 2 is transparent.
constexpr int etcModifier(unsigned codeword, unsigned index, bool transparentIndex) {
    if (transparentIndex && index == 0) return 0;
    const int modifier = kEtcModifiers[codeword][index & 1];
    return index & 2 ? -modifier : modifier;
}

// ---------------------------------------------------------------- modes

// The sums of an 8-byte colour block that leave 0..31: bit 0 red, bit 1
// green, bit 2 blue; 0 in individual mode.  Computed without branches: the
// modes come in no predictable order.
inline uint32_t ddsEtcOverflows(const uint8_t *block, bool punchThrough) {
    const uint32_t differential = etcIndividual(block, punchThrough) ? 0u : 1u;
    const uint8_t *outside = kEtcSumsOutside.outside;
    const uint32_t sums = static_cast<uint32_t>(outside[block[0]] | outside[block[1]] << 1 | outside[block[2]] << 2);
    return (0u - differential) & sums;
}

// A red sum outside 0..31 selects T mode, else a green one H mode, else a
// blue one planar mode; otherwise the block is individual or differential
// (two subblocks).
enum class EtcColourMode : uint8_t { Subblocks, T, H, Planar };

inline EtcColourMode etcColourMode(const uint8_t *block, bool punchThrough) {
    const uint32_t overflows = ddsEtcOverflows(block, punchThrough);
    if (overflows == 0) return EtcColourMode::Subblocks;
    return overflows & 1 ? EtcColourMode::T : overflows & 2 ? EtcColourMode::H : EtcColourMode::Planar;
}

// ---------------------------------------------------------------- T and H

// The distance of each distance index.
constexpr int kEtcDistances[8] = {3, 6, 11, 16, 23, 32, 41, 64};

// T and H modes: two 4-bit base colours (R, G, B before widening) and a
// distance.
struct EtcPaintBase {
    uint32_t first[3], second[3];
    int distance;
};

inline EtcPaintBase etcPaintBase(uint64_t word, bool tMode) {
    if (tMode) {
        return {{etcField(word, 60, 59) << 2 | etcField(word, 57, 56), etcField(word, 55, 52), etcField(word, 51, 48)},
                {etcField(word, 47, 44), etcField(word, 43, 40), etcField(word, 39, 36)},
                kEtcDistances[etcField(word, 35, 34) << 1 | etcField(word, 32, 32)]};
    }
    EtcPaintBase p = {{etcField(word, 62, 59), etcField(word, 58, 56) << 1 | etcField(word, 52, 52),
                       etcField(word, 51, 51) << 3 | etcField(word, 49, 47)},
                      {etcField(word, 46, 43), etcField(word, 42, 39), etcField(word, 38, 35)},
                      0};
    // The distance index's low bit: whether colour 1 is at least colour 2,
    // each taken as the number R << 8 | G << 4 | B.
    const uint32_t firstNotSmaller =
        (p.first[0] << 8 | p.first[1] << 4 | p.first[2]) >= (p.second[0] << 8 | p.second[1] << 4 | p.second[2]) ? 1 : 0;
    p.distance = kEtcDistances[etcField(word, 34, 34) << 2 | etcField(word, 32, 32) << 1 | firstNotSmaller];
    return p;
}

// The four paint colours the 2-bit indices pick, from the base colours
// widened.  T: c1, c2 + d, c2, c2 - d.  H: c1 + d, c1 - d, c2 + d, c2 - d.
inline void etcPaintColours(uint64_t word, bool tMode, EtcColour paint[4]) {
    const EtcPaintBase p = etcPaintBase(word, tMode);
    auto widened = [](const uint32_t c[3]) { return EtcColour{etcWiden(c[0], 4), etcWiden(c[1], 4), etcWiden(c[2], 4)}; };
    const EtcColour c1 = widened(p.first), c2 = widened(p.second);
    paint[0] = tMode ? c1 : etcMoved(c1, p.distance);
    paint[1] = tMode ? etcMoved(c2, p.distance) : etcMoved(c1, -p.distance);
    paint[2] = tMode ? c2 : etcMoved(c2, p.distance);
    paint[3] = etcMoved(c2, -p.distance);
}

// ---------------------------------------------------------------- planar

// Planar mode: three 6:7:6 colours O, H and V spanning a plane.  Always
// opaque.
struct EtcPlane {
    EtcColour o, h, v;
};

inline EtcPlane etcPlane(uint64_t word) {
    return {{etcWiden(etcField(word, 62, 57), 6), etcWiden(etcField(word, 56, 56) << 6 | etcField(word, 54, 49), 7),
             etcWiden(etcField(word, 48, 48) << 5 | etcField(word, 44, 43) << 3 | etcField(word, 41, 39), 6)},
            {etcWiden(etcField(word, 38, 34) << 1 | etcField(word, 32, 32), 6), etcWiden(etcField(word, 31, 25), 7),
             etcWiden(etcField(word, 24, 19), 6)},
            {etcWiden(etcField(word, 18, 13), 6), etcWiden(etcField(word, 12, 6), 7), etcWiden(etcField(word, 5, 0), 6)}};
}

// Each channel (x (H - O) + y (V - O) + 4 O + 2) >> 2, before the clamp.
constexpr int kEtcPlanarShift = 2;
constexpr int etcPlanarSum(int o, int h, int v, int x, int y) { return x * (h - o) + y * (v - o) + 4 * o + 2; }
constexpr int etcPlanarChannel(int o, int h, int v, int x, int y) { return etcPlanarSum(o, h, v, x, y) >> kEtcPlanarShift; }

constexpr EtcColour etcPlanarColour(const EtcPlane &p, int x, int y) {
    return {etcPlanarChannel(p.o.r, p.h.r, p.v.r, x, y), etcPlanarChannel(p.o.g, p.h.g, p.v.g, x, y),
            etcPlanarChannel(p.o.b, p.h.b, p.v.b, x, y)};
}

// ---------------------------------------------------------------- EAC

// The eight modifiers of each table index, each row a 16-byte register of
// 16-bit lanes for the SSSE3 kernels.
alignas(16) constexpr int16_t kEacModifiers[16][8] = {
    {-3, -6, -9, -15, 2, 5, 8, 14}, {-3, -7, -10, -13, 2, 6, 9, 12}, {-2, -5, -8, -13, 1, 4, 7, 12},
    {-2, -4, -6, -13, 1, 3, 5, 12}, {-3, -6, -8, -12, 2, 5, 7, 11},  {-3, -7, -9, -11, 2, 6, 8, 10},
    {-4, -7, -8, -11, 3, 6, 7, 10}, {-3, -5, -8, -11, 2, 4, 7, 10},  {-2, -6, -8, -10, 1, 5, 7, 9},
    {-2, -5, -8, -10, 1, 4, 7, 9},  {-2, -4, -8, -10, 1, 3, 7, 9},   {-2, -5, -7, -10, 1, 4, 6, 9},
    {-3, -4, -7, -10, 2, 3, 6, 9},  {-1, -2, -3, -10, 0, 1, 2, 9},   {-4, -6, -8, -9, 3, 5, 7, 8},
    {-3, -5, -7, -9, 2, 4, 6, 8},
};

// An 11-bit EAC value (0 to 2047) as a byte: round(v * 255 / 2047).
constexpr uint8_t ddsEac11ToByte(int value) { return static_cast<uint8_t>((value * 255 + 1023) / 2047); }

// The value that index j picks in an EAC block (base codeword in byte 0,
// multiplier and table index in byte 1): 8-bit alpha base + modifier *
// multiplier, clamped to 0..255; or (`eleven`) the unsigned 11-bit value
// base * 8 + 4 + modifier * multiplier * 8 (the modifier alone for
// multiplier 0), clamped to 0..2047, as a byte.
constexpr uint8_t etcEacValue(const uint8_t *block, unsigned j, bool eleven) {
    const int base = block[0], multiplier = block[1] >> 4, modifier = kEacModifiers[block[1] & 15][j];
    if (!eleven) return etcClampByte(base + modifier * multiplier);
    const int value = base * 8 + 4 + (multiplier == 0 ? modifier : modifier * multiplier * 8);
    return ddsEac11ToByte(value < 0 ? 0 : value > 2047 ? 2047 : value);
}

// The 3-bit index of pixel x, y: bits 47 - 3i down to 45 - 3i, i = 4x + y,
// its low bit at etcEacIndexBit.
constexpr unsigned etcEacIndexBit(unsigned x, unsigned y) { return 45 - 3 * (4 * x + y); }

constexpr unsigned etcEacIndex(uint64_t word, unsigned x, unsigned y) {
    return etcField(word, etcEacIndexBit(x, y) + 2, etcEacIndexBit(x, y));
}

#endif
