#include "blocks.h"

#include <cstring>

#include "bc6h.h"
#include "bc7.h"
#include "bytes.h"
#include "rgtc.h"

namespace {

constexpr int BlockSide = 4;
constexpr int RgbaBytes = 4;
constexpr int AlphaByte = 3;

void expand565(uint32_t color, uint8_t rgba[4]) {
    rgba[0] = static_cast<uint8_t>(((color >> 11) & 0x1F) << 3);
    rgba[1] = static_cast<uint8_t>(((color >> 5) & 0x3F) << 2);
    rgba[2] = static_cast<uint8_t>((color & 0x1F) << 3);
    rgba[3] = 255;
}

uint8_t mix(int weight0, uint8_t c0, int weight1, uint8_t c1, int divisor) {
    return static_cast<uint8_t>((weight0 * c0 + weight1 * c1) / divisor);
}

}  // namespace

ColorPalette ddsDecodeColorPalette(const uint8_t colorBlock[8], bool alwaysFourColours) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    ColorPalette palette;
    uint8_t(&e)[4][4] = palette.entries;
    expand565(color0, e[0]);
    expand565(color1, e[1]);
    if (color0 > color1 || alwaysFourColours) {
        for (int c = 0; c < 3; ++c) {
            e[2][c] = mix(2, e[0][c], 1, e[1][c], 3);
            e[3][c] = mix(1, e[0][c], 2, e[1][c], 3);
        }
        e[2][3] = 255;
        e[3][3] = 255;
    } else {
        for (int c = 0; c < 3; ++c) e[2][c] = mix(1, e[0][c], 1, e[1][c], 2);
        e[2][3] = 255;
        // The transparent texel of three-colour mode is cyan, not black.
        e[3][0] = 0;
        e[3][1] = 255;
        e[3][2] = 255;
        e[3][3] = 0;
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

void ddsInterpolatedAlphaTable(uint8_t alpha0, uint8_t alpha1, uint8_t table[8]) {
    table[0] = alpha0;
    table[1] = alpha1;
    if (alpha0 > alpha1) {
        for (int i = 1; i <= 6; ++i) table[1 + i] = mix(7 - i, alpha0, i, alpha1, 7);
    } else {
        for (int i = 1; i <= 4; ++i) table[1 + i] = mix(5 - i, alpha0, i, alpha1, 5);
        table[6] = 0;
        table[7] = 255;
    }
}

void ddsApplyInterpolatedAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride,
                               const uint8_t alphaBlock[8]) {
    uint8_t table[8];
    ddsInterpolatedAlphaTable(alphaBlock[0], alphaBlock[1], table);
    // Two 24-bit groups of eight 3-bit indices: rows 0-1, then rows 2-3.
    for (int half = 0; half < 2; ++half) {
        const uint32_t indices = ddsLoad24(alphaBlock + 2 + 3 * half);
        for (int k = 0; k < 8; ++k) {
            const int r = 2 * half + k / BlockSide;
            const int c = k % BlockSide;
            blockOrigin[r * rowStride + c * RgbaBytes + AlphaByte] = table[(indices >> (3 * k)) & 7];
        }
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

void ddsDecodeBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin,
                    ptrdiff_t rowStride) {
    switch (format) {
        case Dxt1: case Dxt2: case Dxt3: case Dxt4: case Dxt5: {
            // DXT2 to DXT5 carry the alpha block first and the colour block after.
            const uint8_t *colorBlock = format == Dxt1 ? block : block + 8;
            ddsWriteColorIndices(blockOrigin, rowStride, colorBlock, ddsDecodeColorPalette(colorBlock, format != Dxt1));
            if (format == Dxt2 || format == Dxt3) ddsApplyExplicitAlpha(blockOrigin, rowStride, block);
            if (format == Dxt4 || format == Dxt5) ddsApplyInterpolatedAlpha(blockOrigin, rowStride, block);
            if (format == Dxt2 || format == Dxt4) ddsUnpremultiplyBlock(blockOrigin, rowStride);
            return;
        }
        case Bc4: case Bc4Signed: case Bc5: case Bc5Signed: case Bc5Normal: case Bc5SignedNormal:
            ddsDecodeRgtcBlock(format, block, blockOrigin, rowStride);
            return;
        case Bc6h: case Bc6hSigned:
            ddsDecodeBc6hBlock(block, format == Bc6hSigned, blockOrigin, rowStride);
            return;
        case Bc7:
            ddsDecodeBc7Block(block, blockOrigin, rowStride);
            return;
        default:
            return;
    }
}

void ddsDecodeBlockRowScalar(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                             uint8_t *const rows[4], int bytesPerPixel) {
    const uint32_t blockBytes = ddsBlockBytes(format);
    const ptrdiff_t blockWidthBytes = BlockSide * bytesPerPixel;
    uint8_t decoded[BlockSide * BlockSide * RgbaBytes];
    for (uint32_t b = 0; b < blockCount; ++b) {
        ddsDecodeBlock(format, blocks + static_cast<size_t>(b) * blockBytes, decoded,
                       BlockSide * RgbaBytes);
        const size_t column = static_cast<size_t>(b) * static_cast<size_t>(blockWidthBytes);
        for (int r = 0; r < BlockSide; ++r) {
            const uint8_t *source = decoded + r * BlockSide * RgbaBytes;
            uint8_t *destination = rows[r] + column;
            if (bytesPerPixel == RgbaBytes) {
                std::memcpy(destination, source, BlockSide * RgbaBytes);
            } else {
                for (int c = 0; c < BlockSide; ++c) std::memcpy(destination + 3 * c, source + 4 * c, 3);
            }
        }
    }
}
