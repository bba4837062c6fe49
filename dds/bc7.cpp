#include "bc7.h"

#include "bptc.h"

namespace {

// What a mode's fields hold, in the order the block stores them after the
// mode bits: partition number, rotation, index selection, colour endpoints
// (red of every endpoint, then green, then blue), alpha endpoints, p-bits,
// primary indices, secondary indices.
struct Bc7Mode {
    uint8_t subsets;
    uint8_t partitionBits;
    uint8_t rotationBits;
    uint8_t selectionBits;
    uint8_t colorBits;
    uint8_t alphaBits;      // 0: alpha is 255
    uint8_t endpointPBits;  // 1: one p-bit per endpoint
    uint8_t sharedPBits;    // 1: one p-bit per subset, for both its endpoints
    uint8_t indexBits;
    uint8_t secondaryIndexBits;  // 0: colour and alpha share the primary indices
};

// clang-format off
constexpr Bc7Mode kModes[8] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0},  // mode 0
    {2, 6, 0, 0, 6, 0, 0, 1, 3, 0},  // mode 1
    {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},  // mode 2
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0},  // mode 3
    {1, 0, 2, 1, 5, 6, 0, 0, 2, 3},  // mode 4
    {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},  // mode 5
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0},  // mode 6
    {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},  // mode 7
};
// clang-format on

// Every mode fills the 128 bits exactly: mode bits, fields, and indices
// with one bit less at each subset's anchor pixel.
constexpr bool fillsTheBlock(unsigned mode) {
    const Bc7Mode &m = kModes[mode];
    const unsigned endpoints = 2u * m.subsets;
    const unsigned pBits = m.endpointPBits ? endpoints : m.sharedPBits ? m.subsets : 0u;
    const unsigned indices =
        16u * m.indexBits - m.subsets + (m.secondaryIndexBits ? 16u * m.secondaryIndexBits - 1u : 0u);
    return mode + 1u + m.partitionBits + m.rotationBits + m.selectionBits +
               endpoints * (3u * m.colorBits + m.alphaBits) + pBits + indices ==
           128u;
}
static_assert(fillsTheBlock(0) && fillsTheBlock(1) && fillsTheBlock(2) && fillsTheBlock(3) &&
                  fillsTheBlock(4) && fillsTheBlock(5) && fillsTheBlock(6) && fillsTheBlock(7),
              "BC7 mode table");

// The subset (0, 1 or 2) of each pixel for the 64 three-subset partitions.
constexpr uint8_t kPartitions3[64][16] = {
    {0, 0, 1, 1, 0, 0, 1, 1, 0, 2, 2, 1, 2, 2, 2, 2},  // 0
    {0, 0, 0, 1, 0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 2, 1},  // 1
    {0, 0, 0, 0, 2, 0, 0, 1, 2, 2, 1, 1, 2, 2, 1, 1},  // 2
    {0, 2, 2, 2, 0, 0, 2, 2, 0, 0, 1, 1, 0, 1, 1, 1},  // 3
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 1, 1, 2, 2},  // 4
    {0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 2, 2, 0, 0, 2, 2},  // 5
    {0, 0, 2, 2, 0, 0, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1},  // 6
    {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 1, 1},  // 7
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2},  // 8
    {0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2},  // 9
    {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2},  // 10
    {0, 0, 1, 2, 0, 0, 1, 2, 0, 0, 1, 2, 0, 0, 1, 2},  // 11
    {0, 1, 1, 2, 0, 1, 1, 2, 0, 1, 1, 2, 0, 1, 1, 2},  // 12
    {0, 1, 2, 2, 0, 1, 2, 2, 0, 1, 2, 2, 0, 1, 2, 2},  // 13
    {0, 0, 1, 1, 0, 1, 1, 2, 1, 1, 2, 2, 1, 2, 2, 2},  // 14
    {0, 0, 1, 1, 2, 0, 0, 1, 2, 2, 0, 0, 2, 2, 2, 0},  // 15
    {0, 0, 0, 1, 0, 0, 1, 1, 0, 1, 1, 2, 1, 1, 2, 2},  // 16
    {0, 1, 1, 1, 0, 0, 1, 1, 2, 0, 0, 1, 2, 2, 0, 0},  // 17
    {0, 0, 0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2},  // 18
    {0, 0, 2, 2, 0, 0, 2, 2, 0, 0, 2, 2, 1, 1, 1, 1},  // 19
    {0, 1, 1, 1, 0, 1, 1, 1, 0, 2, 2, 2, 0, 2, 2, 2},  // 20
    {0, 0, 0, 1, 0, 0, 0, 1, 2, 2, 2, 1, 2, 2, 2, 1},  // 21
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 2, 2, 0, 1, 2, 2},  // 22
    {0, 0, 0, 0, 1, 1, 0, 0, 2, 2, 1, 0, 2, 2, 1, 0},  // 23
    {0, 1, 2, 2, 0, 1, 2, 2, 0, 0, 1, 1, 0, 0, 0, 0},  // 24
    {0, 0, 1, 2, 0, 0, 1, 2, 1, 1, 2, 2, 2, 2, 2, 2},  // 25
    {0, 1, 1, 0, 1, 2, 2, 1, 1, 2, 2, 1, 0, 1, 1, 0},  // 26
    {0, 0, 0, 0, 0, 1, 1, 0, 1, 2, 2, 1, 1, 2, 2, 1},  // 27
    {0, 0, 2, 2, 1, 1, 0, 2, 1, 1, 0, 2, 0, 0, 2, 2},  // 28
    {0, 1, 1, 0, 0, 1, 1, 0, 2, 0, 0, 2, 2, 2, 2, 2},  // 29
    {0, 0, 1, 1, 0, 1, 2, 2, 0, 1, 2, 2, 0, 0, 1, 1},  // 30
    {0, 0, 0, 0, 2, 0, 0, 0, 2, 2, 1, 1, 2, 2, 2, 1},  // 31
    {0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 2, 2, 1, 2, 2, 2},  // 32
    {0, 2, 2, 2, 0, 0, 2, 2, 0, 0, 1, 2, 0, 0, 1, 1},  // 33
    {0, 0, 1, 1, 0, 0, 1, 2, 0, 0, 2, 2, 0, 2, 2, 2},  // 34
    {0, 1, 2, 0, 0, 1, 2, 0, 0, 1, 2, 0, 0, 1, 2, 0},  // 35
    {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 0, 0, 0, 0},  // 36
    {0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2, 0},  // 37
    {0, 1, 2, 0, 2, 0, 1, 2, 1, 2, 0, 1, 0, 1, 2, 0},  // 38
    {0, 0, 1, 1, 2, 2, 0, 0, 1, 1, 2, 2, 0, 0, 1, 1},  // 39
    {0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 0, 0, 0, 0, 1, 1},  // 40
    {0, 1, 0, 1, 0, 1, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2},  // 41
    {0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 2, 1, 2, 1, 2, 1},  // 42
    {0, 0, 2, 2, 1, 1, 2, 2, 0, 0, 2, 2, 1, 1, 2, 2},  // 43
    {0, 0, 2, 2, 0, 0, 1, 1, 0, 0, 2, 2, 0, 0, 1, 1},  // 44
    {0, 2, 2, 0, 1, 2, 2, 1, 0, 2, 2, 0, 1, 2, 2, 1},  // 45
    {0, 1, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 0, 1, 0, 1},  // 46
    {0, 0, 0, 0, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1},  // 47
    {0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 2, 2, 2, 2},  // 48
    {0, 2, 2, 2, 0, 1, 1, 1, 0, 2, 2, 2, 0, 1, 1, 1},  // 49
    {0, 0, 0, 2, 1, 1, 1, 2, 0, 0, 0, 2, 1, 1, 1, 2},  // 50
    {0, 0, 0, 0, 2, 1, 1, 2, 2, 1, 1, 2, 2, 1, 1, 2},  // 51
    {0, 2, 2, 2, 0, 1, 1, 1, 0, 1, 1, 1, 0, 2, 2, 2},  // 52
    {0, 0, 0, 2, 1, 1, 1, 2, 1, 1, 1, 2, 0, 0, 0, 2},  // 53
    {0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 2, 2, 2, 2},  // 54
    {0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 2, 2, 1, 1, 2},  // 55
    {0, 1, 1, 0, 0, 1, 1, 0, 2, 2, 2, 2, 2, 2, 2, 2},  // 56
    {0, 0, 2, 2, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 2, 2},  // 57
    {0, 0, 2, 2, 1, 1, 2, 2, 1, 1, 2, 2, 0, 0, 2, 2},  // 58
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 1, 1, 2},  // 59
    {0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1},  // 60
    {0, 2, 2, 2, 1, 2, 2, 2, 0, 2, 2, 2, 1, 2, 2, 2},  // 61
    {0, 1, 0, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},  // 62
    {0, 1, 1, 1, 2, 0, 1, 1, 2, 2, 0, 1, 2, 2, 2, 0},  // 63
};

// The anchor pixels of subsets 1 and 2 in each three-subset partition.
constexpr uint8_t kAnchors3Second[64] = {
    3,  3,  15, 15, 8, 3,  15, 15, 8,  8,  6, 6,  6, 5,  3, 3,  3,  3,  8,  15, 3,  3,
    6,  10, 5,  8,  8, 6,  8,  5,  15, 15, 8, 15, 3, 5,  6, 10, 8,  15, 15, 3,  15, 5,
    15, 15, 15, 15, 3, 15, 5,  5,  5,  8,  5, 10, 5, 10, 8, 13, 15, 12, 3,  3,
};
constexpr uint8_t kAnchors3Third[64] = {
    15, 8, 8, 3,  15, 15, 3,  8,  15, 15, 15, 15, 15, 15, 15, 8,  15, 8,  15, 3,  15, 8,
    15, 8, 3, 15, 6,  10, 15, 15, 10, 8,  15, 3,  15, 10, 10, 8,  9,  10, 6,  15, 8,  15,
    3,  6, 6, 8,  15, 3,  15, 15, 15, 15, 15, 15, 15, 15, 15, 15, 3,  15, 15, 8,
};

// An endpoint of `bits` bits (p-bit included) widened to 8 by repeating
// its top bits below it.
uint8_t widen(uint32_t value, unsigned bits) {
    return static_cast<uint8_t>((value << (8 - bits) | value >> (2 * bits - 8)) & 0xFF);
}

uint8_t interpolate(uint8_t e0, uint8_t e1, int weight) {
    return static_cast<uint8_t>(((64 - weight) * e0 + weight * e1 + 32) >> 6);
}

void writeAll(uint8_t *blockOrigin, ptrdiff_t rowStride, uint8_t value) {
    for (ptrdiff_t r = 0; r < 4; ++r) {
        uint8_t *row = blockOrigin + r * rowStride;
        for (int i = 0; i < 16; ++i) row[i] = value;
    }
}

}  // namespace

void ddsDecodeBc7Block(const uint8_t block[16], uint8_t *blockOrigin, ptrdiff_t rowStride) {
    if (block[0] == 0) {
        writeAll(blockOrigin, rowStride, 0);
        return;
    }
    unsigned modeNumber = 0;
    while ((block[0] >> modeNumber & 1) == 0) ++modeNumber;
    const Bc7Mode &mode = kModes[modeNumber];
    BptcBits bits = ddsBptcBits(block, modeNumber + 1);

    const unsigned partition = ddsBptcRead(bits, mode.partitionBits);
    const unsigned rotation = ddsBptcRead(bits, mode.rotationBits);
    const unsigned selection = ddsBptcRead(bits, mode.selectionBits);

    // endpoints[subset][end][channel], first as stored, then widened.
    uint32_t raw[3][2][4] = {};
    for (unsigned channel = 0; channel < 3; ++channel)
        for (unsigned s = 0; s < mode.subsets; ++s)
            for (unsigned end = 0; end < 2; ++end) raw[s][end][channel] = ddsBptcRead(bits, mode.colorBits);
    for (unsigned s = 0; s < mode.subsets; ++s)
        for (unsigned end = 0; end < 2; ++end) raw[s][end][3] = ddsBptcRead(bits, mode.alphaBits);

    uint32_t pBit[3][2] = {};
    if (mode.endpointPBits) {
        for (unsigned s = 0; s < mode.subsets; ++s)
            for (unsigned end = 0; end < 2; ++end) pBit[s][end] = ddsBptcRead(bits, 1);
    } else if (mode.sharedPBits) {
        for (unsigned s = 0; s < mode.subsets; ++s) pBit[s][0] = pBit[s][1] = ddsBptcRead(bits, 1);
    }
    const unsigned pBitCount = mode.endpointPBits + mode.sharedPBits;

    uint8_t endpoints[3][2][4];
    for (unsigned s = 0; s < mode.subsets; ++s) {
        for (unsigned end = 0; end < 2; ++end) {
            for (unsigned channel = 0; channel < 4; ++channel) {
                const unsigned stored = channel < 3 ? mode.colorBits : mode.alphaBits;
                if (stored == 0) {
                    endpoints[s][end][channel] = 255;
                    continue;
                }
                const uint32_t value =
                    pBitCount ? raw[s][end][channel] << 1 | pBit[s][end] : raw[s][end][channel];
                endpoints[s][end][channel] = widen(value, stored + pBitCount);
            }
        }
    }

    unsigned anchorA = 0, anchorB = 0;
    if (mode.subsets == 2) {
        anchorA = kBptcAnchors2[partition];
    } else if (mode.subsets == 3) {
        anchorA = kAnchors3Second[partition];
        anchorB = kAnchors3Third[partition];
    }
    uint8_t primary[16] = {}, secondary[16] = {};
    ddsBptcReadIndices(bits, mode.indexBits, anchorA, anchorB, primary);
    if (mode.secondaryIndexBits) ddsBptcReadIndices(bits, mode.secondaryIndexBits, 0, 0, secondary);

    // Colour and alpha indices: the primary ones for both, or with
    // secondary indices the primary for colour and the secondary for alpha,
    // swapped when the index selection bit is set.
    const bool swapIndices = selection != 0;
    const uint8_t *colorIndices = swapIndices ? secondary : primary;
    const uint8_t *alphaIndices = mode.secondaryIndexBits == 0 ? primary : swapIndices ? primary : secondary;
    const unsigned colorIndexBits = swapIndices ? mode.secondaryIndexBits : mode.indexBits;
    const unsigned alphaIndexBits = mode.secondaryIndexBits == 0 ? mode.indexBits
                                    : swapIndices                ? mode.indexBits
                                                                 : mode.secondaryIndexBits;

    for (unsigned i = 0; i < 16; ++i) {
        const unsigned s = mode.subsets == 1   ? 0u
                           : mode.subsets == 2 ? kBptcPartitions2[partition][i]
                                               : kPartitions3[partition][i];
        const uint8_t(&e0)[4] = endpoints[s][0];
        const uint8_t(&e1)[4] = endpoints[s][1];
        const int colorWeight = ddsBptcWeight(colorIndexBits, colorIndices[i]);
        const int alphaWeight = ddsBptcWeight(alphaIndexBits, alphaIndices[i]);
        uint8_t pixel[4] = {interpolate(e0[0], e1[0], colorWeight), interpolate(e0[1], e1[1], colorWeight),
                            interpolate(e0[2], e1[2], colorWeight), interpolate(e0[3], e1[3], alphaWeight)};
        // Rotation 1, 2, 3 swaps alpha with red, green, blue.
        if (rotation != 0) {
            const uint8_t swapped = pixel[rotation - 1];
            pixel[rotation - 1] = pixel[3];
            pixel[3] = swapped;
        }
        uint8_t *out = blockOrigin + static_cast<ptrdiff_t>(i / 4) * rowStride + 4 * (i % 4);
        for (unsigned c = 0; c < 4; ++c) out[c] = pixel[c];
    }
}
