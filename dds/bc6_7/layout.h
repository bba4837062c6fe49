// Where the fields of BC7's and BC6H's modes lie, for the kernels that read
// them at positions fixed when compiled (fast.cpp and the AVX2 kernels):
// the block's bits as words, a field of them, each BC7 mode's field
// positions and BC6H's endpoint segments.
#ifndef DDS_BC6_7_LAYOUT_H
#define DDS_BC6_7_LAYOUT_H

#include <cstddef>
#include <cstdint>
#include <utility>

#include "bc6_7/bc6h_modes.h"
#include "bc6_7/bc7_modes.h"
#include "bc6_7/bptc.h"
#include "common/bytes.h"

namespace bptc {

// A block's 128 bits as two 64-bit words (BptcWords: the portable tier,
// whose index runs are 64-bit words too), or as four 32-bit words (the
// vector tiers, whose index runs are in vector registers): bit k of the
// block is bit k % W of word k / W.  On 32-bit x86 the four-word form reads
// every field with 32-bit shifts, where the two-word one would shift pairs
// of registers.
struct Words32 {
    uint32_t w[4];
};
DDS_BPTC_INLINE Words32 words32(const uint8_t *block) {
    return {{ddsLoad32(block), ddsLoad32(block + 4), ddsLoad32(block + 8), ddsLoad32(block + 12)}};
}

// `Count` bits (at most 32) of the block from bit `Start`, the first at
// bit 0 (none when Count is 0), from two 64-bit words or from four 32-bit
// ones.
template <unsigned Start, unsigned Count>
inline uint32_t field(const BptcWords &b) {
    static_assert(Count <= 32 && Start + Count <= 128, "a field inside the block");
    return ddsBptcField(b, Start, Count);
}
template <unsigned Start, unsigned Count>
inline uint32_t field(const Words32 &b) {
    static_assert(Count <= 32 && Start + Count <= 128, "a field inside the block");
    constexpr uint32_t mask = Count == 32 ? 0xFFFFFFFFu : (uint32_t{1} << (Count % 32)) - 1;
    constexpr unsigned word = Start / 32, shift = Start % 32;
    if constexpr (Count == 0) return 0;
    else if constexpr (shift == 0) return b.w[word] & mask;
    else if constexpr (shift + Count <= 32) return (b.w[word] >> shift) & mask;
    else return ((b.w[word] >> shift) | (b.w[word + 1] << (32 - shift))) & mask;
}

// ---------------------------------------------------------------- BC7

// Where each field of mode M starts.
template <unsigned M>
struct Bc7Layout {
    static constexpr Bc7Mode mode = kBc7Modes[M];
    static constexpr unsigned subsets = mode.subsets;
    static constexpr unsigned endpoints = 2 * subsets;
    static constexpr unsigned partitionAt = M + 1;
    static constexpr unsigned rotationAt = partitionAt + mode.partitionBits;
    static constexpr unsigned selectionAt = rotationAt + mode.rotationBits;
    static constexpr unsigned colorAt = selectionAt + mode.selectionBits;
    static constexpr unsigned colorRun = endpoints * mode.colorBits;  // one channel of every endpoint
    static constexpr unsigned alphaAt = colorAt + 3 * colorRun;
    static constexpr unsigned alphaRun = endpoints * mode.alphaBits;
    static constexpr unsigned pBitAt = alphaAt + alphaRun;
    static constexpr unsigned pBitCount = mode.endpointPBits ? endpoints : mode.sharedPBits ? subsets : 0u;
    static constexpr unsigned pBitWidth = mode.endpointPBits + mode.sharedPBits;
    static constexpr unsigned indexAt = pBitAt + pBitCount;
    static constexpr unsigned secondaryAt = indexAt + 16 * mode.indexBits - subsets;
};

// ---------------------------------------------------------------- BC6H

// Where segment K of mode M starts: after the mode bits and the segments
// before it.
constexpr unsigned segmentAt(unsigned m, unsigned k) {
    unsigned at = kBc6hModes[m].modeBits;
    for (unsigned j = 0; j < k; ++j) at += ddsBc6hSegmentWidth(kBc6hModes[m].segments[j]);
    return at;
}

// The bits that segment K of mode M gives field F, in place (0 when the
// segment belongs to another field).
template <unsigned M, unsigned K, unsigned F, class Words>
inline uint32_t segmentBits(const Words &b) {
    constexpr Segment s = kBc6hModes[M].segments[K];
    constexpr unsigned at = segmentAt(M, K);
    if constexpr (static_cast<unsigned>(s.field) != F) {
        return 0;
    } else if constexpr (s.first >= s.last) {
        return field<at, s.first - s.last + 1u>(b) << s.last;
    } else {
        // Stored the other way round: the first bit read is bit `last`.
        const uint32_t stored = field<at, s.last - s.first + 1u>(b);
        uint32_t value = 0;
        for (unsigned j = 0; j <= s.last - s.first; ++j) value |= ((stored >> j) & 1) << (s.last - j);
        return value;
    }
}

template <unsigned M, unsigned F, class Words, size_t... K>
inline uint32_t bc6hField(const Words &b, std::index_sequence<K...>) {
    return (segmentBits<M, K, F>(b) | ... | 0u);
}

// Endpoint field F (R0 .. B3) of mode M, put together from its segments.
template <unsigned M, unsigned F, class Words>
inline uint32_t bc6hField(const Words &b) {
    return bc6hField<M, F>(b, std::make_index_sequence<kBc6hModes[M].segmentCount>());
}

// Where the partition number and the indices of mode M start.
template <unsigned M>
struct Bc6hLayout {
    static constexpr const Bc6hMode &mode = kBc6hModes[M];
    static constexpr unsigned regions = ddsBc6hRegions(mode);
    static constexpr unsigned indexBits = ddsBc6hIndexBits(mode);
    static constexpr unsigned partitionAt = segmentAt(M, mode.segmentCount);
    static constexpr unsigned indexAt = partitionAt + mode.partitionBits;
};

}  // namespace bptc

#endif
