// The plain ATC block decoders, pixel by pixel, by the rules of
// atc_rules.h; the row kernels of atc_rows.cpp and atc_ssse3.cpp are held
// to them byte for byte.  The colour block's indices and the explicit alpha
// block are laid out as DXT3's, and written by its functions.

#include "atc/atc.h"

#include "atc/atc_rules.h"
#include "bc1_3/bc1_3.h"
#include "common/channel.h"

namespace {

void writeColours(const uint8_t *colourBlock, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    uint32_t words[4];
    atcPalette(colourBlock, words);
    ColorPalette palette;
    for (int k = 0; k < 16; ++k) palette.entries[k / 4][k % 4] = static_cast<uint8_t>(words[k / 4] >> (8 * (k % 4)));
    ddsWriteColorIndices(blockOrigin, rowStride, colourBlock, palette);
}

void decodeInterpolated(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    uint8_t values[8];
    atcAlphaValues(block[0], block[1], values);
    const uint64_t indices = ddsChannelIndices(block);
    for (int i = 0; i < 16; ++i) blockOrigin[(i / 4) * rowStride + 4 * (i % 4) + 3] = values[indices >> (3 * i) & 7u];
}

}  // namespace

void ddsDecodeAtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    switch (format) {
        case BlockFormat::AtcRgb: return writeColours(block, blockOrigin, rowStride);
        case BlockFormat::AtcExplicitAlpha:
            writeColours(block + 8, blockOrigin, rowStride);
            return ddsApplyExplicitAlpha(blockOrigin, rowStride, block);
        case BlockFormat::AtcInterpolatedAlpha:
            writeColours(block + 8, blockOrigin, rowStride);
            return decodeInterpolated(block, blockOrigin, rowStride);
        default: return;
    }
}
