// ATC block-row kernels in portable C++, and the choice of kernel.  A
// block's palette is four 32-bit RGBA words (R in the low byte); each
// pixel is the word its index selects, with the alpha byte replaced from
// the alpha block where there is one and the pixel keeps it.  The output
// is the plain decoders', byte for byte.

#include <cstring>

#include "atc/atc.h"
#include "common/bytes.h"
#include "common/channel_rules.h"
#include "common/rows.h"

namespace {


inline uint32_t rgbaWord(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16 | 0xFF000000u; }

inline void palette(const uint8_t *colourBlock, uint32_t words[4]) {
    const uint32_t colour0 = ddsLoad16(colourBlock), colour1 = ddsLoad16(colourBlock + 2);
    const uint32_t r0 = ddsReplicateBits(colour0 >> 10 & 31, 5, 8), g0 = ddsReplicateBits(colour0 >> 5 & 31, 5, 8), b0 = ddsReplicateBits(colour0 & 31, 5, 8);
    const uint32_t r1 = ddsReplicateBits(colour1 >> 11, 5, 8), g1 = ddsReplicateBits(colour1 >> 5 & 63, 6, 8), b1 = ddsReplicateBits(colour1 & 31, 5, 8);
    words[3] = rgbaWord(r1, g1, b1);
    if (colour0 & 0x8000u) {
        auto lowered = [](uint32_t a, uint32_t b) { return a > (b >> 2) ? a - (b >> 2) : 0; };
        words[0] = rgbaWord(0, 0, 0);
        words[1] = rgbaWord(lowered(r0, r1), lowered(g0, g1), lowered(b0, b1));
        words[2] = rgbaWord(r0, g0, b0);
    } else {
        words[0] = rgbaWord(r0, g0, b0);
        words[1] = rgbaWord((5 * r0 + 3 * r1) >> 3, (5 * g0 + 3 * g1) >> 3, (5 * b0 + 3 * b1) >> 3);
        words[2] = rgbaWord((3 * r0 + 5 * r1) >> 3, (3 * g0 + 5 * g1) >> 3, (3 * b0 + 5 * b1) >> 3);
    }
}

// The eight interpolated alpha values of an alpha block, in the alpha byte.
inline void alphaWords(uint32_t a0, uint32_t a1, uint32_t words[8]) {
    words[0] = a0 << 24;
    words[1] = a1 << 24;
    if (a0 > a1) {
        for (uint32_t k = 1; k <= 6; ++k) words[1 + k] = ((7 - k) * a0 + k * a1 + 3) / 7 << 24;
    } else {
        for (uint32_t k = 1; k <= 4; ++k) words[1 + k] = ((5 - k) * a0 + k * a1 + 2) / 5 << 24;
        words[6] = 0;
        words[7] = 0xFF000000u;
    }
}

template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        constexpr bool MergeAlpha = Format != BlockFormat::AtcRgb && BytesPerPixel == 4;
        const uint8_t *colourBlock = block + ddsBlockBytes(Format) - 8;
        uint32_t words[4];
        palette(colourBlock, words);
        const uint32_t indices = ddsLoad32(colourBlock + 4);
        uint32_t alpha[8] = {};
        uint64_t alphaBits = 0;
        if (MergeAlpha) {
            for (uint32_t &w : words) w &= 0x00FFFFFFu;
            alphaBits = ddsLoad64(block);
            if (Format == BlockFormat::AtcInterpolatedAlpha) {
                alphaWords(block[0], block[1], alpha);
                alphaBits >>= 16;
            }
        }
        uint32_t pixels[16];
        for (unsigned r = 0; r < 4; ++r) {
            const uint32_t rowIndices = indices >> (8 * r);
            for (unsigned c = 0; c < 4; ++c) {
                uint32_t &pixel = pixels[4 * r + c];
                pixel = words[rowIndices >> (2 * c) & 3u];
                if (MergeAlpha && Format == BlockFormat::AtcExplicitAlpha) {
                    pixel |= static_cast<uint32_t>(alphaBits >> (16 * r + 4 * c) & 15u) * 17 << 24;
                }
                if (MergeAlpha && Format == BlockFormat::AtcInterpolatedAlpha) {
                    pixel |= alpha[alphaBits >> (12 * r + 3 * c) & 7u];
                }
            }
        }
        // Everything is read before the pixels are stored: stores through
        // byte pointers could alias the block, so reads after them would
        // have to wait.
        ddsPutBlock<BytesPerPixel>(rows, column, pixels);
    }
};

}  // namespace

BlockRowKernel ddsAtcKernelPortable(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    if (!ddsWordsAreRgba) return nullptr;
    return ddsKernelOf<BlockWalk<WordBlock>::Kernel, B::AtcRgb, B::AtcExplicitAlpha, B::AtcInterpolatedAlpha>(format, bytesPerPixel);
}
