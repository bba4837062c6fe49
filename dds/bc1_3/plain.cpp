#include <cstring>

#include "bc1_3/bc1_3.h"
#include "bc1_3/colour_rule.h"
#include "common/bytes.h"
#include "common/channel.h"

namespace {

constexpr int BlockSide = 4;
constexpr int RgbaBytes = 4;
constexpr int AlphaByte = 3;

}  // namespace

void ddsWriteColorIndices(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t colorBlock[8],
                          const ColorPalette &palette) {
    for (int r = 0; r < BlockSide; ++r) {
        const uint32_t indices = colorBlock[4 + r];
        uint8_t *pixel = blockOrigin + r * rowStride;
        for (int c = 0; c < BlockSide; ++c) {
            std::memcpy(pixel + c * RgbaBytes, palette.entries[(indices >> (2 * c)) & 3], RgbaBytes);
        }
    }
}

void ddsApplyExplicitAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t alphaBlock[8]) {
    for (int r = 0; r < BlockSide; ++r) {
        const uint32_t row = ddsLoad16(alphaBlock + 2 * r);
        uint8_t *pixel = blockOrigin + r * rowStride;
        for (int c = 0; c < BlockSide; ++c) {
            pixel[c * RgbaBytes + AlphaByte] = static_cast<uint8_t>(((row >> (4 * c)) & 0xF) * 17);
        }
    }
}

namespace {

void applyInterpolatedAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t alphaBlock[8]) {
    uint8_t table[8];
    ddsChannelTable(alphaBlock[0], alphaBlock[1], table);
    const uint64_t indices = ddsChannelIndices(alphaBlock);
    for (int k = 0; k < 16; ++k) {
        blockOrigin[(k / BlockSide) * rowStride + (k % BlockSide) * RgbaBytes + AlphaByte] =
            table[(indices >> (3 * k)) & 7];
    }
}

// Undoes premultiplied alpha in the 16 RGBA pixels of a block (DXT2, DXT4):
// each colour channel c of a pixel with alpha a > 0 becomes
// min(255, (c * 255 + a / 2) / a); a pixel with alpha 0 becomes (0, 0, 0, 0).
void unpremultiplyBlock(uint8_t *blockOrigin, ptrdiff_t rowStride) {
    for (int r = 0; r < BlockSide; ++r) {
        uint8_t *pixel = blockOrigin + r * rowStride;
        for (int c = 0; c < BlockSide; ++c, pixel += RgbaBytes) {
            const uint32_t alpha = pixel[AlphaByte];
            for (int channel = 0; channel < 3; ++channel) {
                const uint32_t value = alpha == 0 ? 0 : (pixel[channel] * 255u + alpha / 2) / alpha;
                pixel[channel] = static_cast<uint8_t>(value < 255 ? value : 255);
            }
        }
    }
}

}  // namespace

ColorPalette ddsDecodeColorPalette(const uint8_t colorBlock[8], bool alwaysFourColours) {
    uint32_t words[4];
    ddsColourPalette(colorBlock, alwaysFourColours, words);
    ColorPalette palette;
    for (int e = 0; e < 4; ++e) {
        for (int c = 0; c < 4; ++c) palette.entries[e][c] = static_cast<uint8_t>(words[e] >> (8 * c));
    }
    return palette;
}

void ddsDecodeBc13Block(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    using B = BlockFormat;
    // DXT2 to DXT5 carry the alpha block first and the colour block after.
    const uint8_t *colorBlock = format == B::Dxt1 ? block : block + 8;
    ddsWriteColorIndices(blockOrigin, rowStride, colorBlock, ddsDecodeColorPalette(colorBlock, format != B::Dxt1));
    if (format == B::Dxt2 || format == B::Dxt3) ddsApplyExplicitAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt4 || format == B::Dxt5) applyInterpolatedAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt2 || format == B::Dxt4) unpremultiplyBlock(blockOrigin, rowStride);
}
