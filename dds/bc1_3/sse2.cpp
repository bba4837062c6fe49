// DXT1, DXT3 and DXT5 block rows with SSE2, for processors without SSSE3:
// the palette and the alpha bytes come from palette_sse2.h and
// common/channel_sse2.h.  Rows of four-byte pixels are put together from a
// table of the 16 pixel pairs, two 8-byte loads a row, get their alpha
// bytes spread into the words' fourth bytes and are stored 16 bytes at a
// time.  Rows of three-byte pixels are looked up word by word from the
// palette.

#include <cstdint>

#include "bc1_3/bc1_3.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSE2)

#include "bc1_3/palette_sse2.h"
#include "common/channel_sse2.h"
#include "common/explicit_alpha_sse2.h"
#include "common/rows.h"

namespace {

using B = BlockFormat;
using namespace bc13sse2;

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
struct Sse2Block {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        using L = Bc13Layout<Format, BytesPerPixel>;
        const uint8_t *colorBlock = block + L::ColorOffset;
        if (BytesPerPixel == 3) {
            // Packing to three bytes is cheaper from words looked up in
            // general registers (a table of packed pixel pairs measured
            // slower): the palette comes from SSE2, the rows from the words.
            uint32_t words[4];
            _mm_storeu_si128(reinterpret_cast<__m128i *>(words), palette(colorBlock, L::FourColours));
            for (int r = 0; r < 4; ++r) {
                const uint32_t indices = colorBlock[4 + r];
                ddsPutPixels<3>(rows[r] + column, words[indices & 3], words[(indices >> 2) & 3],
                                words[(indices >> 4) & 3], words[indices >> 6]);
            }
            return;
        }
        __m128i pixels[4];
        colorRowsByPairs(colorBlock, L::FourColours, pixels);
        if (L::MergeAlpha) {
            mergeAlpha(pixels, Format == B::Dxt3 ? ddsExplicitAlphaSse2(block)
                                                 : channelsse2::channelBytes(block, block[0], block[1]));
        }
        for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
    }
};

}  // namespace

BlockRowKernel ddsBc13KernelSse2(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<BlockWalk<Sse2Block>::Kernel, B::Dxt1, B::Dxt3, B::Dxt5>(format, bytesPerPixel);
}

#endif
