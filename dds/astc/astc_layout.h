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

// Decodes the 11 mode bits.  False for a reserved mode (void-extent blocks
// included), and for a grid of more than 64 weights or of fewer than 24 or
// more than 96 bits; the grid's size against the footprint is the caller's
// check.
bool astcDecodeBlockMode(uint32_t modeBits, AstcBlockMode *mode);

// astcDecodeBlockMode's answer for each of the 2048 mode values.
struct AstcBlockModeTable {
    AstcBlockMode modes[2048];
    bool legal[2048];
};
extern const AstcBlockModeTable kAstcBlockModes;

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

// Reads the layout of a block whose mode decoded to `mode` (a grid that
// fits the footprint).  False where the block is illegal: two planes with
// four partitions, more than 18 endpoint integers, or too few bits left for
// them to have even 6 levels.
bool astcParseLayout(const AstcBits &bits, const AstcBlockMode &mode, AstcBlockLayout *layout);

// The layout with the block mode read and checked against the footprint.
bool astcParseBlock(const AstcBits &bits, unsigned blockWidth, unsigned blockHeight, AstcBlockLayout *layout);

enum class AstcVoidExtent { Illegal, Ldr, Hdr };

// What a void-extent block holds: Illegal where bits 10 and 11 are not both
// set, or where its extent is not all ones and empty along an axis (a low
// coordinate not below the high one); otherwise an LDR colour (four UNORM16
// values) or an HDR one (four half floats) in bits 64 to 127, R first.
AstcVoidExtent astcVoidExtentKind(const AstcBits &bits);

#endif
