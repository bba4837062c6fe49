// ATC block rows with SSSE3's byte shuffle.  A block's palette is built
// with SSE2 as four RGBA words in one register; each row of the block is
// one shuffle of it by a control looked up from the row's index byte (four
// whole words, or the first three bytes of each).  Interpolated alpha
// values are computed eight at once and looked up by a second shuffle of
// the sixteen 3-bit indices; explicit alpha comes from its nibbles.  Each
// row's alpha bytes are shuffled into the words' fourth bytes.  The output
// is the plain decoders', byte for byte.

#include "atc/atc.h"

#include "atc/atc_rules.h"
#include "common/bytes.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

#include "common/channel_ssse3.h"
#include "common/explicit_alpha_sse2.h"
#include "common/index_rows_ssse3.h"
#include "common/rows_sse2.h"

namespace {

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
// swapped, with the rule's constants (the subtraction saturating at 0).
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
    const __m128i lowered = _mm_or_si128(_mm_subs_epu16(ends, _mm_srli_epi16(swapped, kAtcLowerShift)), alpha);
    const __m128i mode1 = _mm_packus_epi16(_mm_unpacklo_epi64(alpha, lowered), ends);
    // Mode 0: c0, (5 c0 + 3 c1) >> 3, (3 c0 + 5 c1) >> 3, c1.
    const __m128i nearer = _mm_set1_epi16(kAtcMixNearer), farther = _mm_set1_epi16(kAtcMixFarther);
    const __m128i mix = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(ends, nearer), _mm_mullo_epi16(swapped, farther)), kAtcMixShift);
    const __m128i mode0 = _mm_packus_epi16(_mm_unpacklo_epi64(ends, mix), _mm_unpackhi_epi64(mix, ends));
    // Both are made and one is kept: blocks of both modes mix in a row,
    // and a branch on the mode would often be mispredicted.
    const __m128i isMode1 = _mm_set1_epi32(-static_cast<int>(colour0 >> 15));
    return _mm_or_si128(_mm_and_si128(isMode1, mode1), _mm_andnot_si128(isMode1, mode0));
}

// Interpolated alpha: the eight values in bytes 0 to 7, (w0 a0 + w1 a1 +
// bias) / d.  The weights, the division as a multiplication and the fixed
// values are DXT5's (common/channel_ssse3.h), kept with the rule's bias
// (half the divisor) in one record, so that one index finds them; the bias
// added to the sums keeps the multiplication exact, as checked here.
struct AlphaMode {
    channelssse3::ChannelMode channel;
    alignas(16) int16_t bias[8];
};

constexpr AlphaMode alphaMode(bool sevenSteps) {
    AlphaMode mode{channelssse3::ChannelModes[sevenSteps ? 1 : 0], {}};
    for (int16_t &bias : mode.bias) bias = static_cast<int16_t>(atcAlphaBias(sevenSteps ? 7 : 5));
    return mode;
}

alignas(16) constexpr AlphaMode AlphaModes[2] = {alphaMode(false), alphaMode(true)};

constexpr bool roundedDivisionIsExact(uint32_t divisor, uint32_t reciprocal) {
    for (uint32_t sum = 0; sum <= 255 * divisor + atcAlphaBias(divisor); ++sum)
        if ((sum * reciprocal) >> 16 != sum / divisor) return false;
    return true;
}
static_assert(roundedDivisionIsExact(5, ddsChannelReciprocal5) && roundedDivisionIsExact(7, ddsChannelReciprocal7),
              "the rounded mixes divided by a multiplication");

// The sixteen alpha bytes in pixel order: the values from (a0, a1) byte
// pairs in every 16-bit lane, looked up by DXT5's spread indices.
DDS_TARGET_SSSE3 inline __m128i interpolatedAlpha(const uint8_t *alphaBlock) {
    const AlphaMode &mode = AlphaModes[alphaBlock[0] > alphaBlock[1] ? 1 : 0];
    const __m128i ends = _mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphaBlock)), _mm_set1_epi16(0x0100));
    const __m128i sum = _mm_add_epi16(_mm_maddubs_epi16(ends, load(mode.channel.weights)), load(mode.bias));
    const __m128i values = _mm_or_si128(_mm_mulhi_epu16(sum, load(mode.channel.reciprocal)), load(mode.channel.fixed));
    return _mm_shuffle_epi8(_mm_packus_epi16(values, values), channelssse3::channelIndices(alphaBlock));
}

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Block {
    DDS_TARGET_SSSE3 static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        constexpr bool MergeAlpha = Format != BlockFormat::AtcRgb && BytesPerPixel == 4;
        const uint8_t *colourBlock = block + ddsBlockBytes(Format) - 8;
        __m128i words = palette(colourBlock);
        __m128i alpha = _mm_setzero_si128();
        if (MergeAlpha) {
            words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
            alpha = Format == BlockFormat::AtcExplicitAlpha ? ddsExplicitAlphaSse2(block) : interpolatedAlpha(block);
        }
        for (int r = 0; r < 4; ++r) {
            __m128i row = ddsIndexRow(words, ddsIndexRows<BytesPerPixel>(), colourBlock[4 + r]);
            if (MergeAlpha) row = _mm_or_si128(row, ddsAlphaOfRow(alpha, r));
            if (BytesPerPixel == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), row);
            } else {
                ddsStoreRgbRow(rows[r] + column, row, last);
            }
        }
    }
};

}  // namespace

BlockRowKernel ddsAtcKernelSsse3(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    return ddsKernelOf<BlockWalkSsse3<Ssse3Block>::Kernel, B::AtcRgb, B::AtcExplicitAlpha, B::AtcInterpolatedAlpha>(format, bytesPerPixel);
}

#endif
