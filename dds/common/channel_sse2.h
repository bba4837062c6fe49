// The eight-value channel block (common/channel.h) with SSE2: its sixteen
// values in pixel order, computed from each pixel's index.  DXT5's alpha,
// BC4 and BC5 use it.  Only included where SSE2 is available.
#ifndef DDS_COMMON_CHANNEL_SSE2_H
#define DDS_COMMON_CHANNEL_SSE2_H

#include <emmintrin.h>

#include <cstdint>

#include "common/channel.h"

namespace channelsse2 {

// The value of each of eight 3-bit indices in 16-bit lanes: e0 and e1 for
// 0 and 1, else ((d + 1 - i) e0 + (i - 1) e1) / d (d = 7 when e0 > e1,
// else 5, with 0 and 255 for 6 and 7), the division a multiplication.
inline __m128i valuesOfIndices(__m128i index, __m128i e0, __m128i e1, bool sevenSteps) {
    const __m128i one = _mm_set1_epi16(1);
    const __m128i weight0 = _mm_sub_epi16(_mm_set1_epi16(sevenSteps ? 8 : 6), index);
    const __m128i weight1 = _mm_sub_epi16(index, one);
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(weight0, e0), _mm_mullo_epi16(weight1, e1));
    const int reciprocal = sevenSteps ? ddsChannelReciprocal7 : ddsChannelReciprocal5;
    __m128i value = _mm_mulhi_epu16(sum, _mm_set1_epi16(static_cast<short>(reciprocal)));
    auto select = [&value](__m128i where, __m128i chosen) {
        value = _mm_or_si128(_mm_and_si128(where, chosen), _mm_andnot_si128(where, value));
    };
    select(_mm_cmpeq_epi16(index, _mm_setzero_si128()), e0);
    select(_mm_cmpeq_epi16(index, one), e1);
    if (!sevenSteps) {
        select(_mm_cmpeq_epi16(index, _mm_set1_epi16(6)), _mm_setzero_si128());
        select(_mm_cmpeq_epi16(index, _mm_set1_epi16(7)), _mm_set1_epi16(255));
    }
    return value;
}

// Eight 3-bit indices from 24 bits in `pairs` (16-bit lanes holding bytes
// m and m + 1 of the indices, m = 0..7): index k sits at bit 3k, inside
// the pair that starts at byte 3k / 8.
inline __m128i indicesOf(__m128i pairs) {
    // Lanes [pair 0, 0, 0, 1, 1, 1, 2, 2].
    const __m128i lowTwice = _mm_unpacklo_epi64(pairs, pairs);
    const __m128i windows = _mm_shufflehi_epi16(_mm_shufflelo_epi16(lowTwice, 0x40), 0xA5);
    // Shift index k to the top three bits (a multiplication by 2^(13 - 3k % 8)), then down.
    const __m128i toTop = _mm_setr_epi16(1 << 13, 1 << 10, 1 << 7, 1 << 12, 1 << 9, 1 << 6, 1 << 11, 1 << 8);
    return _mm_srli_epi16(_mm_mullo_epi16(windows, toTop), 13);
}

// The 16 values of a channel block in pixel order, from its index bytes
// (2 to 7) and the endpoints e0 and e1 as the table takes them (BC4 and
// BC5 map signed endpoints first).
inline __m128i channelBytes(const uint8_t *channelBlock, uint32_t e0, uint32_t e1) {
    const __m128i endpoint0 = _mm_set1_epi16(static_cast<short>(e0));
    const __m128i endpoint1 = _mm_set1_epi16(static_cast<short>(e1));
    // The six index bytes, and each next to its successor.
    const __m128i bytes = _mm_srli_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(channelBlock)), 2);
    const __m128i pairs = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 1));
    const __m128i first = indicesOf(pairs);                      // pixels 0-7
    const __m128i second = indicesOf(_mm_srli_si128(pairs, 6));  // pixels 8-15: bytes 3-5
    const bool sevenSteps = e0 > e1;
    return _mm_packus_epi16(valuesOfIndices(first, endpoint0, endpoint1, sevenSteps),
                            valuesOfIndices(second, endpoint0, endpoint1, sevenSteps));
}

}  // namespace channelsse2

#endif
