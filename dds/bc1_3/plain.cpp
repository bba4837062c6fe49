#include <cstring>

#include "bc1_3/bc1_3.h"
#include "bc1_3/colour_rule.h"
#include "common/bytes.h"
#include "common/channel.h"

namespace {

constexpr int BlockSide = 4;
constexpr int RgbaBytes = 4;
constexpr int AlphaByte = 3;

// Entry (w0, w1, d) of the palette: each field's mix over d times its
// field's largest value.
void mixEntry(uint32_t color0, uint32_t color1, uint32_t w0, uint32_t w1, uint32_t d, uint8_t rgba[4]) {
    rgba[0] = ddsColourChannel(w0 * ddsRed565(color0) + w1 * ddsRed565(color1), d * 31);
    rgba[1] = ddsColourChannel(w0 * ddsGreen565(color0) + w1 * ddsGreen565(color1), d * 63);
    rgba[2] = ddsColourChannel(w0 * ddsBlue565(color0) + w1 * ddsBlue565(color1), d * 31);
    rgba[3] = 255;
}

}  // namespace

ColorPalette ddsDecodeColorPalette(const uint8_t colorBlock[8], bool alwaysFourColours) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    ColorPalette palette;
    uint8_t(&e)[4][4] = palette.entries;
    mixEntry(color0, color1, 1, 0, 1, e[0]);
    mixEntry(color0, color1, 0, 1, 1, e[1]);
    if (alwaysFourColours || !ddsThreeColourMode(color0, color1)) {
        mixEntry(color0, color1, 2, 1, 3, e[2]);
        mixEntry(color0, color1, 1, 2, 3, e[3]);
    } else {
        mixEntry(color0, color1, 1, 1, 2, e[2]);
        std::memset(e[3], 0, sizeof e[3]);  // transparent black
    }
    return palette;
}

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

void ddsApplyInterpolatedAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t alphaBlock[8]) {
    uint8_t table[8];
    ddsChannelTable(alphaBlock[0], alphaBlock[1], table);
    const uint64_t indices = ddsChannelIndices(alphaBlock);
    for (int k = 0; k < 16; ++k) {
        blockOrigin[(k / BlockSide) * rowStride + (k % BlockSide) * RgbaBytes + AlphaByte] =
            table[(indices >> (3 * k)) & 7];
    }
}

void ddsUnpremultiplyBlock(uint8_t *blockOrigin, ptrdiff_t rowStride) {
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

void ddsDecodeBc13Block(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    using B = BlockFormat;
    // DXT2 to DXT5 carry the alpha block first and the colour block after.
    const uint8_t *colorBlock = format == B::Dxt1 ? block : block + 8;
    ddsWriteColorIndices(blockOrigin, rowStride, colorBlock, ddsDecodeColorPalette(colorBlock, format != B::Dxt1));
    if (format == B::Dxt2 || format == B::Dxt3) ddsApplyExplicitAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt4 || format == B::Dxt5) ddsApplyInterpolatedAlpha(blockOrigin, rowStride, block);
    if (format == B::Dxt2 || format == B::Dxt4) ddsUnpremultiplyBlock(blockOrigin, rowStride);
}
