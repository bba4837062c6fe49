// DXT1, DXT3 and DXT5 block rows with SSSE3's byte shuffle, for processors
// that have it.  Each row of a block is one shuffle of the block's palette
// (four RGBA words in a register, from palette_sse2.h) by a control looked
// up from the row's index byte: four-byte pixels take whole words,
// three-byte pixels their first three bytes.  DXT5's alpha comes from
// common/channel_ssse3.h, DXT3's from its nibbles; alpha bytes are
// shuffled into the words' fourth bytes.

#include <cstdint>

#include "bc1_3/bc1_3.h"
#include "common/cpu_features.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)

#include <tmmintrin.h>

#include "bc1_3/palette_sse2.h"
#include "common/channel_ssse3.h"
#include "common/rows_sse2.h"

namespace {

using B = BlockFormat;
using namespace bc13sse2;

// Shuffle controls for one row of a block, by the row's index byte v.
// Four-byte pixels: byte 4p + c is byte c of palette word (v >> 2p) & 3.
// Three-byte pixels: byte 3p + c, c < 3, is; bytes 12 to 15 are zero.
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

DDS_TARGET_SSSE3 inline __m128i rowControl(const RowControls &controls, uint8_t indices) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(controls.bytes[indices]));
}

// The alpha bytes of row r (pixels 4r to 4r + 3) moved to the fourth byte
// of each word, zeros elsewhere.
DDS_TARGET_SSSE3 inline __m128i alphaOfRow(__m128i alpha, int r) {
    const char z = -128;
    const char p = static_cast<char>(4 * r);
    return _mm_shuffle_epi8(alpha, _mm_setr_epi8(z, z, z, p, z, z, z, static_cast<char>(p + 1), z, z, z,
                                                 static_cast<char>(p + 2), z, z, z, static_cast<char>(p + 3)));
}

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Block {
    DDS_TARGET_SSSE3 static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        using L = Bc13Layout<Format, BytesPerPixel>;
        const RowControls &controls = BytesPerPixel == 4 ? RgbaControls : RgbControls;
        const uint8_t *colorBlock = block + L::ColorOffset;
        __m128i words = palette(colorBlock, L::FourColours);
        __m128i alpha = _mm_setzero_si128();
        if (L::MergeAlpha) {
            words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
            alpha = Format == B::Dxt3 ? explicitAlpha(block) : channelssse3::channelBytes(block);
        }
        for (int r = 0; r < 4; ++r) {
            __m128i row = _mm_shuffle_epi8(words, rowControl(controls, colorBlock[4 + r]));
            if (L::MergeAlpha) row = _mm_or_si128(row, alphaOfRow(alpha, r));
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
    if (!ddsCpuHasSsse3()) return nullptr;
    return ddsKernelOf<BlockWalkSsse3<Ssse3Block>::Kernel, B::Dxt1, B::Dxt3, B::Dxt5>(format, bytesPerPixel);
}

#else

BlockRowKernel ddsBc13KernelSsse3(BlockFormat, int) { return nullptr; }

#endif
