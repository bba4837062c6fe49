// BC4 and BC5 block rows with SSSE3: both channels' eight values (from
// common/channel_ssse3.h) packed into one register, red in bytes 0 to 7
// and green in 8 to 15, and looked up by each channel's indices with one
// byte shuffle.  Four-byte rows are the channels interleaved into RGBA
// words; three-byte rows are shuffled from the red and green pairs, or the
// grey bytes, with blue shuffled in for normals.

#include <cstdint>

#include "bc4_5/bc4_5.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)

#include <tmmintrin.h>

#include "bc4_5/rows_sse2.h"
#include "common/channel_ssse3.h"
#include "common/rows_sse2.h"

namespace {

using B = BlockFormat;

// Shuffle controls for three-byte rows.  grey[r]: pixel p of row r takes
// byte 4r + p three times.  pair[k]: from red and green bytes interleaved
// (pixels 4k to 4k + 7 of a half), pixel p takes bytes 8k + 2p and
// 8k + 2p + 1, then a zero.  blue[r]: byte 4r + p to byte 3p + 2, zeros
// elsewhere.  Bytes 12 to 15 are zero.
struct RgtcControls {
    uint8_t grey[4][16];
    uint8_t pair[2][16];
    uint8_t blue[4][16];
};

constexpr RgtcControls rgtcControls() {
    RgtcControls controls{};
    for (int i = 0; i < 16; ++i) {
        for (int r = 0; r < 4; ++r) controls.grey[r][i] = controls.blue[r][i] = 0x80;
        for (int k = 0; k < 2; ++k) controls.pair[k][i] = 0x80;
    }
    for (int p = 0; p < 4; ++p) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 3; ++c) controls.grey[r][3 * p + c] = static_cast<uint8_t>(4 * r + p);
            controls.blue[r][3 * p + 2] = static_cast<uint8_t>(4 * r + p);
        }
        for (int k = 0; k < 2; ++k) {
            controls.pair[k][3 * p] = static_cast<uint8_t>(8 * k + 2 * p);
            controls.pair[k][3 * p + 1] = static_cast<uint8_t>(8 * k + 2 * p + 1);
        }
    }
    return controls;
}

alignas(16) constexpr RgtcControls RgtcRgb = rgtcControls();

DDS_TARGET_SSSE3 inline __m128i control(const uint8_t (&bytes)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(bytes));
}

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Block {
    DDS_TARGET_SSSE3 static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        using namespace channelssse3;
        using L = RgtcLayout<Format>;
        constexpr bool HasGreen = L::HasGreen, IsSigned = L::IsSigned, IsNormal = L::IsNormal;
        const uint8_t *const zTable = IsNormal ? ddsNormalZTable() : nullptr;
        __m128i endpoints = HasGreen ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(block))
                                     : _mm_loadl_epi64(reinterpret_cast<const __m128i *>(block));
        // Signed endpoints: byte ^ 0x80, and 0 (from -128) up to 1, as ddsRgtcEndpoint.
        if (IsSigned) endpoints = _mm_max_epu8(_mm_xor_si128(endpoints, _mm_set1_epi8(-128)), _mm_set1_epi8(1));
        const __m128i redValues =
            channelValues(_mm_shuffle_epi8(endpoints, _mm_set1_epi16(0x0100)),
                          ddsRgtcEndpoint(block[0], IsSigned) > ddsRgtcEndpoint(block[1], IsSigned));
        __m128i values = redValues;
        if (HasGreen) {
            values = channelValues(_mm_shuffle_epi8(endpoints, _mm_set1_epi16(0x0908)),
                                   ddsRgtcEndpoint(block[8], IsSigned) > ddsRgtcEndpoint(block[9], IsSigned));
        }
        const __m128i tables = _mm_packus_epi16(redValues, values);
        const __m128i red = _mm_shuffle_epi8(tables, channelIndices(block));
        // Green's indices (0 to 7) or 8 select bytes 8 to 15.
        const __m128i green =
            HasGreen ? _mm_shuffle_epi8(tables, _mm_or_si128(channelIndices(block + 8), _mm_set1_epi8(8))) : red;
        const __m128i blue =
            !HasGreen ? red : IsNormal ? bc45sse2::normalBlue(red, green, zTable) : _mm_setzero_si128();
        if (BytesPerPixel == 4) {
            __m128i pixels[4];
            bc45sse2::rgbaRows(red, green, blue, pixels);
            for (int r = 0; r < 4; ++r) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
            }
            return;
        }
        const __m128i redGreen[2] = {_mm_unpacklo_epi8(red, green), _mm_unpackhi_epi8(red, green)};
        for (int r = 0; r < 4; ++r) {
            __m128i row;
            if (!HasGreen) {
                row = _mm_shuffle_epi8(red, control(RgtcRgb.grey[r]));
            } else {
                row = _mm_shuffle_epi8(redGreen[r / 2], control(RgtcRgb.pair[r % 2]));
                if (IsNormal) row = _mm_or_si128(row, _mm_shuffle_epi8(blue, control(RgtcRgb.blue[r])));
            }
            ddsStoreRgbRow(rows[r] + column, row, last);
        }
    }
};

}  // namespace

BlockRowKernel ddsRgtcKernelSsse3(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<BlockWalkSsse3<Ssse3Block>::Kernel, B::Bc4, B::Bc4Signed, B::Bc5, B::Bc5Signed, B::Bc5Normal, B::Bc5SignedNormal>(
        format, bytesPerPixel);
}

#endif
