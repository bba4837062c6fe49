// DXT1, DXT3 and DXT5 block rows in portable C++: a block's palette is
// built as four 32-bit RGBA words (R in the low byte) by the rule of
// colour_rule.h, and each pixel row of the block is written straight to its
// destination row as four words, or packed to three, with no 64-byte block
// in between.  DXT3 and DXT5 alpha is merged into the words before they are
// stored.

#include <cstdint>

#include "bc1_3/bc1_3.h"
#include "bc1_3/colour_rule.h"
#include "common/bytes.h"
#include "common/channel.h"
#include "common/rows.h"

namespace {

using B = BlockFormat;

constexpr uint32_t ColorBits = 0x00FFFFFF;

template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        using L = Bc13Layout<Format, BytesPerPixel>;
        const uint8_t *colorBlock = block + L::ColorOffset;
        uint32_t palette[4];
        ddsColourPalette(colorBlock, L::FourColours, palette);
        uint32_t alpha[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        uint64_t alphaIndices = 0;
        if (L::MergeAlpha && Format == B::Dxt5) {
            for (uint32_t k = 0; k < 8; ++k) alpha[k] = uint32_t{ddsChannelValue(block[0], block[1], k)} << 24;
            alphaIndices = ddsChannelIndices(block);
        }
        for (int r = 0; r < 4; ++r) {
            const uint32_t indices = colorBlock[4 + r];
            uint32_t p[4];
            for (int c = 0; c < 4; ++c) p[c] = palette[(indices >> (2 * c)) & 3];
            if (L::MergeAlpha && Format == B::Dxt3) {
                const uint32_t explicitAlpha = ddsLoad16(block + 2 * r);
                for (int c = 0; c < 4; ++c) p[c] = (p[c] & ColorBits) | ((explicitAlpha >> (4 * c)) & 0xF) * 17 << 24;
            }
            if (L::MergeAlpha && Format == B::Dxt5) {
                const uint32_t rowIndices = static_cast<uint32_t>(alphaIndices >> (12 * r));
                for (int c = 0; c < 4; ++c) p[c] = (p[c] & ColorBits) | alpha[(rowIndices >> (3 * c)) & 7];
            }
            ddsPutPixels<BytesPerPixel>(rows[r] + column, p[0], p[1], p[2], p[3]);
        }
    }
};

}  // namespace

BlockRowKernel ddsBc13KernelPortable(BlockFormat format, int bytesPerPixel) {
    if (!ddsWordsAreRgba) return nullptr;
    return ddsKernelOf<BlockWalk<WordBlock>::Kernel, B::Dxt1, B::Dxt3, B::Dxt5>(format, bytesPerPixel);
}
