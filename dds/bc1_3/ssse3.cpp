// DXT1, DXT3 and DXT5 block rows with SSSE3's byte shuffle, for processors
// that have it.  Each row of a block is one shuffle of the block's palette
// (four RGBA words in a register, from palette_sse2.h) by a control looked
// up from the row's index byte: four-byte pixels take whole words,
// three-byte pixels their first three bytes.  DXT5's alpha comes from
// common/channel_ssse3.h, DXT3's from its nibbles; alpha bytes are
// shuffled into the words' fourth bytes.

#include <cstdint>

#include "bc1_3/bc1_3.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)

#include <tmmintrin.h>

#include "bc1_3/palette_sse2.h"
#include "common/channel_ssse3.h"
#include "common/explicit_alpha_sse2.h"
#include "common/index_rows_ssse3.h"
#include "common/rows_sse2.h"

namespace {

using B = BlockFormat;
using namespace bc13sse2;

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Block {
    DDS_TARGET_SSSE3 static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        using L = Bc13Layout<Format, BytesPerPixel>;
        const uint8_t *colorBlock = block + L::ColorOffset;
        __m128i words = palette(colorBlock, L::FourColours);
        __m128i alpha = _mm_setzero_si128();
        if (L::MergeAlpha) {
            words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
            alpha = Format == B::Dxt3 ? ddsExplicitAlphaSse2(block) : channelssse3::channelBytes(block);
        }
        for (int r = 0; r < 4; ++r) {
            __m128i row = ddsIndexRow(words, ddsIndexRows<BytesPerPixel>(), colorBlock[4 + r]);
            if (L::MergeAlpha) row = _mm_or_si128(row, ddsAlphaOfRow(alpha, r));
            if (BytesPerPixel == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), row);
            } else {
                ddsStoreRgbRow(rows[r] + column, row, last);
            }
        }
    }
};

}  // namespace

BlockRowKernel ddsBc13KernelSsse3(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<BlockWalkSsse3<Ssse3Block>::Kernel, B::Dxt1, B::Dxt3, B::Dxt5>(format, bytesPerPixel);
}

#endif
