// SSE2 piece of the BC4 and BC5 kernels: the blue of normals.  Only
// included where SSE2 is available.
#ifndef DDS_BC4_5_ROWS_SSE2_H
#define DDS_BC4_5_ROWS_SSE2_H

#include <emmintrin.h>

#include <cstdint>

namespace bc45sse2 {

// The 16 blue bytes of normals from their red and green bytes (pixel
// order), looked up in `zTable` (ddsNormalZTable: index r | g << 8).
inline __m128i normalBlue(__m128i red, __m128i green, const uint8_t *zTable) {
    alignas(16) uint16_t pairs[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(pairs), _mm_unpacklo_epi8(red, green));
    _mm_store_si128(reinterpret_cast<__m128i *>(pairs + 8), _mm_unpackhi_epi8(red, green));
    auto two = [&](int k) { return static_cast<short>(zTable[pairs[2 * k]] | zTable[pairs[2 * k + 1]] << 8); };
    return _mm_setr_epi16(two(0), two(1), two(2), two(3), two(4), two(5), two(6), two(7));
}

}  // namespace bc45sse2

#endif
