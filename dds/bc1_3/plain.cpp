#include <cstring>

#include "bc1_3/bc1_3.h"
#include "bc1_3/colour_rule.h"
#include "bc4_5/bc4_5.h"
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

// A DXT5 normal map's 16 pixels: x from alpha to red, y kept in green,
// blue the z that BC5's normal maps make from them, alpha 255.
void normalFromAlphaAndGreen(uint8_t *blockOrigin, ptrdiff_t rowStride) {
    for (int r = 0; r < BlockSide; ++r) {
        uint8_t *pixel = blockOrigin + r * rowStride;
        for (int c = 0; c < BlockSide; ++c, pixel += RgbaBytes) {
            pixel[0] = pixel[AlphaByte];
            pixel[2] = ddsNormalZ(pixel[0], pixel[1]);
            pixel[AlphaByte] = 255;
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
    // DXT3 and DXT5 carry the alpha block first and the colour block after.
    const uint8_t *colorBlock = format == B::Dxt1 ? block : block + 8;
    ddsWriteColorIndices(blockOrigin, rowStride, colorBlock, ddsDecodeColorPalette(colorBlock, format != B::Dxt1));
    if (format == B::Dxt3) ddsApplyExplicitAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt5 || format == B::Dxt5Normal) applyInterpolatedAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt5Normal) normalFromAlphaAndGreen(blockOrigin, rowStride);
}
