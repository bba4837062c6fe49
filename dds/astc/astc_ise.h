// ASTC's integer sequences: runs of values that share one range, packed as
// plain bits, or as trits (five to 8 bits) or quints (three to 7 bits)
// beside plain low bits, and turned back into endpoint bytes (0 to 255) or
// weights (0 to 64).  Every tier reads them with the same functions: one
// for each range, a group of trits or quints or one plain value at a time,
// unquantised on the way.
#ifndef DDS_ASTC_ISE_H
#define DDS_ASTC_ISE_H

#include <cstdint>

#include "astc/astc_bits.h"
#include "astc/astc_layout.h"

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

// The endpoint integers of a block laid out as `layout`, unquantised to
// bytes (0 to 255).  The bits past the end of their sequence read as zero.
// Writes up to 4 values past the last (a whole last group).
void astcDecodeColourValues(const AstcBits &bits, const AstcBlockLayout &layout, uint8_t *values);

// The weights of a block of mode `mode`, stored from the top bit down,
// unquantised to 0 to 64: the planes' weights of each grid point next to
// each other.  Writes up to 4 values past the last.
void astcDecodeWeights(const AstcBits &bits, const AstcBlockMode &mode, uint8_t *weights);

#endif
