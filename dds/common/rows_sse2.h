// Loading a table, and making and storing the rows of a block as RGBA
// words or RGB bytes, with SSE2.  Only included where SSE2 is available.
#ifndef DDS_COMMON_ROWS_SSE2_H
#define DDS_COMMON_ROWS_SSE2_H

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "common/rows.h"

// Sixteen bytes of a table aligned to 16 bytes.
inline __m128i ddsLoad128(const void *aligned) { return _mm_load_si128(static_cast<const __m128i *>(aligned)); }

// The byte shuffle (SSSE3) of four RGBA words to their twelve R, G, B
// bytes, zeros after.
alignas(16) inline constexpr uint8_t ddsPackRgbControl[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14,
                                                              0x80, 0x80, 0x80, 0x80};

// Four RGBA words to their twelve R, G, B bytes, zeros after: in each
// 64-bit half, the second word's colour moves down a byte to follow the
// first's; then the upper half's six bytes move down to follow the lower's.
inline __m128i ddsPackRgb(__m128i words) {
    const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i second =
        _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF, static_cast<int>(0xFF000000u));
    const __m128i halves = _mm_or_si128(_mm_and_si128(words, first), _mm_and_si128(_mm_srli_epi64(words, 8), second));
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

// Stores the twelve bytes of a packed row: all 16 bytes of the register
// where the next block's row follows and overwrites the last four, exactly
// twelve for the last block of a row.
inline void ddsStoreRgbRow(uint8_t *destination, __m128i packed, bool last) {
    if (!last) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), packed);
        return;
    }
    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), packed);
    ddsStore32(destination + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(packed, 8))));
}

// The four rows of a block as RGBA words from its red, green, blue and
// alpha bytes in pixel order (row r is pixels 4r to 4r + 3).
inline void ddsRowsOfPlanes(__m128i red, __m128i green, __m128i blue, __m128i alpha, __m128i rows[4]) {
    const __m128i redGreenLow = _mm_unpacklo_epi8(red, green), redGreenHigh = _mm_unpackhi_epi8(red, green);
    const __m128i blueAlphaLow = _mm_unpacklo_epi8(blue, alpha), blueAlphaHigh = _mm_unpackhi_epi8(blue, alpha);
    rows[0] = _mm_unpacklo_epi16(redGreenLow, blueAlphaLow);
    rows[1] = _mm_unpackhi_epi16(redGreenLow, blueAlphaLow);
    rows[2] = _mm_unpacklo_epi16(redGreenHigh, blueAlphaHigh);
    rows[3] = _mm_unpackhi_epi16(redGreenHigh, blueAlphaHigh);
}

// Stores four pixels: the register's sixteen bytes of RGBA words, or its
// twelve packed R, G, B bytes as ddsStoreRgbRow stores them.
template <int BytesPerPixel>
inline void ddsStoreRow(uint8_t *destination, __m128i row, bool last) {
    if (BytesPerPixel == 4) _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), row);
    else ddsStoreRgbRow(destination, row, last);
}

// Stores a block's four rows at byte `column` of the image's rows.
template <int BytesPerPixel>
inline void ddsStoreBlockRows(const __m128i row[4], uint8_t *const *rows, size_t column, bool last) {
    for (int r = 0; r < 4; ++r) ddsStoreRow<BytesPerPixel>(rows[r] + column, row[r], last);
}

#endif
