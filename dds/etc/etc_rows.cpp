// The portable ETC and EAC block-row kernels, and the choice of kernel.
// A colour block becomes palettes of RGBA words: individual and
// differential blocks one of four words per subblock (base colour plus
// each modifier, clamped), T and H blocks their four paint colours; each
// pixel is the word its 2-bit index picks.  Planar blocks are worked out
// pixel by pixel.  EAC blocks become their eight values, picked by 3-bit
// indices.  The rules are etc_rules.h's.

#include <cstddef>
#include <cstdint>

#include "etc/etc.h"
#include "etc/etc_rules.h"
#include "common/rows.h"

namespace {

inline uint32_t opaqueWord(EtcColour c) { return ddsRgbaWord(etcClampByte(c.r), etcClampByte(c.g), etcClampByte(c.b), 255); }

// Individual and differential blocks: subblock s's four words at
// palette[4s .. 4s + 3], by pixel index; the transparent index's word is 0.
void subblockPalettes(const uint8_t *block, bool punchThrough, uint32_t palette[8]) {
    const bool transparentIndex = etcTransparentIndex(block, punchThrough);
    const uint64_t *pairs = kEtcBasePairs.pairs[etcIndividual(block, punchThrough) ? 0 : 1];
    const uint64_t red = pairs[block[0]], green = pairs[block[1]], blue = pairs[block[2]];
    for (unsigned s = 0; s < 2; ++s) {
        const EtcColour base = {static_cast<int>(red >> 32 * s & 0xFF), static_cast<int>(green >> 32 * s & 0xFF),
                                static_cast<int>(blue >> 32 * s & 0xFF)};
        const unsigned codeword = etcCodeword(block, s != 0);
        for (unsigned k = 0; k < 4; ++k)
            palette[4 * s + k] = opaqueWord(etcMoved(base, etcModifier(codeword, k, transparentIndex)));
        if (transparentIndex) palette[4 * s + 2] = 0;
    }
}

// T and H blocks: the four paint colours, in both halves of the palette.
void paintPalette(uint64_t word, bool tMode, bool transparentIndex, uint32_t palette[8]) {
    EtcColour paint[4];
    etcPaintColours(word, tMode, paint);
    for (int k = 0; k < 4; ++k) palette[k] = palette[4 + k] = opaqueWord(paint[k]);
    if (transparentIndex) palette[2] = palette[6] = 0;
}

// The 16 pixels of an 8-byte colour block as RGBA words (red in the low
// byte), row by row (pixel x, y at 4y + x).
template <bool PunchThrough>
void colorWords(const uint8_t *block, uint32_t pixels[16]) {
    constexpr bool punchThrough = PunchThrough;
    const uint64_t word = ddsEtcWord(block);
    const EtcColourMode mode = etcColourMode(block, punchThrough);
    uint32_t palette[8];
    if (mode == EtcColourMode::Subblocks) {
        subblockPalettes(block, punchThrough, palette);
    } else if (mode != EtcColourMode::Planar) {
        paintPalette(word, mode == EtcColourMode::T, etcTransparentIndex(block, punchThrough), palette);
    } else {
        const EtcPlane plane = etcPlane(word);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) pixels[4 * y + x] = opaqueWord(etcPlanarColour(plane, x, y));
        return;
    }
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 4; ++x)
            pixels[4 * y + x] = palette[(etcSecondSubblock(word, x, y) ? 4 : 0) | etcPixelIndex(word, x, y)];
}

// The 16 values of an EAC block as bytes, row by row: 8-bit alpha, or the
// 11-bit values made bytes (`eleven`).
void eacBytes(const uint8_t *block, bool eleven, uint8_t bytes[16]) {
    uint8_t values[8];
    for (unsigned j = 0; j < 8; ++j) values[j] = etcEacValue(block, j, eleven);
    const uint64_t word = ddsEtcWord(block);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 4; ++x) bytes[4 * y + x] = values[etcEacIndex(word, x, y)];
}

// A block of `Format` as 16 RGBA words, stored at `BytesPerPixel`.
template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        uint32_t pixels[16];
        if constexpr (Format == BlockFormat::EacR11 || Format == BlockFormat::EacRg11) {
            uint8_t red[16], green[16];
            eacBytes(block, true, red);
            if (Format == BlockFormat::EacRg11) eacBytes(block + 8, true, green);
            for (int p = 0; p < 16; ++p) {
                pixels[p] = Format == BlockFormat::EacR11 ? red[p] * 0x010101u | 0xFF000000u
                                                        : red[p] | static_cast<uint32_t>(green[p]) << 8 | 0xFF000000u;
            }
        } else if constexpr (Format == BlockFormat::Etc2Rgba) {
            colorWords<false>(block + 8, pixels);
            // Without alpha, RGBA blocks are their colour blocks.
            if constexpr (BytesPerPixel == 4) {
                uint8_t alpha[16];
                eacBytes(block, false, alpha);
                for (int p = 0; p < 16; ++p) pixels[p] = (pixels[p] & 0x00FFFFFFu) | static_cast<uint32_t>(alpha[p]) << 24;
            }
        } else {
            colorWords<Format == BlockFormat::Etc2PunchThrough>(block, pixels);
        }
        ddsPutBlock<BytesPerPixel>(rows, column, pixels);
    }
};

}  // namespace

BlockRowKernel ddsEtcKernelPortable(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    if (!ddsWordsAreRgba) return nullptr;
    return ddsKernelOf<BlockWalk<WordBlock>::Kernel, B::Etc2Rgb, B::Etc2PunchThrough, B::Etc2Rgba, B::EacR11, B::EacRg11>(
        format, bytesPerPixel);
}
