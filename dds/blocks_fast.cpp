// ddsDecodeBlockRow: the block decoders of blocks.cpp rewritten for speed,
// with the same output byte for byte.  A block's palette is built as four
// 32-bit RGBA words (R in the low byte), each pixel row of the block is
// written straight to its destination row as four words, or packed to
// three 32-bit words for three-byte pixels, with no 64-byte block in
// between.  DXT3 and DXT5 alpha is merged into the words before they are
// stored.  BC4 and BC5 look each pixel's channels up in per-block tables of
// words that hold each value in its own bytes, and OR them together.

#include <cstdint>
#include <cstring>

#include "blocks.h"
#include "bytes.h"
#include "fast_paths.h"
#include "rgtc.h"
#include "simd.h"

#if defined(DDS_HAVE_SSE2)
#include "blocks_sse2.h"
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
inline void colorPalette(const uint8_t *colorBlock, bool alwaysFourColours, uint32_t palette[4]) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    const uint32_t r0 = ((color0 >> 11) & 0x1F) << 3, g0 = ((color0 >> 5) & 0x3F) << 2, b0 = (color0 & 0x1F) << 3;
    const uint32_t r1 = ((color1 >> 11) & 0x1F) << 3, g1 = ((color1 >> 5) & 0x3F) << 2, b1 = (color1 & 0x1F) << 3;
    palette[0] = rgbaWord(r0, g0, b0, 255);
    palette[1] = rgbaWord(r1, g1, b1, 255);
    if (color0 > color1 || alwaysFourColours) {
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
        colorPalette(colorBlock, Format != Dxt1, palette);
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

// The eight values of a BC4/BC5 channel block (as ddsInterpolatedAlphaTable
// gives them for its mapped endpoints), each times `spread` plus `fixed`:
// the value placed in the bytes of a word that it fills.
inline void channelWords(const uint8_t *channelBlock, bool isSigned, uint32_t spread, uint32_t fixed,
                         uint32_t words[8]) {
    const uint32_t a0 = ddsRgtcEndpoint(channelBlock[0], isSigned);
    const uint32_t a1 = ddsRgtcEndpoint(channelBlock[1], isSigned);
    uint32_t values[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (uint32_t i = 1; i <= 6; ++i) values[1 + i] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (uint32_t i = 1; i <= 4; ++i) values[1 + i] = ((5 - i) * a0 + i * a1) / 5;
    }
    for (int i = 0; i < 8; ++i) words[i] = values[i] * spread + fixed;
}

// The sixteen 3-bit indices of a channel block, pixel k at bit 3k.
inline uint64_t channelIndices(const uint8_t *channelBlock) {
    return ddsLoad24(channelBlock + 2) | static_cast<uint64_t>(ddsLoad24(channelBlock + 5)) << 24;
}

// BC4 (grey: R = G = B, A 255) and BC5 (red, green, blue 0 or the normal's
// z, A 255) from the channel words.
template <BlockFormat Format, int BytesPerPixel>
void decodeRgtcRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr bool HasGreen = ddsRgtcHasGreen(Format);
    constexpr bool IsSigned = ddsRgtcIsSigned(Format);
    constexpr bool IsNormal = ddsRgtcIsNormal(Format);
    constexpr size_t BlockBytes = HasGreen ? 16 : 8;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    const uint8_t *const zTable = IsNormal ? ddsNormalZTable() : nullptr;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        uint32_t red[8];
        uint32_t green[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        // Alpha 255 comes with the green words, or with the grey ones.
        channelWords(block, IsSigned, HasGreen ? 0x1u : 0x010101u, HasGreen ? 0u : 0xFF000000u, red);
        if (HasGreen) channelWords(block + 8, IsSigned, 0x100u, 0xFF000000u, green);
        const uint64_t redIndices = channelIndices(block);
        const uint64_t greenIndices = HasGreen ? channelIndices(block + 8) : 0;
        const size_t column = b * BlockWidthBytes;
        for (int r = 0; r < 4; ++r) {
            const uint32_t redRow = static_cast<uint32_t>(redIndices >> (12 * r));
            const uint32_t greenRow = static_cast<uint32_t>(greenIndices >> (12 * r));
            uint32_t p[4];
            for (int c = 0; c < 4; ++c) {
                p[c] = red[(redRow >> (3 * c)) & 7];
                if (HasGreen) p[c] |= green[(greenRow >> (3 * c)) & 7];
                // The low 16 bits are r | g << 8, the table's index.
                if (IsNormal) p[c] |= static_cast<uint32_t>(zTable[p[c] & 0xFFFF]) << 16;
            }
            putPixels<BytesPerPixel>(rows[r] + column, p[0], p[1], p[2], p[3]);
        }
    }
}

// Case labels for the six BC4 and BC5 formats, each running `decode`'s
// instantiation for it and returning true.
#define DDS_RGTC_CASES(decode, BytesPerPixel)                                                           \
    case Bc4: decode<Bc4, BytesPerPixel>(blocks, blockCount, rows); return true;                         \
    case Bc4Signed: decode<Bc4Signed, BytesPerPixel>(blocks, blockCount, rows); return true;             \
    case Bc5: decode<Bc5, BytesPerPixel>(blocks, blockCount, rows); return true;                         \
    case Bc5Signed: decode<Bc5Signed, BytesPerPixel>(blocks, blockCount, rows); return true;             \
    case Bc5Normal: decode<Bc5Normal, BytesPerPixel>(blocks, blockCount, rows); return true;             \
    case Bc5SignedNormal: decode<Bc5SignedNormal, BytesPerPixel>(blocks, blockCount, rows); return true;

bool decodeRgtcRowWords(BlockFormat format, const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4],
                        int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        switch (format) {
            DDS_RGTC_CASES(decodeRgtcRow, 4)
            default: return false;
        }
    }
    if (bytesPerPixel == 3) {
        switch (format) {
            DDS_RGTC_CASES(decodeRgtcRow, 3)
            default: return false;
        }
    }
    return false;
}

#if defined(DDS_HAVE_SSE2)

// The same with SSE2: the palette and the alpha bytes come from
// blocks_sse2.h.  Rows of four-byte pixels are put together from a table
// of the 16 pixel pairs, two 8-byte loads a row, get their alpha bytes
// spread into the words' fourth bytes and are stored 16 bytes at a time.
// Rows of three-byte pixels are looked up word by word from the palette.
namespace sse2 {

using namespace sse2blocks;

// The four rows of a block's colours as RGBA words, from a table of the
// 16 pixel pairs: entry 4 j + i holds palette words i and j, so that each
// half of a row is one 8-byte load at its four index bits.
inline void colorRowsByPairs(const uint8_t *colorBlock, bool alwaysFourColours, __m128i rows[4]) {
    const __m128i words = palette(colorBlock, alwaysFourColours);
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
            _mm_storeu_si128(reinterpret_cast<__m128i *>(words), palette(colorBlock, Format != Dxt1));
            for (int r = 0; r < 4; ++r) {
                const uint32_t indices = colorBlock[4 + r];
                putPixels<3>(rows[r] + column, words[indices & 3], words[(indices >> 2) & 3],
                             words[(indices >> 4) & 3], words[indices >> 6]);
            }
            continue;
        }
        __m128i pixels[4];
        colorRowsByPairs(Format == Dxt1 ? block : block + 8, Format != Dxt1, pixels);
        if (MergeAlpha) mergeAlpha(pixels, Format == Dxt3 ? explicitAlpha(block) : interpolatedAlpha(block));
        for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
    }
}

// Four RGBA words to their twelve R, G, B bytes, zeros after: in each
// 64-bit half, the second word's colour moves down a byte to follow the
// first's; then the upper half's six bytes move down to follow the lower's.
inline __m128i packRgb(__m128i words) {
    const __m128i first = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
    const __m128i second = _mm_set_epi32(0x0000FFFF, static_cast<int>(0xFF000000u), 0x0000FFFF,
                                         static_cast<int>(0xFF000000u));
    const __m128i halves =
        _mm_or_si128(_mm_and_si128(words, first), _mm_and_si128(_mm_srli_epi64(words, 8), second));
    return _mm_or_si128(_mm_move_epi64(halves), _mm_slli_si128(_mm_srli_si128(halves, 8), 6));
}

// BC4 and BC5: each channel's 16 bytes as DXT5's alpha, interleaved
// into rows of RGBA words; three-byte rows are packed in the register.
template <BlockFormat Format, int BytesPerPixel>
void decodeRgtcRowSse2(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr bool HasGreen = ddsRgtcHasGreen(Format);
    constexpr bool IsSigned = ddsRgtcIsSigned(Format);
    constexpr bool IsNormal = ddsRgtcIsNormal(Format);
    constexpr size_t BlockBytes = HasGreen ? 16 : 8;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    const uint8_t *const zTable = IsNormal ? ddsNormalZTable() : nullptr;
    auto channel = [](const uint8_t *channelBlock) {
        return interpolatedAlpha(channelBlock, ddsRgtcEndpoint(channelBlock[0], IsSigned),
                                 ddsRgtcEndpoint(channelBlock[1], IsSigned));
    };
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        const __m128i red = channel(block);
        const __m128i green = HasGreen ? channel(block + 8) : red;
        const __m128i blue = !HasGreen ? red : IsNormal ? normalBlue(red, green, zTable) : _mm_setzero_si128();
        __m128i pixels[4];
        rgbaRows(red, green, blue, pixels);
        const size_t column = b * BlockWidthBytes;
        if (BytesPerPixel == 4) {
            for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
        } else {
            for (int r = 0; r < 4; ++r) {
                const __m128i row = packRgb(pixels[r]);
                uint8_t *destination = rows[r] + column;
                if (b + 1 < blockCount) {
                    // 16 bytes; the next block overwrites the last four.
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), row);
                } else {
                    _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), row);
                    store32(destination + 8, static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8))));
                }
            }
        }
    }
}

}  // namespace sse2

#endif  // DDS_HAVE_SSE2

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
    if (WordsAreRgba && decodeRgtcRowWords(format, blocks, blockCount, rows, bytesPerPixel)) return;
    if (WordsAreRgba && ddsDecodeBptcRowWords(format, blocks, blockCount, rows, bytesPerPixel)) return;
    ddsDecodeBlockRowScalar(format, blocks, blockCount, rows, bytesPerPixel);
}

bool ddsDecodeBlockRowSse2(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                           uint8_t *const rows[4], int bytesPerPixel) {
#if defined(DDS_HAVE_SSE2)
    if (bytesPerPixel == 4) {
        switch (format) {
            case Dxt1: sse2::decodeRowSse2<Dxt1, 4>(blocks, blockCount, rows); return true;
            case Dxt3: sse2::decodeRowSse2<Dxt3, 4>(blocks, blockCount, rows); return true;
            case Dxt5: sse2::decodeRowSse2<Dxt5, 4>(blocks, blockCount, rows); return true;
            DDS_RGTC_CASES(sse2::decodeRgtcRowSse2, 4)
            default: break;
        }
    } else if (bytesPerPixel == 3) {
        switch (format) {
            case Dxt1: sse2::decodeRowSse2<Dxt1, 3>(blocks, blockCount, rows); return true;
            case Dxt3: sse2::decodeRowSse2<Dxt3, 3>(blocks, blockCount, rows); return true;
            case Dxt5: sse2::decodeRowSse2<Dxt5, 3>(blocks, blockCount, rows); return true;
            DDS_RGTC_CASES(sse2::decodeRgtcRowSse2, 3)
            default: break;
        }
    }
    if (ddsDecodeBptcRowSse2(format, blocks, blockCount, rows, bytesPerPixel)) return true;
#else
    (void)format, (void)blocks, (void)blockCount, (void)rows, (void)bytesPerPixel;
#endif
    return false;
}

void ddsDecodeBlockRow(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                       uint8_t *const rows[4], int bytesPerPixel) {
    if (ddsDecodeBlockRowSsse3(format, blocks, blockCount, rows, bytesPerPixel)) return;
    if (ddsDecodeBlockRowSse2(format, blocks, blockCount, rows, bytesPerPixel)) return;
    ddsDecodeBlockRowWords(format, blocks, blockCount, rows, bytesPerPixel);
}
