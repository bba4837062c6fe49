// ASTC's integer sequences: runs of values that share one range, packed as
// plain bits, or as trits (five to 8 bits) or quints (three to 7 bits)
// beside plain low bits; and the tables that turn a stored value back into
// an endpoint byte (0 to 255) or a weight (0 to 64).
#ifndef DDS_ASTC_ISE_H
#define DDS_ASTC_ISE_H

#include <cstdint>

#include "astc/astc_bits.h"

// A range of values 0 .. levels - 1, stored as `bits` plain low bits under
// a trit (levels = 3 * 2^bits), a quint (5 * 2^bits), or nothing more.
struct AstcRange {
    uint16_t levels;
    uint8_t bits;
    uint8_t trits;
    uint8_t quints;
};

// Every range, by index, smallest first: 2, 3, 4, 5, 6, 8, 10, 12, 16, 20,
// 24, 32, 40, 48, 64, 80, 96, 128, 160, 192, 256 levels.  Weights use
// indices 0 to 11 (2 to 32 levels), endpoints 4 to 20 (6 to 256 levels).
constexpr unsigned kAstcRangeCount = 21;
constexpr unsigned kAstcWeightRangeCount = 12;
constexpr unsigned kAstcSmallestColourRange = 4;
constexpr AstcRange kAstcRanges[kAstcRangeCount] = {
    {2, 1, 0, 0},   {3, 0, 1, 0},   {4, 2, 0, 0},   {5, 0, 0, 1},   {6, 1, 1, 0},   {8, 3, 0, 0},
    {10, 1, 0, 1},  {12, 2, 1, 0},  {16, 4, 0, 0},  {20, 2, 0, 1},  {24, 3, 1, 0},  {32, 5, 0, 0},
    {40, 3, 0, 1},  {48, 4, 1, 0},  {64, 6, 0, 0},  {80, 4, 0, 1},  {96, 5, 1, 0},  {128, 7, 0, 0},
    {160, 5, 0, 1}, {192, 6, 1, 0}, {256, 8, 0, 0},
};

// The bits that `count` values of range `range` take: their plain bits,
// and 8 bits for each five trits or 7 for each three quints, a last
// partial group taking only the bits its values reach.
constexpr unsigned astcIseBitCount(unsigned range, unsigned count) {
    const AstcRange &r = kAstcRanges[range];
    return count * r.bits + (r.trits ? (8 * count + 4) / 5 : 0u) + (r.quints ? (7 * count + 2) / 3 : 0u);
}

// Decodes `count` values of range `range` stored from bit `start` of
// `bits`.  Bits past the end of the sequence (astcIseBitCount from start)
// read as zero, as do bits past the block.
void astcDecodeIse(const AstcBits &bits, unsigned start, unsigned range, unsigned count, uint8_t *values);

// The five trits packed in each 8-bit value, and the three quints packed in
// each 7-bit value.
struct AstcTritTable {
    uint8_t trits[256][5];
};
struct AstcQuintTable {
    uint8_t quints[128][3];
};
extern const AstcTritTable kAstcTrits;
extern const AstcQuintTable kAstcQuints;

// A stored endpoint value of each range as a byte (0 to 255); a stored
// weight of each weight range as 0 to 64.
struct AstcColourUnquantTable {
    uint8_t values[kAstcRangeCount][256];
};
struct AstcWeightUnquantTable {
    uint8_t values[kAstcWeightRangeCount][32];
};
extern const AstcColourUnquantTable kAstcColourUnquant;
extern const AstcWeightUnquantTable kAstcWeightUnquant;

#endif
