// ATC block-row kernels in portable C++, and the choice of kernel.  A
// block's palette is the rule's four 32-bit RGBA words (R in the low byte,
// atc_rules.h); each pixel is the word its index selects, with the alpha
// byte replaced from the alpha block where there is one and the pixel
// keeps it.  The output is the plain decoders', byte for byte.

#include "atc/atc.h"
#include "atc/atc_rules.h"
#include "common/bytes.h"
#include "common/rows.h"

namespace {

template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        constexpr bool MergeAlpha = Format != BlockFormat::AtcRgb && BytesPerPixel == 4;
        const uint8_t *colourBlock = block + ddsBlockBytes(Format) - 8;
        uint32_t words[4];
        atcPalette(colourBlock, words);
        const uint32_t indices = ddsLoad32(colourBlock + 4);
        uint32_t alpha[8] = {};
        uint64_t alphaBits = 0;
        if (MergeAlpha) {
            for (uint32_t &w : words) w &= 0x00FFFFFFu;
            alphaBits = ddsLoad64(block);
            if (Format == BlockFormat::AtcInterpolatedAlpha) {
                uint8_t values[8];
                atcAlphaValues(block[0], block[1], values);
                for (int k = 0; k < 8; ++k) alpha[k] = uint32_t{values[k]} << 24;
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
