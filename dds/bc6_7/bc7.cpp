#include "bc6_7/bc7.h"

#include "bc6_7/bc7_modes.h"
#include "bc6_7/bptc.h"
#include "common/channel_rules.h"

namespace {

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
    const unsigned modeNumber = kBc7ModeOfByte.values[block[0]];
    if (modeNumber == Bc7NoMode) {
        writeAll(blockOrigin, rowStride, 0);
        return;
    }
    const Bc7Mode &mode = kBc7Modes[modeNumber];
    BptcBits bits = ddsBptcBits(block, modeNumber + 1);

    const unsigned partition = ddsBptcRead(bits, mode.partitionBits);
    const unsigned rotation = ddsBptcRead(bits, mode.rotationBits);
    const unsigned selection = ddsBptcRead(bits, mode.selectionBits);

    // The stored endpoints, [subset][end][channel]: every colour channel,
    // then alpha, then the p-bits (one an endpoint, or one a subset).
    uint32_t raw[3][2][4] = {};
    for (unsigned channel = 0; channel < 4; ++channel)
        for (unsigned s = 0; s < mode.subsets; ++s)
            for (unsigned end = 0; end < 2; ++end)
                raw[s][end][channel] = ddsBptcRead(bits, channel < 3 ? mode.colorBits : mode.alphaBits);
    uint32_t pBit[3][2] = {};
    for (unsigned s = 0; s < mode.subsets; ++s) {
        if (mode.endpointPBits) pBit[s][0] = ddsBptcRead(bits, 1), pBit[s][1] = ddsBptcRead(bits, 1);
        if (mode.sharedPBits) pBit[s][0] = pBit[s][1] = ddsBptcRead(bits, 1);
    }
    const unsigned pBitWidth = mode.endpointPBits + mode.sharedPBits;
    uint8_t endpoints[3][2][4];
    for (unsigned s = 0; s < mode.subsets; ++s)
        for (unsigned end = 0; end < 2; ++end)
            for (unsigned channel = 0; channel < 4; ++channel)
                endpoints[s][end][channel] = static_cast<uint8_t>(ddsBc7Widen(
                    raw[s][end][channel], channel < 3 ? mode.colorBits : mode.alphaBits, pBit[s][end], pBitWidth));

    uint8_t primary[16] = {}, secondary[16] = {};
    ddsBptcReadIndices(bits, mode.indexBits, ddsBptcAnchors(mode.subsets, partition), primary);
    if (mode.secondaryIndexBits) ddsBptcReadIndices(bits, mode.secondaryIndexBits, ddsBptcAnchors(1, 0), secondary);

    const bool selected = selection != 0;
    const uint8_t *colorIndices = selected ? secondary : primary;
    const uint8_t *alphaIndices = mode.secondaryIndexBits == 0 || selected ? primary : secondary;
    const unsigned colorIndexBits = ddsBc7ColorIndexBits(mode, selected);
    const unsigned alphaIndexBits = ddsBc7AlphaIndexBits(mode, selected);

    const uint32_t subsets = ddsBptcSubsets(mode.subsets, partition);
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned s = ddsBptcSubset(subsets, i);
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
