// Where things sit in an ASTC block: the block mode (bits 0 to 10: the
// weight grid, its range and planes), the partition count and seed, the
// colour endpoint modes, the endpoint integers above them and the weights
// stored from the top bit down; and the void-extent (constant-colour) block.
#ifndef DDS_ASTC_LAYOUT_H
#define DDS_ASTC_LAYOUT_H

#include <cstdint>

#include "astc/astc_bits.h"

// The weight grid that a block mode selects.
struct AstcBlockMode {
    uint8_t gridWidth, gridHeight;
    uint8_t weightRange;  // index into kAstcRanges, 0 to 11
    uint8_t planes;       // 1, or 2 where one channel has weights of its own
    uint8_t weightCount;  // gridWidth * gridHeight * planes: 1 to 64
    uint8_t weightBits;   // the bits those weights take: 24 to 96
};

// Bits 0 to 8 of a void-extent block.
inline bool astcIsVoidExtent(uint32_t modeBits) { return (modeBits & 0x1FF) == 0x1FC; }

// Everything but the values: how a block that is not a void-extent block
// is laid out.
struct AstcBlockLayout {
    AstcBlockMode mode;
    unsigned partitionCount;  // 1 to 4
    unsigned partitionSeed;   // 0 to 1023
    uint8_t cems[4];          // the colour endpoint mode of each partition
    unsigned colourStart;     // the first bit of the endpoint integers
    unsigned colourCount;     // how many: 2 to 18
    unsigned colourRange;     // their range, an index into kAstcRanges
    int planeTwoChannel;      // the channel (0 R to 3 A) with the second weight plane, or -1
};

// The partition (0 to count - 1) of texel (x, y) for `seed` (0 to 1023)
// and `count` (2 to 4): a hash of the three (astc_partition.cpp).
// `smallBlock`: the footprint has fewer than 31 texels, whose coordinates
// are doubled first.
unsigned astcPartitionOf(unsigned seed, unsigned count, unsigned x, unsigned y, bool smallBlock);

// How many endpoint integers colour endpoint mode `cem` (0 to 15) takes:
// 2, 4, 6 or 8.
constexpr unsigned astcEndpointValueCount(unsigned cem) { return 2 * ((cem >> 2) + 1); }

// Reads the layout of a block that is not a void-extent block, for a
// footprint of blockWidth x blockHeight.  False where the block is illegal:
// a reserved block mode (void-extent blocks included), a grid of more than
// 64 weights or of fewer than 24 or more than 96 bits, a grid larger than
// the footprint, two planes with four partitions, more than 18 endpoint
// integers, or too few bits left for them to have even 6 levels.
bool astcParseBlock(const AstcBits &bits, unsigned blockWidth, unsigned blockHeight, AstcBlockLayout *layout);

// The error colour: opaque magenta, of illegal blocks.
constexpr uint8_t kAstcErrorColour[4] = {255, 0, 255, 255};

// The one colour of a void-extent block as RGBA bytes: an LDR colour (four
// UNORM16 values) or an HDR one (four half floats) in bits 64 to 127, R
// first, each channel made a byte as a texel's is.  False where the block
// is illegal (bits 10 and 11 not both set, or an extent that is not all
// ones and empty along an axis: a low coordinate not below the high one) or
// its HDR colour holds a NaN: the error colour's cases.
bool astcVoidExtentColour(const AstcBits &bits, uint8_t rgba[4]);

// Infill of a weight grid smaller than the footprint: texel coordinate s
// of a block side of `blockSide` texels lies at astcGridPosition / 16 along
// a grid side of `gridSide` points: at the point (>> 4) and the fraction
// towards the next (& 15).
constexpr unsigned astcGridPosition(unsigned blockSide, unsigned gridSide, unsigned s) {
    return ((1024 + blockSide / 2) / (blockSide - 1) * s * (gridSide - 1) + 32) >> 6;
}

// The shares, summing to 16, of the four grid weights around a texel of
// fractions fs and ft: its point's, the next along s, the next along t and
// the one past both.  The texel's weight is their blend, rounded.
struct AstcShares {
    unsigned w00, w01, w10, w11;
};

constexpr AstcShares astcShares(unsigned fs, unsigned ft) {
    const unsigned w11 = (fs * ft + 8) >> 4;
    return {16 - fs - ft + w11, fs - w11, ft - w11, w11};
}

constexpr unsigned astcBlendedWeight(unsigned blend) { return (blend + 8) >> 4; }

#endif
