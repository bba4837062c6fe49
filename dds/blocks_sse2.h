// SSE2 pieces of the block decoders that every vector implementation
// shares: the palette of a colour block as four RGBA words, the 16 alpha
// bytes of DXT3 and DXT5 blocks (and of BC4 and BC5 channel blocks), and
// BC4 and BC5 rows put together from their channels.  Only included where
// SSE2 is available; each piece gives exactly the bytes of the plain
// decoder.
#ifndef DDS_BLOCKS_SSE2_H
#define DDS_BLOCKS_SSE2_H

#include <emmintrin.h>

#include <cstdint>

#include "bytes.h"

namespace sse2blocks {

inline __m128i epi16(int a, int b, int c, int d) {
    return _mm_setr_epi16(static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d),
                          static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d));
}

// The four palette words of a colour block, R in the low byte of each: the
// 5:6:5 endpoints expanded in 16-bit lanes, divisions by 3 as
// multiplications that are exact for every sum that occurs.  Three-colour
// mode only where `alwaysFourColours` is false (DXT1).
inline __m128i palette(const uint8_t *colorBlock, bool alwaysFourColours) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    const __m128i both = _mm_cvtsi32_si128(static_cast<int>(color0 | color1 << 16));
    // color0 in lanes 0-3, color1 in lanes 4-7.
    const __m128i colors = _mm_unpacklo_epi64(_mm_shufflelo_epi16(both, 0x00), _mm_shufflelo_epi16(both, 0x55));
    const __m128i fields = _mm_and_si128(colors, epi16(0xF800, 0x07E0, 0x001F, 0));
    // Red >> 8 and green >> 3 as high halves of products, blue << 3 as a
    // low half; alpha 255.
    __m128i ends = _mm_or_si128(_mm_mulhi_epu16(fields, epi16(256, 8192, 0, 0)),
                                _mm_mullo_epi16(fields, epi16(0, 0, 8, 0)));
    ends = _mm_or_si128(ends, epi16(0, 0, 0, 255));  // [e0 | e1]
    const __m128i sum = _mm_add_epi16(_mm_unpacklo_epi64(ends, ends), _mm_unpackhi_epi64(ends, ends));
    // [2 e0 + e1 | e0 + 2 e1] / 3: x * 21846 >> 16 is x / 3 for x <= 765.
    const __m128i thirds = _mm_mulhi_epu16(_mm_add_epi16(sum, ends), _mm_set1_epi16(21846));
    // [(e0 + e1) / 2 | transparent cyan]
    const __m128i halfAndCyan = _mm_unpacklo_epi64(_mm_srli_epi16(sum, 1), epi16(0, 255, 255, 0));
    const __m128i fourColors = _mm_set1_epi16(color0 > color1 || alwaysFourColours ? -1 : 0);
    const __m128i inner = _mm_or_si128(_mm_and_si128(fourColors, thirds), _mm_andnot_si128(fourColors, halfAndCyan));
    return _mm_packus_epi16(ends, inner);
}

// Puts 16 alpha bytes (pixel order) into the fourth byte of the rows' words.
inline void mergeAlpha(__m128i rows[4], __m128i alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colors = _mm_set1_epi32(0x00FFFFFF);
    const __m128i low = _mm_unpacklo_epi8(zero, alpha);   // pixels 0-7, alpha in the high byte
    const __m128i high = _mm_unpackhi_epi8(zero, alpha);  // pixels 8-15
    const __m128i spread[4] = {_mm_unpacklo_epi16(zero, low), _mm_unpackhi_epi16(zero, low),
                               _mm_unpacklo_epi16(zero, high), _mm_unpackhi_epi16(zero, high)};
    for (int r = 0; r < 4; ++r) rows[r] = _mm_or_si128(_mm_and_si128(rows[r], colors), spread[r]);
}

// DXT3: the 4-bit values times 17, in pixel order.
inline __m128i explicitAlpha(const uint8_t *alphaBlock) {
    const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphaBlock));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i lowNibbles = _mm_and_si128(packed, nibble);
    const __m128i highNibbles = _mm_and_si128(_mm_srli_epi16(packed, 4), nibble);
    const __m128i values = _mm_unpacklo_epi8(lowNibbles, highNibbles);
    return _mm_or_si128(values, _mm_slli_epi16(values, 4));  // v * 17 = v | v << 4
}

// DXT5: the alpha of each of eight 3-bit indices in 16-bit lanes, computed
// from the index: a0 and a1 for 0 and 1, else ((d - i) a0 + (i - 1) a1)
// divided by d - 1 (7 when a0 > a1, else 5, with 0 and 255 for 6 and 7).
// The divisions are multiplications, exact for every sum that occurs.
inline __m128i alphaOfIndices(__m128i index, __m128i alpha0, __m128i alpha1, bool sevenSteps) {
    const __m128i one = _mm_set1_epi16(1);
    const __m128i weight0 = _mm_sub_epi16(_mm_set1_epi16(sevenSteps ? 8 : 6), index);
    const __m128i weight1 = _mm_sub_epi16(index, one);
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(weight0, alpha0), _mm_mullo_epi16(weight1, alpha1));
    __m128i alpha = _mm_mulhi_epu16(sum, _mm_set1_epi16(sevenSteps ? 9363 : 13108));
    auto select = [&alpha](__m128i where, __m128i value) {
        alpha = _mm_or_si128(_mm_and_si128(where, value), _mm_andnot_si128(where, alpha));
    };
    select(_mm_cmpeq_epi16(index, _mm_setzero_si128()), alpha0);
    select(_mm_cmpeq_epi16(index, one), alpha1);
    if (!sevenSteps) {
        select(_mm_cmpeq_epi16(index, _mm_set1_epi16(6)), _mm_setzero_si128());
        select(_mm_cmpeq_epi16(index, _mm_set1_epi16(7)), _mm_set1_epi16(255));
    }
    return alpha;
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

// DXT5: the 16 alpha bytes in pixel order, from the block's index bytes
// (2 to 7) and the endpoints a0 and a1.  BC4 and BC5 channel blocks pass
// their endpoints as mapped for the unsigned decoder.
inline __m128i interpolatedAlpha(const uint8_t *alphaBlock, uint32_t a0, uint32_t a1) {
    const __m128i alpha0 = _mm_set1_epi16(static_cast<short>(a0));
    const __m128i alpha1 = _mm_set1_epi16(static_cast<short>(a1));
    // The six index bytes, and each next to its successor.
    const __m128i bytes = _mm_srli_si128(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphaBlock)), 2);
    const __m128i pairs = _mm_unpacklo_epi8(bytes, _mm_srli_si128(bytes, 1));
    const __m128i first = indicesOf(pairs);                       // pixels 0-7
    const __m128i second = indicesOf(_mm_srli_si128(pairs, 6));   // pixels 8-15: bytes 3-5
    const bool sevenSteps = a0 > a1;
    return _mm_packus_epi16(alphaOfIndices(first, alpha0, alpha1, sevenSteps),
                            alphaOfIndices(second, alpha0, alpha1, sevenSteps));
}

// DXT5 with the endpoints of the block, bytes 0 and 1.
inline __m128i interpolatedAlpha(const uint8_t *alphaBlock) {
    return interpolatedAlpha(alphaBlock, alphaBlock[0], alphaBlock[1]);
}

// The four rows of a block as RGBA words, alpha 255, from its red, green
// and blue bytes in pixel order (row r is pixels 4r to 4r + 3).
inline void rgbaRows(__m128i red, __m128i green, __m128i blue, __m128i rows[4]) {
    const __m128i opaque = _mm_set1_epi8(-1);
    const __m128i redGreenLow = _mm_unpacklo_epi8(red, green), redGreenHigh = _mm_unpackhi_epi8(red, green);
    const __m128i blueAlphaLow = _mm_unpacklo_epi8(blue, opaque), blueAlphaHigh = _mm_unpackhi_epi8(blue, opaque);
    rows[0] = _mm_unpacklo_epi16(redGreenLow, blueAlphaLow);
    rows[1] = _mm_unpackhi_epi16(redGreenLow, blueAlphaLow);
    rows[2] = _mm_unpacklo_epi16(redGreenHigh, blueAlphaHigh);
    rows[3] = _mm_unpackhi_epi16(redGreenHigh, blueAlphaHigh);
}

// The 16 blue bytes of normals from their red and green bytes (pixel
// order), looked up in `zTable` (ddsNormalZTable: index r | g << 8).
inline __m128i normalBlue(__m128i red, __m128i green, const uint8_t *zTable) {
    alignas(16) uint16_t pairs[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(pairs), _mm_unpacklo_epi8(red, green));
    _mm_store_si128(reinterpret_cast<__m128i *>(pairs + 8), _mm_unpackhi_epi8(red, green));
    auto two = [&](int k) {
        return static_cast<short>(zTable[pairs[2 * k]] | zTable[pairs[2 * k + 1]] << 8);
    };
    return _mm_setr_epi16(two(0), two(1), two(2), two(3), two(4), two(5), two(6), two(7));
}

}  // namespace sse2blocks

#endif
