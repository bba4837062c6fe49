// ddsDecodeBlockRow: the block decoders of blocks.cpp rewritten for speed,
// with the same output byte for byte.  A block's palette is built as four
// 32-bit RGBA words (R in the low byte), each pixel row of the block is
// written straight to its destination row as four words, or packed to
// three 32-bit words for three-byte pixels, with no 64-byte block in
// between.  DXT3 and DXT5 alpha is merged into the words before they are
// stored.

#include <cstdint>
#include <cstring>

#include "blocks.h"
#include "bytes.h"
#include "fast_paths.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
constexpr bool WordsAreRgba = false;  // the words' byte order would not be R, G, B, A
#else
constexpr bool WordsAreRgba = true;
#endif

constexpr uint32_t ColorBits = 0x00FFFFFF;

inline void store32(uint8_t *destination, uint32_t value) { std::memcpy(destination, &value, 4); }

inline uint32_t rgbaWord(uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return r | g << 8 | b << 16 | a << 24;
}

// The palette of ddsDecodeColorPalette as words.
inline void colorPalette(const uint8_t *colorBlock, uint32_t palette[4]) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    const uint32_t r0 = ((color0 >> 11) & 0x1F) << 3, g0 = ((color0 >> 5) & 0x3F) << 2, b0 = (color0 & 0x1F) << 3;
    const uint32_t r1 = ((color1 >> 11) & 0x1F) << 3, g1 = ((color1 >> 5) & 0x3F) << 2, b1 = (color1 & 0x1F) << 3;
    palette[0] = rgbaWord(r0, g0, b0, 255);
    palette[1] = rgbaWord(r1, g1, b1, 255);
    if (color0 > color1) {
        palette[2] = rgbaWord((2 * r0 + r1) / 3, (2 * g0 + g1) / 3, (2 * b0 + b1) / 3, 255);
        palette[3] = rgbaWord((r0 + 2 * r1) / 3, (g0 + 2 * g1) / 3, (b0 + 2 * b1) / 3, 255);
    } else {
        palette[2] = rgbaWord((r0 + r1) / 2, (g0 + g1) / 2, (b0 + b1) / 2, 255);
        palette[3] = rgbaWord(0, 255, 255, 0);
    }
}

// Four pixels of one row of a block, at 4 or 3 bytes a pixel.
template <int BytesPerPixel>
inline void putPixels(uint8_t *destination, uint32_t p0, uint32_t p1, uint32_t p2, uint32_t p3) {
    if (BytesPerPixel == 4) {
        const uint32_t words[4] = {p0, p1, p2, p3};
        std::memcpy(destination, words, sizeof words);
    } else {
        store32(destination, (p0 & ColorBits) | p1 << 24);
        store32(destination + 4, ((p1 >> 8) & 0xFFFF) | p2 << 16);
        store32(destination + 8, ((p2 >> 16) & 0xFF) | p3 << 8);
    }
}

// The eight DXT5 alpha values, shifted to the alpha byte of a word.
inline void alphaWords(uint32_t alpha0, uint32_t alpha1, uint32_t words[8]) {
    words[0] = alpha0 << 24;
    words[1] = alpha1 << 24;
    if (alpha0 > alpha1) {
        for (uint32_t i = 1; i <= 6; ++i) words[1 + i] = ((7 - i) * alpha0 + i * alpha1) / 7 << 24;
    } else {
        for (uint32_t i = 1; i <= 4; ++i) words[1 + i] = ((5 - i) * alpha0 + i * alpha1) / 5 << 24;
        words[6] = 0;
        words[7] = 255u << 24;
    }
}

template <BlockFormat Format, int BytesPerPixel>
void decodeRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr size_t BlockBytes = Format == Dxt1 ? 8 : 16;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    // Alpha is only merged where it is stored.
    constexpr bool MergeAlpha = Format != Dxt1 && BytesPerPixel == 4;
    uint8_t *const row0 = rows[0];
    uint8_t *const row1 = rows[1];
    uint8_t *const row2 = rows[2];
    uint8_t *const row3 = rows[3];
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        const uint8_t *colorBlock = Format == Dxt1 ? block : block + 8;
        uint32_t palette[4];
        colorPalette(colorBlock, palette);
        const size_t column = b * BlockWidthBytes;
        uint8_t *const destinations[4] = {row0 + column, row1 + column, row2 + column, row3 + column};

        uint32_t alpha[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        uint64_t alphaIndices = 0;
        if (MergeAlpha && Format == Dxt5) {
            alphaWords(block[0], block[1], alpha);
            alphaIndices = ddsLoad24(block + 2) | static_cast<uint64_t>(ddsLoad24(block + 5)) << 24;
        }
        for (int r = 0; r < 4; ++r) {
            const uint32_t indices = colorBlock[4 + r];
            uint32_t p0 = palette[indices & 3];
            uint32_t p1 = palette[(indices >> 2) & 3];
            uint32_t p2 = palette[(indices >> 4) & 3];
            uint32_t p3 = palette[indices >> 6];
            if (MergeAlpha && Format == Dxt3) {
                const uint32_t explicitAlpha = ddsLoad16(block + 2 * r);
                p0 = (p0 & ColorBits) | (explicitAlpha & 0xF) * 17 << 24;
                p1 = (p1 & ColorBits) | ((explicitAlpha >> 4) & 0xF) * 17 << 24;
                p2 = (p2 & ColorBits) | ((explicitAlpha >> 8) & 0xF) * 17 << 24;
                p3 = (p3 & ColorBits) | (explicitAlpha >> 12) * 17 << 24;
            }
            if (MergeAlpha && Format == Dxt5) {
                const uint32_t rowIndices = static_cast<uint32_t>(alphaIndices >> (12 * r));
                p0 = (p0 & ColorBits) | alpha[rowIndices & 7];
                p1 = (p1 & ColorBits) | alpha[(rowIndices >> 3) & 7];
                p2 = (p2 & ColorBits) | alpha[(rowIndices >> 6) & 7];
                p3 = (p3 & ColorBits) | alpha[(rowIndices >> 9) & 7];
            }
            putPixels<BytesPerPixel>(destinations[r], p0, p1, p2, p3);
        }
    }
}

#if defined(__SSE2__)

// The same with SSE2: the palette is built in 16-bit lanes (divisions by 3
// as multiplications that are exact for every sum that occurs).  Its
// rows of four-byte pixels are put together from a table of the 16 pixel
// pairs, two 8-byte loads a row; DXT3 and DXT5 ones get their alpha bytes
// (DXT5's computed from the indices in 16-bit lanes) spread into the
// words' fourth bytes; they are stored 16 bytes at a time.  Rows of
// three-byte pixels are looked up word by word from the SSE2 palette.
namespace sse2 {

inline __m128i epi16(int a, int b, int c, int d) {
    return _mm_setr_epi16(static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d),
                          static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d));
}

// The four palette words of a colour block.
inline __m128i palette(const uint8_t *colorBlock) {
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
    const __m128i fourColors = _mm_set1_epi16(color0 > color1 ? -1 : 0);
    const __m128i inner = _mm_or_si128(_mm_and_si128(fourColors, thirds), _mm_andnot_si128(fourColors, halfAndCyan));
    return _mm_packus_epi16(ends, inner);
}

// The four rows of a block's colours as RGBA words, from a table of the
// 16 pixel pairs: entry 4 j + i holds palette words i and j, so that each
// half of a row is one 8-byte load at its four index bits.
inline void colorRowsByPairs(const uint8_t *colorBlock, __m128i rows[4]) {
    const __m128i words = palette(colorBlock);
    alignas(16) uint32_t pairs[32];
    // The shuffle's selector must be a constant: one broadcast per word.
    const __m128i seconds[4] = {_mm_shuffle_epi32(words, 0x00), _mm_shuffle_epi32(words, 0x55),
                                _mm_shuffle_epi32(words, 0xAA), _mm_shuffle_epi32(words, 0xFF)};
    for (int j = 0; j < 4; ++j) {
        _mm_store_si128(reinterpret_cast<__m128i *>(pairs + 8 * j), _mm_unpacklo_epi32(words, seconds[j]));
        _mm_store_si128(reinterpret_cast<__m128i *>(pairs + 8 * j + 4), _mm_unpackhi_epi32(words, seconds[j]));
    }
    for (int r = 0; r < 4; ++r) {
        const uint32_t indices = colorBlock[4 + r];
        const __m128i low = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(pairs + 2 * (indices & 15)));
        const __m128i high = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(pairs + 2 * (indices >> 4)));
        rows[r] = _mm_unpacklo_epi64(low, high);
    }
}

// Puts 16 alpha bytes (pixel order) into the fourth byte of the rows' words.
inline void mergeAlpha(__m128i rows[4], __m128i alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colors = _mm_set1_epi32(static_cast<int>(ColorBits));
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

// DXT5: the 16 alpha bytes in pixel order.
inline __m128i interpolatedAlpha(const uint8_t *alphaBlock) {
    const uint32_t a0 = alphaBlock[0], a1 = alphaBlock[1];
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

template <BlockFormat Format, int BytesPerPixel>
void decodeRowSse2(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr size_t BlockBytes = Format == Dxt1 ? 8 : 16;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    constexpr bool MergeAlpha = Format != Dxt1 && BytesPerPixel == 4;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        const size_t column = b * BlockWidthBytes;
        if (BytesPerPixel == 3) {
            // Packing to three bytes is cheaper from words looked up in
            // general registers (a table of packed pixel pairs measured
            // slower): the palette comes from SSE2, the rows from the words.
            const uint8_t *colorBlock = Format == Dxt1 ? block : block + 8;
            uint32_t words[4];
            _mm_storeu_si128(reinterpret_cast<__m128i *>(words), palette(colorBlock));
            for (int r = 0; r < 4; ++r) {
                const uint32_t indices = colorBlock[4 + r];
                putPixels<3>(rows[r] + column, words[indices & 3], words[(indices >> 2) & 3],
                             words[(indices >> 4) & 3], words[indices >> 6]);
            }
            continue;
        }
        __m128i pixels[4];
        colorRowsByPairs(Format == Dxt1 ? block : block + 8, pixels);
        if (MergeAlpha) mergeAlpha(pixels, Format == Dxt3 ? explicitAlpha(block) : interpolatedAlpha(block));
        for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
    }
}

}  // namespace sse2

#endif  // __SSE2__

}  // namespace

void ddsDecodeBlockRowWords(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                            uint8_t *const rows[4], int bytesPerPixel) {
    if (WordsAreRgba && bytesPerPixel == 4) {
        switch (format) {
            case Dxt1: decodeRow<Dxt1, 4>(blocks, blockCount, rows); return;
            case Dxt3: decodeRow<Dxt3, 4>(blocks, blockCount, rows); return;
            case Dxt5: decodeRow<Dxt5, 4>(blocks, blockCount, rows); return;
            default: break;
        }
    } else if (WordsAreRgba && bytesPerPixel == 3) {
        switch (format) {
            // Without alpha, DXT3 and DXT5 are their colour blocks.
            case Dxt1: decodeRow<Dxt1, 3>(blocks, blockCount, rows); return;
            case Dxt3: decodeRow<Dxt3, 3>(blocks, blockCount, rows); return;
            case Dxt5: decodeRow<Dxt5, 3>(blocks, blockCount, rows); return;
            default: break;
        }
    }
    ddsDecodeBlockRowScalar(format, blocks, blockCount, rows, bytesPerPixel);
}

bool ddsDecodeBlockRowSse2(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                           uint8_t *const rows[4], int bytesPerPixel) {
#if defined(__SSE2__)
    if (bytesPerPixel == 4) {
        switch (format) {
            case Dxt1: sse2::decodeRowSse2<Dxt1, 4>(blocks, blockCount, rows); return true;
            case Dxt3: sse2::decodeRowSse2<Dxt3, 4>(blocks, blockCount, rows); return true;
            case Dxt5: sse2::decodeRowSse2<Dxt5, 4>(blocks, blockCount, rows); return true;
            default: break;
        }
    } else if (bytesPerPixel == 3) {
        switch (format) {
            case Dxt1: sse2::decodeRowSse2<Dxt1, 3>(blocks, blockCount, rows); return true;
            case Dxt3: sse2::decodeRowSse2<Dxt3, 3>(blocks, blockCount, rows); return true;
            case Dxt5: sse2::decodeRowSse2<Dxt5, 3>(blocks, blockCount, rows); return true;
            default: break;
        }
    }
#else
    (void)format, (void)blocks, (void)blockCount, (void)rows, (void)bytesPerPixel;
#endif
    return false;
}

void ddsDecodeBlockRow(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                       uint8_t *const rows[4], int bytesPerPixel) {
    if (ddsDecodeBlockRowSse2(format, blocks, blockCount, rows, bytesPerPixel)) return;
    ddsDecodeBlockRowWords(format, blocks, blockCount, rows, bytesPerPixel);
}
