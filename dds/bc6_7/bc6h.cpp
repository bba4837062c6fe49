#include "bc6_7/bc6h.h"

#include "bc6_7/bc6h_modes.h"
#include "bc6_7/bptc.h"
#include "common/channel_rules.h"

namespace {

// The mode of a block, or nullptr for the reserved mode values 10011,
// 10111, 11011 and 11111.
const Bc6hMode *modeOf(const uint8_t block[16]) {
    const unsigned value = (block[0] & 3u) < 2u ? block[0] & 3u : block[0] & 31u;
    for (const Bc6hMode &mode : kBc6hModes)
        if (mode.value == value) return &mode;
    return nullptr;
}

// An endpoint of `bits` bits spread over the 16-bit range, to be
// interpolated.  Unsigned: 0 stays 0, the largest value becomes 0xFFFF, the
// others the middle of their step.  Signed: the same on the magnitude, the
// largest magnitudes becoming 0x7FFF.
int unquantize(int x, unsigned bits, bool isSigned) {
    if (!isSigned) {
        if (bits >= 15) return x;
        if (x == 0) return 0;
        if (x == (1 << bits) - 1) return 0xFFFF;
        return ((x << 15) + 0x4000) >> (bits - 1);
    }
    if (bits >= 16) return x;
    const bool negative = x < 0;
    const int magnitude = negative ? -x : x;
    int unq;
    if (magnitude == 0)
        unq = 0;
    else if (magnitude >= (1 << (bits - 1)) - 1)
        unq = 0x7FFF;
    else
        unq = ((magnitude << 15) + 0x4000) >> (bits - 1);
    return negative ? -unq : unq;
}

// ((64 - w) * a + w * b + 32) >> 6, rounding towards minus infinity for
// negative sums as an arithmetic shift does: the sum lies above -2^22, so
// it is shifted with 2^22 added and 2^16 taken off again.
int interpolate(int a, int b, int weight) {
    const int sum = (64 - weight) * a + weight * b + 32;
    return ((sum + (1 << 22)) >> 6) - (1 << 16);
}

// The interpolated value as half-float bits: unsigned values scaled by
// 31/64, which maps 0xFFFF to 0x7BFF, the largest finite half; signed ones
// by 31/32 on the magnitude, with the sign bit set when the scaled value is
// negative (-1 scales to 0, which stays +0).
uint16_t finish(int c, bool isSigned) {
    if (!isSigned) return static_cast<uint16_t>((c * 31) >> 6);
    if (c >= 0) return static_cast<uint16_t>((c * 31) >> 5);
    const int magnitude = ((-c) * 31) >> 5;
    return static_cast<uint16_t>(magnitude == 0 ? 0 : 0x8000 | magnitude);
}

}  // namespace

uint16_t ddsBc6hHalf(int interpolated, bool isSigned) { return finish(interpolated, isSigned); }

void ddsDecodeBc6hHalves(const uint8_t block[16], bool isSigned, uint16_t halves[16][3]) {
    const Bc6hMode *mode = modeOf(block);
    if (mode == nullptr) {
        for (unsigned i = 0; i < 16; ++i) halves[i][0] = halves[i][1] = halves[i][2] = 0;
        return;
    }
    BptcBits bits = ddsBptcBits(block, mode->modeBits);
    uint32_t fields[12] = {};
    for (unsigned k = 0; k < mode->segmentCount; ++k) {
        const Segment &s = mode->segments[k];
        uint32_t &field = fields[static_cast<unsigned>(s.field)];
        if (s.first >= s.last) {
            field |= ddsBptcRead(bits, ddsBc6hSegmentWidth(s)) << s.last;
        } else {
            for (unsigned b = s.last + 1u; b-- > s.first;) field |= ddsBptcRead(bits, 1) << b;
        }
    }
    const unsigned partition = ddsBptcRead(bits, mode->partitionBits);
    const unsigned regions = mode->partitionBits ? 2u : 1u;
    const unsigned indexBits = regions == 2 ? 3u : 4u;
    uint8_t indices[16];
    ddsBptcReadIndices(bits, indexBits, regions == 2 ? kBptcAnchors2[partition] : 0u, 0, indices);

    // Endpoints as signed numbers: endpoint 0 is sign-extended for signed
    // blocks; the others are for signed blocks and are deltas in
    // transformed modes, where they are added to endpoint 0 and wrap at
    // endpointBits.
    const unsigned epb = mode->endpointBits;
    const uint32_t endpointMask = (uint32_t{1} << epb) - 1;
    int endpoints[4][3];
    for (unsigned channel = 0; channel < 3; ++channel) {
        const uint32_t base = fields[channel];
        endpoints[0][channel] = isSigned ? ddsSignExtend(base, epb) : static_cast<int>(base);
        for (unsigned e = 1; e < 2 * regions; ++e) {
            const uint32_t stored = fields[3 * e + channel];
            if (mode->transformed) {
                const int delta = ddsSignExtend(stored, mode->deltaBits[channel]);
                const uint32_t sum = (base + static_cast<uint32_t>(delta)) & endpointMask;
                endpoints[e][channel] = isSigned ? ddsSignExtend(sum, epb) : static_cast<int>(sum);
            } else {
                endpoints[e][channel] = isSigned ? ddsSignExtend(stored, epb) : static_cast<int>(stored);
            }
        }
    }
    for (unsigned e = 0; e < 2 * regions; ++e)
        for (unsigned channel = 0; channel < 3; ++channel)
            endpoints[e][channel] = unquantize(endpoints[e][channel], epb, isSigned);

    for (unsigned i = 0; i < 16; ++i) {
        const unsigned region = regions == 2 ? kBptcPartitions2[partition][i] : 0u;
        const int weight = ddsBptcWeight(indexBits, indices[i]);
        for (unsigned channel = 0; channel < 3; ++channel) {
            const int c =
                interpolate(endpoints[2 * region][channel], endpoints[2 * region + 1][channel], weight);
            halves[i][channel] = finish(c, isSigned);
        }
    }
}

void ddsDecodeBc6hBlock(const uint8_t block[16], bool isSigned, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    uint16_t halves[16][3];
    ddsDecodeBc6hHalves(block, isSigned, halves);
    for (unsigned i = 0; i < 16; ++i) {
        uint8_t *out = blockOrigin + static_cast<ptrdiff_t>(i / 4) * rowStride + 4 * (i % 4);
        for (unsigned channel = 0; channel < 3; ++channel) out[channel] = ddsHalfToUnorm8(halves[i][channel]);
        out[3] = 255;
    }
}
