#include "bc6_7/bc6h.h"

#include "bc6_7/bc6h_modes.h"
#include "bc6_7/bc6h_rules.h"
#include "bc6_7/bptc.h"
#include "common/channel_rules.h"

void ddsDecodeBc6hHalves(const uint8_t block[16], bool isSigned, uint16_t halves[16][3]) {
    const unsigned modeNumber = kBc6hModeOfByte.values[block[0]];
    if (modeNumber == Bc6hReserved) {
        for (unsigned i = 0; i < 16; ++i) halves[i][0] = halves[i][1] = halves[i][2] = 0;
        return;
    }
    const Bc6hMode &mode = kBc6hModes[modeNumber];
    BptcBits bits = ddsBptcBits(block, mode.modeBits);
    uint32_t fields[12] = {};
    for (unsigned k = 0; k < mode.segmentCount; ++k) {
        const Segment &s = mode.segments[k];
        uint32_t &field = fields[static_cast<unsigned>(s.field)];
        if (s.first >= s.last) {
            field |= ddsBptcRead(bits, ddsBc6hSegmentWidth(s)) << s.last;
        } else {
            for (unsigned b = s.last + 1u; b-- > s.first;) field |= ddsBptcRead(bits, 1) << b;
        }
    }
    const unsigned partition = ddsBptcRead(bits, mode.partitionBits);
    const unsigned regions = ddsBc6hRegions(mode), indexBits = ddsBc6hIndexBits(mode);
    uint8_t indices[16];
    ddsBptcReadIndices(bits, indexBits, ddsBptcAnchors(regions, partition), indices);

    int ends[4][3];
    for (unsigned e = 0; e < 2 * regions; ++e)
        for (unsigned c = 0; c < 3; ++c)
            ends[e][c] = ddsBc6hEndpoint(fields, e, c, mode.transformed ? mode.deltaBits[c] : 0u, mode.endpointBits, isSigned);
    const uint32_t subsets = ddsBptcSubsets(regions, partition);
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned region = ddsBptcSubset(subsets, i);
        const int weight = ddsBptcWeight(indexBits, indices[i]);
        for (unsigned c = 0; c < 3; ++c)
            halves[i][c] = ddsBc6hHalf(ddsBc6hInterpolate(ends[2 * region][c], ends[2 * region + 1][c], weight), isSigned);
    }
}

// The half-to-byte step of the plain tier: the rule, or the image's HDR
// table.
void ddsDecodeBc6hBlock(const uint8_t block[16], bool isSigned, uint8_t *blockOrigin, ptrdiff_t rowStride,
                        const DdsHdrTable *hdr) {
    uint16_t halves[16][3];
    ddsDecodeBc6hHalves(block, isSigned, halves);
    for (unsigned i = 0; i < 16; ++i) {
        uint8_t *out = blockOrigin + static_cast<ptrdiff_t>(i / 4) * rowStride + 4 * (i % 4);
        for (unsigned channel = 0; channel < 3; ++channel) {
            const uint16_t half = halves[i][channel];
            out[channel] = hdr != nullptr ? ddsHdrHalfByte(*hdr, half) : ddsHalfToUnorm8(half);
        }
        out[3] = 255;
    }
}
