// What BC7 and BC6H blocks share: a 128-bit block read as a little-endian
// bit stream, the interpolation weights of 2-, 3- and 4-bit indices, the
// 64 two-subset partitions (BC6H uses the first 32) and BC7's 64
// three-subset ones with their anchor pixels, the index layout, and the
// tables of a first byte's mode.
#ifndef DDS_BPTC_H
#define DDS_BPTC_H

#include <cstdint>

#include "common/bytes.h"

// What every mode's function in the fast tiers must hold inline, whatever
// budget the compiler gives its file for inlining (a budget that shrinks
// with the file's code): the block's words, BC6H's palettes.
#if defined(__GNUC__)
#define DDS_BPTC_INLINE __attribute__((always_inline)) inline
#else
#define DDS_BPTC_INLINE inline
#endif

// A block's 128 bits as two 64-bit words: bit k of the block is bit k % 64
// of low (k < 64) or high (k >= 64), with the first byte holding bits 0-7.
struct BptcWords {
    uint64_t low, high;
};

DDS_BPTC_INLINE BptcWords ddsBptcWords(const uint8_t block[16]) { return {ddsLoad64(block), ddsLoad64(block + 8)}; }

// `count` bits (0 to 32) of the block from bit `start`, the first becoming
// bit 0 of the result.  A field that straddles the two words takes its low
// bits from `low` and the rest from `high`; no shift reaches 64.  With
// `start` and `count` known when compiled, this is one or two shifts.
constexpr uint32_t ddsBptcField(const BptcWords &b, unsigned start, unsigned count) {
    if (count == 0) return 0;
    const uint64_t mask = (uint64_t{1} << count) - 1;
    if (start >= 64) return static_cast<uint32_t>((b.high >> (start - 64)) & mask);
    if (start + count <= 64) return static_cast<uint32_t>((b.low >> start) & mask);
    return static_cast<uint32_t>((b.low >> start | b.high << (64 - start)) & mask);
}

// The plain decoders' walk through a block: its words and the next bit.
struct BptcBits {
    BptcWords words;
    unsigned position;
};

inline BptcBits ddsBptcBits(const uint8_t block[16], unsigned position) { return {ddsBptcWords(block), position}; }

// Reads `count` bits (0 to 32) at the current position and moves past them.
inline uint32_t ddsBptcRead(BptcBits &bits, unsigned count) {
    const uint32_t value = ddsBptcField(bits.words, bits.position, count);
    bits.position += count;
    return value;
}

// Interpolation weights (out of 64) for indices of 2, 3 and 4 bits.
inline constexpr uint8_t kBptcWeights2[4] = {0, 21, 43, 64};
inline constexpr uint8_t kBptcWeights3[8] = {0, 9, 18, 27, 37, 46, 55, 64};
inline constexpr uint8_t kBptcWeights4[16] = {0, 4, 9, 13, 17, 21, 26, 30, 34, 38, 43, 47, 51, 55, 60, 64};

constexpr uint8_t ddsBptcWeight(unsigned indexBits, unsigned index) {
    return indexBits == 2   ? kBptcWeights2[index & 3]
           : indexBits == 3 ? kBptcWeights3[index & 7]
                            : kBptcWeights4[index & 15];
}

// A function of a block's first byte as a table of its 256 values, for
// the kernels that look a block's mode up once a block.
struct BptcByteTable {
    uint8_t values[256];
};

constexpr BptcByteTable ddsBptcTabulate(unsigned (*rule)(uint8_t)) {
    BptcByteTable table{};
    for (unsigned v = 0; v < 256; ++v) table.values[v] = static_cast<uint8_t>(rule(static_cast<uint8_t>(v)));
    return table;
}

// The subset (0 or 1) of each pixel in the 64 two-subset partitions, two
// bits a pixel: pixel i (row by row) at bits 2i and 2i + 1, so that each
// pair of hex digits, from the lowest, is one row of the block, its first
// pixel lowest (0x50: 0, 0, 1, 1).
// clang-format off
inline constexpr uint32_t kBptcSubsets2[64] = {
    0x50505050, 0x40404040, 0x54545454, 0x54505040, 0x50404000, 0x55545450, 0x55545040, 0x54504000,
    0x50400000, 0x55555450, 0x55544000, 0x54400000, 0x55555440, 0x55550000, 0x55555500, 0x55000000,
    0x55150100, 0x00004054, 0x15010000, 0x00405054, 0x00004050, 0x15050100, 0x05010000, 0x40505054,
    0x00404050, 0x05010100, 0x14141414, 0x05141450, 0x01155440, 0x00555500, 0x15014054, 0x05414150,
    0x44444444, 0x55005500, 0x11441144, 0x05055050, 0x05500550, 0x11114444, 0x41144114, 0x44111144,
    0x15055054, 0x01055040, 0x05041050, 0x05455150, 0x14414114, 0x50050550, 0x41411414, 0x00141400,
    0x00041504, 0x00105410, 0x10541000, 0x04150400, 0x50410514, 0x41051450, 0x05415014, 0x14054150,
    0x41050514, 0x41505014, 0x40011554, 0x54150140, 0x50505500, 0x00555050, 0x15151010, 0x54540404,
};
// clang-format on

// The subset of `pixel` in a partition's map (this table's or BC7's
// three-subset one).
constexpr unsigned ddsBptcSubset(uint32_t map, unsigned pixel) { return (map >> (2 * pixel)) & 3; }

// The anchor pixel of subset 1 in each two-subset partition (subset 0's
// anchor is always pixel 0).  An anchor's index is stored with its top bit
// left out, that bit being zero.
inline constexpr uint8_t kBptcAnchors2[64] = {
    15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 2,  8, 2,  2, 8,
    8,  15, 2,  8,  2,  2,  8,  8,  2,  2,  15, 15, 6,  8,  2,  8,  15, 15, 2, 8,  2, 2,
    2,  15, 15, 6,  6,  2,  6,  8,  15, 15, 2,  2,  15, 15, 15, 15, 15, 2,  2, 15,
};

// The subsets (0, 1 or 2) of the pixels in BC7's 64 three-subset
// partitions, as kBptcSubsets2 holds two: pixel i at bits 2i and 2i + 1.
// clang-format off
inline constexpr uint32_t kBptcSubsets3[64] = {
    0xAA685050, 0x6A5A5040, 0x5A5A4200, 0x5450A0A8, 0xA5A50000, 0xA0A05050, 0x5555A0A0, 0x5A5A5050,
    0xAA550000, 0xAA555500, 0xAAAA5500, 0x90909090, 0x94949494, 0xA4A4A4A4, 0xA9A59450, 0x2A0A4250,
    0xA5945040, 0x0A425054, 0xA5A5A500, 0x55A0A0A0, 0xA8A85454, 0x6A6A4040, 0xA4A45000, 0x1A1A0500,
    0x0050A4A4, 0xAAA59090, 0x14696914, 0x69691400, 0xA08585A0, 0xAA821414, 0x50A4A450, 0x6A5A0200,
    0xA9A58000, 0x5090A0A8, 0xA8A09050, 0x24242424, 0x00AA5500, 0x24924924, 0x24499224, 0x50A50A50,
    0x500AA550, 0xAAAA4444, 0x66660000, 0xA5A0A5A0, 0x50A050A0, 0x69286928, 0x44AAAA44, 0x66666600,
    0xAA444444, 0x54A854A8, 0x95809580, 0x96969600, 0xA85454A8, 0x80959580, 0xAA141414, 0x96960000,
    0xAAAA1414, 0xA05050A0, 0xA0A5A5A0, 0x96000000, 0x40804080, 0xA9A8A9A8, 0xAAAAAA44, 0x2A4A5254,
};
// clang-format on

// The anchor pixels of subsets 1 and 2 in each three-subset partition.
inline constexpr uint8_t kBptcAnchors3Second[64] = {
    3,  3,  15, 15, 8, 3,  15, 15, 8,  8,  6, 6,  6, 5,  3, 3,  3,  3,  8,  15, 3,  3,
    6,  10, 5,  8,  8, 6,  8,  5,  15, 15, 8, 15, 3, 5,  6, 10, 8,  15, 15, 3,  15, 5,
    15, 15, 15, 15, 3, 15, 5,  5,  5,  8,  5, 10, 5, 10, 8, 13, 15, 12, 3,  3,
};
inline constexpr uint8_t kBptcAnchors3Third[64] = {
    15, 8, 8, 3,  15, 15, 3,  8,  15, 15, 15, 15, 15, 15, 15, 8,  15, 8,  15, 3,  15, 8,
    15, 8, 3, 15, 6,  10, 15, 15, 10, 8,  15, 3,  15, 10, 10, 8,  9,  10, 6,  15, 8,  15,
    3,  6, 6, 8,  15, 3,  15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 3,  15, 15, 8,
};

// The subset map of a partition (kBptcSubsets2 or kBptcSubsets3) for a
// mode of `subsets` subsets (BC6H's regions): every pixel 0 for one.
constexpr uint32_t ddsBptcSubsets(unsigned subsets, unsigned partition) {
    return subsets == 2 ? kBptcSubsets2[partition] : subsets == 3 ? kBptcSubsets3[partition] : 0u;
}

// The anchor pixels after pixel 0 of a partition of `subsets` subsets, in
// ascending order (0 where there are fewer).
struct BptcAnchors {
    unsigned first, second;
};
constexpr BptcAnchors ddsBptcAnchors(unsigned subsets, unsigned partition) {
    if (subsets == 2) return {kBptcAnchors2[partition], 0};
    if (subsets == 1) return {0, 0};
    const unsigned second = kBptcAnchors3Second[partition], third = kBptcAnchors3Third[partition];
    return {second < third ? second : third, second < third ? third : second};
}

// Each anchor's missing bit is put back once, after pixel 0's (index_run.h):
// the anchors of a partition are distinct and none is pixel 0.
constexpr bool ddsBptcAnchorsDiffer() {
    for (unsigned p = 0; p < 64; ++p) {
        const BptcAnchors two = ddsBptcAnchors(2, p), three = ddsBptcAnchors(3, p);
        if (two.first == 0 || three.first == 0 || three.first == three.second) return false;
    }
    return true;
}
static_assert(ddsBptcAnchorsDiffer(), "anchor pixels are distinct and not pixel 0");

// Reads 16 indices of `indexBits` bits in pixel order; pixel 0 and the
// anchor pixels have one bit fewer.
inline void ddsBptcReadIndices(BptcBits &bits, unsigned indexBits, BptcAnchors anchors, uint8_t indices[16]) {
    for (unsigned i = 0; i < 16; ++i) {
        const bool anchor = i == 0 || i == anchors.first || i == anchors.second;
        indices[i] = static_cast<uint8_t>(ddsBptcRead(bits, anchor ? indexBits - 1 : indexBits));
    }
}

#endif
