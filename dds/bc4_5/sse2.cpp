// BC4 and BC5 block rows with SSE2, for processors without SSSE3: each
// channel's 16 bytes as common/channel_sse2.h computes them, interleaved
// into rows of RGBA words; three-byte rows are packed in the register.

#include <cstdint>

#include "bc4_5/bc4_5.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSE2)

#include "bc4_5/rows_sse2.h"
#include "common/channel_sse2.h"
#include "common/rows_sse2.h"

namespace {

using B = BlockFormat;

template <BlockFormat Format, int BytesPerPixel>
struct Sse2Block {
    static __m128i channel(const uint8_t *channelBlock) {
        constexpr bool IsSigned = RgtcLayout<Format>::IsSigned;
        return channelsse2::channelBytes(channelBlock, ddsRgtcEndpoint(channelBlock[0], IsSigned),
                                         ddsRgtcEndpoint(channelBlock[1], IsSigned));
    }

    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        using L = RgtcLayout<Format>;
        const __m128i red = channel(block);
        const __m128i green = L::HasGreen ? channel(block + 8) : red;
        const __m128i blue = !L::HasGreen ? red
                             : L::IsNormal ? bc45sse2::normalBlue(red, green, ddsNormalZTable())
                                           : _mm_setzero_si128();
        __m128i pixels[4];
        bc45sse2::rgbaRows(red, green, blue, pixels);
        for (int r = 0; r < 4; ++r) {
            if (BytesPerPixel == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
            } else {
                ddsStoreRgbRow(rows[r] + column, ddsPackRgb(pixels[r]), last);
            }
        }
    }
};

}  // namespace

BlockRowKernel ddsRgtcKernelSse2(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<BlockWalk<Sse2Block>::Kernel, B::Bc4, B::Bc4Signed, B::Bc5, B::Bc5Signed, B::Bc5Normal, B::Bc5SignedNormal>(
        format, bytesPerPixel);
}

#endif
