// Storing decoded pixels into the rows of a block kernel: RGBA words (R in
// the low byte) written as four bytes a pixel, or packed to three.
#ifndef DDS_COMMON_ROWS_H
#define DDS_COMMON_ROWS_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
constexpr bool ddsWordsAreRgba = false;  // a word's bytes in memory would not be R, G, B, A
#else
constexpr bool ddsWordsAreRgba = true;
#endif

inline void ddsStore32(uint8_t *destination, uint32_t value) { std::memcpy(destination, &value, 4); }

inline uint32_t ddsRgbaWord(uint32_t r, uint32_t g, uint32_t b, uint32_t a) { return r | g << 8 | b << 16 | a << 24; }

// Four pixels of one row of a block, at 4 or 3 bytes a pixel: 16 or 12 bytes.
template <int BytesPerPixel>
inline void ddsPutPixels(uint8_t *destination, uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3) {
    if constexpr (BytesPerPixel == 4) {
        const uint32_t words[4] = {p0, p1, p2, p3};
        std::memcpy(destination, words, sizeof words);
    } else {
        ddsStore32(destination, (p0 & 0x00FFFFFFu) | p1 << 24);
        ddsStore32(destination + 4, ((p1 >> 8) & 0xFFFFu) | p2 << 16);
        ddsStore32(destination + 8, ((p2 >> 16) & 0xFFu) | p3 << 8);
    }
}

// The 16 pixels of a 4 x 4 block, row by row, at column byte `column` of
// the rows.
template <int BytesPerPixel>
inline void ddsPutBlock(uint8_t *const *rows, size_t column, const uint32_t pixels[16]) {
    for (unsigned r = 0; r < 4; ++r) {
        const uint32_t *p = pixels + 4 * r;
        ddsPutPixels<BytesPerPixel>(rows[r] + column, p[0], p[1], p[2], p[3]);
    }
}

#endif
