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
    if (block[0] == 0) {
        writeAll(blockOrigin, rowStride, 0);
        return;
    }
    unsigned modeNumber = 0;
    while ((block[0] >> modeNumber & 1) == 0) ++modeNumber;
    const Bc7Mode &mode = kBc7Modes[modeNumber];
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
                const uint32_t widened = ddsReplicateBits(value, stored + pBitCount, 8);
                endpoints[s][end][channel] = static_cast<uint8_t>(widened);
            }
        }
    }

    unsigned anchorA = 0, anchorB = 0;
    if (mode.subsets == 2) {
        anchorA = kBptcAnchors2[partition];
    } else if (mode.subsets == 3) {
        anchorA = kBc7Anchors3Second[partition];
        anchorB = kBc7Anchors3Third[partition];
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
                                               : kBc7Partitions3[partition][i];
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
