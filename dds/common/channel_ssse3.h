// The eight-value channel block (common/channel.h) with SSSE3: the table's
// eight values from one multiply-add of the endpoint bytes, and the
// sixteen indices as bytes, so that one byte shuffle looks the values up.
// DXT5's alpha, BC4 and BC5 use it.  Only included where SSSE3 is compiled.
#ifndef DDS_COMMON_CHANNEL_SSSE3_H
#define DDS_COMMON_CHANNEL_SSSE3_H

#include <tmmintrin.h>

#include <cstdint>

#include "common/channel.h"
#include "common/simd.h"

namespace channelssse3 {

// The weights (w0, w1) of each value as byte pairs, the divisor's
// reciprocal and the fixed values of one mode: value k is
// (w0 e0 + w1 e1) * reciprocal >> 16, or'ed with fixed[k].  The weights of
// values 0 and 1 are (d, 0) and (0, d), which give the endpoints back.
struct ChannelMode {
    alignas(16) int8_t weights[16];
    alignas(16) int16_t reciprocal[8];
    alignas(16) int16_t fixed[8];
};

constexpr ChannelMode channelMode(bool sevenSteps) {
    ChannelMode mode{};
    const int d = sevenSteps ? 7 : 5;
    for (int k = 0; k < 8; ++k) {
        int w0 = k == 0 ? d : k == 1 ? 0 : d + 1 - k;
        int w1 = k == 0 ? 0 : k == 1 ? d : k - 1;
        if (!sevenSteps && k >= 6) w0 = w1 = 0;
        mode.weights[2 * k] = static_cast<int8_t>(w0);
        mode.weights[2 * k + 1] = static_cast<int8_t>(w1);
        mode.reciprocal[k] = static_cast<int16_t>(sevenSteps ? ddsChannelReciprocal7 : ddsChannelReciprocal5);
        mode.fixed[k] = static_cast<int16_t>(!sevenSteps && k == 7 ? 255 : 0);
    }
    return mode;
}

// [e0 <= e1, e0 > e1]
alignas(16) constexpr ChannelMode ChannelModes[2] = {channelMode(false), channelMode(true)};

constexpr bool modesMatchTheRule() {
    for (int seven = 0; seven < 2; ++seven) {
        const ChannelMode &m = ChannelModes[seven];
        const uint32_t e0 = seven ? 200 : 100, e1 = seven ? 100 : 200;
        for (int k = 0; k < 8; ++k) {
            const uint32_t sum = static_cast<uint32_t>(m.weights[2 * k]) * e0 + static_cast<uint32_t>(m.weights[2 * k + 1]) * e1;
            const uint32_t value = ((sum * static_cast<uint16_t>(m.reciprocal[k])) >> 16) | static_cast<uint32_t>(m.fixed[k]);
            if (value != ddsChannelValue(e0, e1, static_cast<uint32_t>(k))) return false;
        }
    }
    return true;
}
static_assert(modesMatchTheRule(), "the weights are the rule's");

// The eight values in 16-bit lanes, from (e0, e1) byte pairs in every lane.
DDS_TARGET_SSSE3 inline __m128i channelValues(__m128i endpointPairs, bool sevenSteps) {
    const ChannelMode &mode = ChannelModes[sevenSteps ? 1 : 0];
    const __m128i weights = _mm_load_si128(reinterpret_cast<const __m128i *>(mode.weights));
    // At most 7 * 255: the signed 16-bit sums do not saturate.
    const __m128i sum = _mm_maddubs_epi16(endpointPairs, weights);
    return _mm_or_si128(_mm_mulhi_epu16(sum, _mm_load_si128(reinterpret_cast<const __m128i *>(mode.reciprocal))),
                        _mm_load_si128(reinterpret_cast<const __m128i *>(mode.fixed)));
}

// The sixteen 3-bit indices of a channel block (bits 16 to 63) as bytes in
// pixel order.  Index k lies in the 16-bit window that starts at byte
// 2 + 3k / 8, at bit 3k % 8; a multiplication moves it to the window's top
// three bits.
DDS_TARGET_SSSE3 inline __m128i channelIndices(const uint8_t *channelBlock) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(channelBlock));
    const __m128i first = _mm_shuffle_epi8(bytes, _mm_setr_epi8(2, 3, 2, 3, 2, 3, 3, 4, 3, 4, 3, 4, 4, 5, 4, 5));
    // Indices 14 and 15 lie wholly in byte 7, the last one.
    const __m128i second = _mm_shuffle_epi8(bytes, _mm_setr_epi8(5, 6, 5, 6, 5, 6, 6, 7, 6, 7, 6, 7, 7, -128, 7, -128));
    const __m128i toTop = _mm_setr_epi16(1 << 13, 1 << 10, 1 << 7, 1 << 12, 1 << 9, 1 << 6, 1 << 11, 1 << 8);
    return _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(first, toTop), 13),
                            _mm_srli_epi16(_mm_mullo_epi16(second, toTop), 13));
}

// DXT5's alpha: its sixteen bytes in pixel order, from endpoints as stored.
DDS_TARGET_SSSE3 inline __m128i channelBytes(const uint8_t *channelBlock) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(channelBlock));
    const __m128i values = channelValues(_mm_shuffle_epi8(bytes, _mm_set1_epi16(0x0100)), channelBlock[0] > channelBlock[1]);
    return _mm_shuffle_epi8(_mm_packus_epi16(values, values), channelIndices(channelBlock));
}

}  // namespace channelssse3

#endif
