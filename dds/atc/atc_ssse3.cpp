// ATC block rows with SSSE3's byte shuffle.  A block's palette is built
// with SSE2 as four RGBA words in one register; each row of the block is
// one shuffle of it by a control looked up from the row's index byte (four
// whole words, or the first three bytes of each).  Interpolated alpha
// values are computed eight at once and looked up by a second shuffle of
// the sixteen 3-bit indices; explicit alpha comes from its nibbles.  Each
// row's alpha bytes are shuffled into the words' fourth bytes.  The output
// is the plain decoders', byte for byte.

#include "atc/atc.h"

#include <cstring>

#include "common/bytes.h"
#include "common/cpu_features.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

namespace {

// Shuffle controls for one row of a block, by the row's index byte v:
// byte bpp * p + c is byte c of palette word (v >> 2p) & 3; the rest zero.
struct RowControls {
    uint8_t bytes[256][16];
};

constexpr RowControls rowControls(int bytesPerPixel) {
    RowControls controls{};
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

alignas(16) constexpr RowControls RgbaControls = rowControls(4);
alignas(16) constexpr RowControls RgbControls = rowControls(3);

DDS_TARGET_SSSE3 inline __m128i load(const void *aligned) {
    return _mm_load_si128(static_cast<const __m128i *>(aligned));
}

DDS_TARGET_SSSE3 inline __m128i lanes(int a, int b, int c, int d, int e, int f, int g, int h) {
    return _mm_setr_epi16(static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d),
                          static_cast<short>(e), static_cast<short>(f), static_cast<short>(g), static_cast<short>(h));
}

// The palette as four RGBA words.  In 16-bit lanes, colour 0 in lanes 0 to
// 3 and colour 1 in 4 to 7: each field masked in place, moved down by the
// high half of a product (blue is at bit 0 already), widened as
// v << 3 | v >> 2 (green of colour 1: v << 2 | v >> 4) by a low and a high
// product; then the mode's two inner entries from the ends and the ends
// swapped.
DDS_TARGET_SSSE3 inline __m128i palette(const uint8_t *colourBlock) {
    const uint32_t colour0 = ddsLoad16(colourBlock), colour1 = ddsLoad16(colourBlock + 2);
    const __m128i both = _mm_cvtsi32_si128(static_cast<int>(colour0 | colour1 << 16));
    const __m128i colours = _mm_unpacklo_epi64(_mm_shufflelo_epi16(both, 0x00), _mm_shufflelo_epi16(both, 0x55));
    const __m128i fields = _mm_and_si128(colours, lanes(0x7C00, 0x03E0, 0x001F, 0, 0xF800, 0x07E0, 0x001F, 0));
    const __m128i values = _mm_or_si128(_mm_mulhi_epu16(fields, lanes(1 << 6, 1 << 11, 0, 0, 1 << 5, 1 << 11, 0, 0)),
                                        _mm_and_si128(fields, lanes(0, 0, 31, 0, 0, 0, 31, 0)));
    const __m128i alpha = lanes(0, 0, 0, 255, 0, 0, 0, 255);
    const __m128i ends = _mm_or_si128(
        _mm_or_si128(_mm_mullo_epi16(values, lanes(8, 8, 8, 0, 8, 4, 8, 0)),
                     _mm_mulhi_epu16(values, lanes(1 << 14, 1 << 14, 1 << 14, 0, 1 << 14, 1 << 12, 1 << 14, 0))),
        alpha);
    const __m128i swapped = _mm_shuffle_epi32(ends, 0x4E);
    // Mode 1: black, max(c0 - (c1 >> 2), 0), c0, c1.
    const __m128i lowered = _mm_or_si128(_mm_subs_epu16(ends, _mm_srli_epi16(swapped, 2)), alpha);
    const __m128i mode1 = _mm_packus_epi16(_mm_unpacklo_epi64(alpha, lowered), ends);
    // Mode 0: c0, (5 c0 + 3 c1) >> 3, (3 c0 + 5 c1) >> 3, c1.
    const __m128i mix = _mm_srli_epi16(
        _mm_add_epi16(_mm_mullo_epi16(ends, _mm_set1_epi16(5)), _mm_mullo_epi16(swapped, _mm_set1_epi16(3))), 3);
    const __m128i mode0 = _mm_packus_epi16(_mm_unpacklo_epi64(ends, mix), _mm_unpackhi_epi64(mix, ends));
    // Both are made and one is kept: blocks of both modes mix in a row,
    // and a branch on the mode would often be mispredicted.
    const __m128i isMode1 = _mm_set1_epi32(-static_cast<int>(colour0 >> 15));
    return _mm_or_si128(_mm_and_si128(isMode1, mode1), _mm_andnot_si128(isMode1, mode0));
}

// Explicit alpha: the sixteen nibbles times 17, in pixel order.
DDS_TARGET_SSSE3 inline __m128i explicitAlpha(__m128i packed) {
    const __m128i nibble = _mm_set1_epi8(0x0F);
    const __m128i values = _mm_unpacklo_epi8(_mm_and_si128(packed, nibble),
                                             _mm_and_si128(_mm_srli_epi16(packed, 4), nibble));
    return _mm_or_si128(values, _mm_slli_epi16(values, 4));
}

// Interpolated alpha: the eight values in bytes 0 to 7, each
// (w0 a0 + w1 a1 + bias) / d with the mode's constants (d = 7 when
// a0 > a1, else 5 with 0 and 255 last).  The endpoint bytes repeated in
// every 16-bit lane meet the weights as byte pairs in one pmaddubsw (the
// sums, at most 7 * 255, do not saturate); the division is a
// multiplication by 65536 / d rounded up, exact for every sum that occurs
// (at most 1788).
struct AlphaMode {
    alignas(16) int8_t weights[16];
    alignas(16) int16_t bias[8];
    alignas(16) int16_t reciprocal[8];
    alignas(16) int16_t fixed[8];
};

constexpr AlphaMode AlphaModes[2] = {
    {{5, 0, 0, 5, 4, 1, 3, 2, 2, 3, 1, 4, 0, 0, 0, 0}, {2, 2, 2, 2, 2, 2, 0, 0},
     {13108, 13108, 13108, 13108, 13108, 13108, 13108, 13108}, {0, 0, 0, 0, 0, 0, 0, 255}},
    {{7, 0, 0, 7, 6, 1, 5, 2, 4, 3, 3, 4, 2, 5, 1, 6}, {3, 3, 3, 3, 3, 3, 3, 3},
     {9363, 9363, 9363, 9363, 9363, 9363, 9363, 9363}, {0, 0, 0, 0, 0, 0, 0, 0}},
};

DDS_TARGET_SSSE3 inline __m128i interpolatedValues(__m128i alphaBlock, bool sevenSteps) {
    const AlphaMode &mode = AlphaModes[sevenSteps ? 1 : 0];
    const __m128i endpoints = _mm_shuffle_epi8(alphaBlock, _mm_set1_epi16(0x0100));
    const __m128i sum = _mm_add_epi16(_mm_maddubs_epi16(endpoints, load(mode.weights)), load(mode.bias));
    const __m128i values = _mm_or_si128(_mm_mulhi_epu16(sum, load(mode.reciprocal)), load(mode.fixed));
    return _mm_packus_epi16(values, values);
}

// The sixteen 3-bit indices (bits 16 to 63 of the alpha block) as bytes in pixel
// order.  Index k lies in the 16-bit window from byte 2 + 3k / 8, at bit
// 3k % 8; a multiplication moves it to the window's top three bits.
DDS_TARGET_SSSE3 inline __m128i alphaIndices(__m128i bytes) {
    const __m128i first = _mm_shuffle_epi8(bytes, _mm_setr_epi8(2, 3, 2, 3, 2, 3, 3, 4, 3, 4, 3, 4, 4, 5, 4, 5));
    const __m128i second = _mm_shuffle_epi8(bytes, _mm_setr_epi8(5, 6, 5, 6, 5, 6, 6, 7, 6, 7, 6, 7, 7, -128, 7, -128));
    const __m128i toTop = lanes(1 << 13, 1 << 10, 1 << 7, 1 << 12, 1 << 9, 1 << 6, 1 << 11, 1 << 8);
    return _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(first, toTop), 13),
                            _mm_srli_epi16(_mm_mullo_epi16(second, toTop), 13));
}

// Row r's alpha bytes (pixels 4r to 4r + 3) moved to the words' fourth bytes.
DDS_TARGET_SSSE3 inline __m128i alphaOfRow(__m128i alpha, int r) {
    const char z = -128;
    const char p = static_cast<char>(4 * r);
    return _mm_shuffle_epi8(alpha, _mm_setr_epi8(z, z, z, p, z, z, z, static_cast<char>(p + 1), z, z, z,
                                                 static_cast<char>(p + 2), z, z, z, static_cast<char>(p + 3)));
}

template <BlockFormat Format, int BytesPerPixel>
DDS_TARGET_SSSE3 void decodeRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    constexpr size_t BlockBytes = ddsBlockBytes(Format);
    constexpr bool MergeAlpha = Format != BlockFormat::AtcRgb && BytesPerPixel == 4;
    const RowControls &controls = BytesPerPixel == 4 ? RgbaControls : RgbControls;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + size_t{b} * BlockBytes;
        const uint8_t *colourBlock = block + BlockBytes - 8;
        __m128i words = palette(colourBlock);
        __m128i alpha = _mm_setzero_si128();
        if (MergeAlpha) {
            words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
            const __m128i alphaBlock = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(block));
            if (Format == BlockFormat::AtcExplicitAlpha) {
                alpha = explicitAlpha(alphaBlock);
            } else {
                alpha = _mm_shuffle_epi8(interpolatedValues(alphaBlock, block[0] > block[1]), alphaIndices(alphaBlock));
            }
        }
        for (int r = 0; r < 4; ++r) {
            __m128i row = _mm_shuffle_epi8(words, load(controls.bytes[colourBlock[4 + r]]));
            if (MergeAlpha) row = _mm_or_si128(row, alphaOfRow(alpha, r));
            uint8_t *destination = rows[r] + size_t{b} * 4 * BytesPerPixel;
            if (BytesPerPixel == 4 || b + 1 < blockCount) {
                // Three-byte rows store 16 bytes too; the next block
                // overwrites the last four.
                _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), row);
            } else {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), row);
                const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8)));
                std::memcpy(destination + 8, &last, 4);
            }
        }
    }
}

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Kernel {
    static constexpr BlockRowKernel run = decodeRow<Format, BytesPerPixel>;
};

}  // namespace

#endif  // DDS_HAVE_SSSE3

BlockRowKernel ddsAtcKernelSsse3(BlockFormat format, int bytesPerPixel) {
#if defined(DDS_HAVE_SSSE3)
    using B = BlockFormat;
    if (!ddsCpuHasSsse3()) return nullptr;
    return ddsKernelOf<Ssse3Kernel, B::AtcRgb, B::AtcExplicitAlpha, B::AtcInterpolatedAlpha>(format, bytesPerPixel);
#else
    (void)format, (void)bytesPerPixel;
    return nullptr;
#endif
}
