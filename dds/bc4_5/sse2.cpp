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
struct Sse2Row {
    static void run(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
        constexpr bool HasGreen = ddsRgtcHasGreen(Format);
        constexpr bool IsSigned = ddsRgtcIsSigned(Format);
        constexpr bool IsNormal = ddsRgtcIsNormal(Format);
        constexpr size_t BlockBytes = ddsBlockBytes(Format);
        constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
        const uint8_t *const zTable = IsNormal ? ddsNormalZTable() : nullptr;
        auto channel = [](const uint8_t *channelBlock) {
            return channelsse2::channelBytes(channelBlock, ddsRgtcEndpoint(channelBlock[0], IsSigned),
                                             ddsRgtcEndpoint(channelBlock[1], IsSigned));
        };
        for (uint32_t b = 0; b < blockCount; ++b) {
            const uint8_t *block = blocks + b * BlockBytes;
            const __m128i red = channel(block);
            const __m128i green = HasGreen ? channel(block + 8) : red;
            const __m128i blue =
                !HasGreen ? red : IsNormal ? bc45sse2::normalBlue(red, green, zTable) : _mm_setzero_si128();
            __m128i pixels[4];
            bc45sse2::rgbaRows(red, green, blue, pixels);
            const size_t column = b * BlockWidthBytes;
            for (int r = 0; r < 4; ++r) {
                if (BytesPerPixel == 4) {
                    _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
                } else {
                    ddsStoreRgbRow(rows[r] + column, ddsPackRgb(pixels[r]), b + 1 == blockCount);
                }
            }
        }
    }
};

}  // namespace

BlockRowKernel ddsRgtcKernelSse2(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<Sse2Row, B::Bc4, B::Bc4Signed, B::Bc5, B::Bc5Signed, B::Bc5Normal, B::Bc5SignedNormal>(
        format, bytesPerPixel);
}

#else

BlockRowKernel ddsRgtcKernelSse2(BlockFormat, int) { return nullptr; }

#endif
