// Rows of a block whose pixels pick one of four RGBA words by 2-bit indices
// (BC1-BC3 and ATC colour blocks: byte 4 + r holds row r, pixel p at bits
// 2p and 2p + 1), with SSSE3: each row is one byte shuffle of the four
// words, by a control looked up from the row's index byte.  Only included
// where SSSE3 is compiled.
#ifndef DDS_COMMON_INDEX_ROWS_SSSE3_H
#define DDS_COMMON_INDEX_ROWS_SSSE3_H

#include <tmmintrin.h>

#include <cstddef>
#include <cstdint>

#include "common/rows_sse2.h"
#include "common/simd.h"

// Shuffle controls by the row's index byte v.  Four-byte pixels: byte
// 4p + c is byte c of palette word (v >> 2p) & 3.  Three-byte pixels: byte
// 3p + c, c < 3, is; bytes 12 to 15 are zero.
struct IndexRowControls {
    uint8_t bytes[256][16];
};

constexpr IndexRowControls ddsIndexRowControls(int bytesPerPixel) {
    IndexRowControls controls{};
    for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 16; ++i) controls.bytes[v][i] = 0x80;
        for (int p = 0; p < 4; ++p) {
            for (int c = 0; c < bytesPerPixel; ++c) {
                controls.bytes[v][bytesPerPixel * p + c] = static_cast<uint8_t>(4 * ((v >> (2 * p)) & 3) + c);
            }
        }
    }
    return controls;
}

alignas(16) inline constexpr IndexRowControls ddsRgbaIndexRows = ddsIndexRowControls(4);
alignas(16) inline constexpr IndexRowControls ddsRgbIndexRows = ddsIndexRowControls(3);

// The controls of rows of `BytesPerPixel`-byte pixels.
template <int BytesPerPixel>
constexpr const IndexRowControls &ddsIndexRows() {
    return BytesPerPixel == 4 ? ddsRgbaIndexRows : ddsRgbIndexRows;
}

// The row of four palette words `words` that the index byte `indices` picks.
DDS_TARGET_SSSE3 inline __m128i ddsIndexRow(__m128i words, const IndexRowControls &controls, uint8_t indices) {
    return _mm_shuffle_epi8(words, _mm_load_si128(reinterpret_cast<const __m128i *>(controls.bytes[indices])));
}

// The alpha bytes of row r (pixels 4r to 4r + 3 of `alpha`, sixteen bytes
// in pixel order) moved to the fourth byte of each word, zeros elsewhere.
DDS_TARGET_SSSE3 inline __m128i ddsAlphaOfRow(__m128i alpha, int r) {
    const char z = -128;
    const char p = static_cast<char>(4 * r);
    return _mm_shuffle_epi8(alpha, _mm_setr_epi8(z, z, z, p, z, z, z, static_cast<char>(p + 1), z, z, z,
                                                 static_cast<char>(p + 2), z, z, z, static_cast<char>(p + 3)));
}

// A block's four rows from its four palette words, row r by index byte
// indices[r], stored as ddsStoreBlockRows stores them.  `MergeAlpha`: the
// words' fourth bytes give way to `alpha` (sixteen bytes in pixel order).
template <int BytesPerPixel, bool MergeAlpha>
DDS_TARGET_SSSE3 inline void ddsStoreIndexRows(__m128i words, __m128i alpha, const uint8_t *indices,
                                               uint8_t *const *rows, size_t column, bool last) {
    if (MergeAlpha) words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
    __m128i row[4];
    for (int r = 0; r < 4; ++r) {
        row[r] = ddsIndexRow(words, ddsIndexRows<BytesPerPixel>(), indices[r]);
        if (MergeAlpha) row[r] = _mm_or_si128(row[r], ddsAlphaOfRow(alpha, r));
    }
    ddsStoreBlockRows<BytesPerPixel>(row, rows, column, last);
}

#endif
