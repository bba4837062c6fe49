// The plain ATC block decoders (atc.h has the rules), pixel by pixel; the
// row kernels of atc_rows.cpp are held to them byte for byte.

#include "atc/atc.h"

#include "common/bytes.h"
#include "common/channel_rules.h"

namespace {


// The four RGBA colours that a colour block's indices select.
struct AtcPalette {
    uint8_t entries[4][4];
};

AtcPalette colourPalette(const uint8_t *colourBlock) {
    const uint32_t colour0 = ddsLoad16(colourBlock), colour1 = ddsLoad16(colourBlock + 2);
    const uint8_t c0[3] = {static_cast<uint8_t>(ddsReplicateBits(colour0 >> 10 & 31, 5, 8)), static_cast<uint8_t>(ddsReplicateBits(colour0 >> 5 & 31, 5, 8)), static_cast<uint8_t>(ddsReplicateBits(colour0 & 31, 5, 8))};
    const uint8_t c1[3] = {static_cast<uint8_t>(ddsReplicateBits(colour1 >> 11, 5, 8)), static_cast<uint8_t>(ddsReplicateBits(colour1 >> 5 & 63, 6, 8)), static_cast<uint8_t>(ddsReplicateBits(colour1 & 31, 5, 8))};
    AtcPalette palette;
    for (int c = 0; c < 3; ++c) {
        const int a = c0[c], b = c1[c];
        if (colour0 & 0x8000u) {
            const int lowered = a - (b >> 2);
            palette.entries[0][c] = 0;
            palette.entries[1][c] = static_cast<uint8_t>(lowered > 0 ? lowered : 0);
            palette.entries[2][c] = c0[c];
        } else {
            palette.entries[0][c] = c0[c];
            palette.entries[1][c] = static_cast<uint8_t>((5 * a + 3 * b) >> 3);
            palette.entries[2][c] = static_cast<uint8_t>((3 * a + 5 * b) >> 3);
        }
        palette.entries[3][c] = c1[c];
    }
    for (auto &entry : palette.entries) entry[3] = 255;
    return palette;
}

void writeColours(const uint8_t *colourBlock, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const AtcPalette palette = colourPalette(colourBlock);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const uint32_t index = uint32_t{colourBlock[4 + r]} >> (2 * c) & 3u;
            for (int k = 0; k < 4; ++k) blockOrigin[r * rowStride + 4 * c + k] = palette.entries[index][k];
        }
    }
}

void decodeExplicit(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    writeColours(block + 8, blockOrigin, rowStride);
    for (int i = 0; i < 16; ++i) {
        const uint32_t value = uint32_t{block[i / 2]} >> (4 * (i % 2)) & 15u;
        blockOrigin[(i / 4) * rowStride + 4 * (i % 4) + 3] = static_cast<uint8_t>(value * 17);
    }
}

void decodeInterpolated(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    writeColours(block + 8, blockOrigin, rowStride);
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t values[8] = {a0, a1, 0, 0, 0, 0, 0, 255};
    if (a0 > a1) {
        for (uint32_t k = 1; k <= 6; ++k) values[1 + k] = ((7 - k) * a0 + k * a1 + 3) / 7;
    } else {
        for (uint32_t k = 1; k <= 4; ++k) values[1 + k] = ((5 - k) * a0 + k * a1 + 2) / 5;
    }
    const uint64_t indices = ddsLoad64(block) >> 16;
    for (int i = 0; i < 16; ++i) {
        blockOrigin[(i / 4) * rowStride + 4 * (i % 4) + 3] = static_cast<uint8_t>(values[indices >> (3 * i) & 7u]);
    }
}

}  // namespace

void ddsDecodeAtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    switch (format) {
        case BlockFormat::AtcRgb: return writeColours(block, blockOrigin, rowStride);
        case BlockFormat::AtcExplicitAlpha: return decodeExplicit(block, blockOrigin, rowStride);
        case BlockFormat::AtcInterpolatedAlpha: return decodeInterpolated(block, blockOrigin, rowStride);
        default: return;
    }
}
