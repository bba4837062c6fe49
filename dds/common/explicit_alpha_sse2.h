// The explicit alpha block of DXT2, DXT3 and ATC's explicit-alpha format
// with SSE2: sixteen 4-bit values (pixel i in byte i / 2, the low nibble
// first), each times 17.  Only included where SSE2 is available.
#ifndef DDS_COMMON_EXPLICIT_ALPHA_SSE2_H
#define DDS_COMMON_EXPLICIT_ALPHA_SSE2_H

#include <emmintrin.h>

#include <cstdint>

// The sixteen alpha bytes, in pixel order.
inline __m128i ddsExplicitAlphaSse2(const uint8_t *alphaBlock) {
    const __m128i packed = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphaBlock));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i lowNibbles = _mm_and_si128(packed, nibble);
    const __m128i highNibbles = _mm_and_si128(_mm_srli_epi16(packed, 4), nibble);
    const __m128i values = _mm_unpacklo_epi8(lowNibbles, highNibbles);
    return _mm_or_si128(values, _mm_slli_epi16(values, 4));  // v * 17 = v | v << 4
}

#endif
