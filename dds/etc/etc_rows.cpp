// The portable ETC and EAC block-row kernels, and the choice of kernel.
// A colour block becomes palettes of RGBA words: individual and
// differential blocks one of four words per subblock (base colour plus
// each modifier, clamped), T and H blocks their four paint colours; each
// pixel is the word its 2-bit index picks.  Planar blocks are worked out
// pixel by pixel.  EAC blocks become their eight values, picked by 3-bit
// indices.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "etc/etc.h"
#include "etc/etc_tables.h"
#include "etc/etc_kernels.h"
#include "common/rows.h"

namespace {

inline uint32_t clampByte(int value) { return static_cast<uint32_t>(value < 0 ? 0 : value > 255 ? 255 : value); }

inline uint32_t opaqueWord(int r, int g, int b) {
    return clampByte(r) | clampByte(g) << 8 | clampByte(b) << 16 | 0xFF000000u;
}

inline int field(uint64_t word, unsigned high, unsigned low) {
    return static_cast<int>((word >> low) & ((uint64_t{1} << (high - low + 1)) - 1));
}

inline int times17(int value) { return value * 17; }

// Individual and differential blocks: subblock s's four words at
// palette[4s .. 4s + 3], by pixel index.  Without the opaque bit, index 0
// is the base colour and index 2 the transparent word 0.
void subblockPalettes(const uint8_t *block, bool individual, bool transparentIndex, uint32_t palette[8]) {
    const uint64_t *pairs = kEtcBasePairs.pairs[individual ? 0 : 1];
    int base[2][3];
    for (int c = 0; c < 3; ++c) {
        base[0][c] = static_cast<int>(pairs[block[c]] & 0xFF), base[1][c] = static_cast<int>(pairs[block[c]] >> 32);
    }
    for (int s = 0; s < 2; ++s) {
        const int *ab = kEtcModifiers[s == 0 ? block[3] >> 5 : (block[3] >> 2) & 7];
        const int modifiers[4] = {transparentIndex ? 0 : ab[0], ab[1], -ab[0], -ab[1]};
        for (int k = 0; k < 4; ++k) {
            palette[4 * s + k] =
                opaqueWord(base[s][0] + modifiers[k], base[s][1] + modifiers[k], base[s][2] + modifiers[k]);
        }
        if (transparentIndex) palette[4 * s + 2] = 0;
    }
}

// T and H blocks: the four paint colours, in both halves of the palette.
void paintPalette(uint64_t word, bool tMode, bool transparentIndex, uint32_t palette[8]) {
    int first[3];
    int second[3] = {times17(field(word, 47, 44)), times17(field(word, 43, 40)), times17(field(word, 39, 36))};
    int distance;
    if (tMode) {
        first[0] = times17(field(word, 60, 59) << 2 | field(word, 57, 56));
        first[1] = times17(field(word, 55, 52)), first[2] = times17(field(word, 51, 48));
        distance = kEtcDistances[field(word, 35, 34) << 1 | field(word, 32, 32)];
    } else {
        first[0] = field(word, 62, 59);
        first[1] = field(word, 58, 56) << 1 | field(word, 52, 52);
        first[2] = field(word, 51, 51) << 3 | field(word, 49, 47);
        second[0] = field(word, 46, 43), second[1] = field(word, 42, 39), second[2] = field(word, 38, 35);
        const bool firstNotSmaller =
            (first[0] << 8 | first[1] << 4 | first[2]) >= (second[0] << 8 | second[1] << 4 | second[2]);
        distance = kEtcDistances[field(word, 34, 34) << 2 | field(word, 32, 32) << 1 | (firstNotSmaller ? 1 : 0)];
        for (int c = 0; c < 3; ++c) first[c] = times17(first[c]), second[c] = times17(second[c]);
    }
    auto moved = [](const int color[3], int d) { return opaqueWord(color[0] + d, color[1] + d, color[2] + d); };
    if (tMode) {
        palette[0] = moved(first, 0), palette[1] = moved(second, distance);
        palette[2] = moved(second, 0), palette[3] = moved(second, -distance);
    } else {
        palette[0] = moved(first, distance), palette[1] = moved(first, -distance);
        palette[2] = moved(second, distance), palette[3] = moved(second, -distance);
    }
    if (transparentIndex) palette[2] = 0;
    for (int k = 0; k < 4; ++k) palette[4 + k] = palette[k];
}

// Planar blocks: each pixel from the plane through the 6:7:6 colours O, H
// and V, rounded and clamped.
void planarWords(uint64_t word, uint32_t pixels[16]) {
    const int o[3] = {etcWiden(field(word, 62, 57), 6), etcWiden(field(word, 56, 56) << 6 | field(word, 54, 49), 7),
                      etcWiden(field(word, 48, 48) << 5 | field(word, 44, 43) << 3 | field(word, 41, 39), 6)};
    const int h[3] = {etcWiden(field(word, 38, 34) << 1 | field(word, 32, 32), 6), etcWiden(field(word, 31, 25), 7),
                      etcWiden(field(word, 24, 19), 6)};
    const int v[3] = {etcWiden(field(word, 18, 13), 6), etcWiden(field(word, 12, 6), 7), etcWiden(field(word, 5, 0), 6)};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            int c[3];
            for (int k = 0; k < 3; ++k) c[k] = (x * (h[k] - o[k]) + y * (v[k] - o[k]) + 4 * o[k] + 2) >> 2;
            pixels[4 * y + x] = opaqueWord(c[0], c[1], c[2]);
        }
    }
}

// The eight values an EAC block's 3-bit indices pick.
void eacValues(const uint8_t *block, bool eleven, uint8_t values[8]) {
    const int base = block[0], multiplier = block[1] >> 4;
    const int *modifiers = kEacModifiers[block[1] & 15];
    for (int j = 0; j < 8; ++j) {
        if (eleven) {
            const int value = base * 8 + 4 + (multiplier == 0 ? modifiers[j] : modifiers[j] * multiplier * 8);
            values[j] = ddsEac11ToByte(value < 0 ? 0 : value > 2047 ? 2047 : value);
        } else {
            values[j] = static_cast<uint8_t>(clampByte(base + modifiers[j] * multiplier));
        }
    }
}

// The 16 pixels of an 8-byte colour block as RGBA words (red in the low
// byte), row by row (pixel x, y at 4y + x).
void colorWords(const uint8_t *block, bool punchThrough, uint32_t pixels[16]) {
    const uint64_t word = ddsEtcWord(block);
    const bool transparentIndex = punchThrough && (block[3] & 2) == 0;
    uint32_t palette[8];
    const uint32_t overflows = ddsEtcOverflows(block, punchThrough);
    if (overflows == 0) {
        subblockPalettes(block, !punchThrough && (block[3] & 2) == 0, transparentIndex, palette);
    } else if (overflows & 3) {
        paintPalette(word, (overflows & 1) != 0, transparentIndex, palette);
    } else {
        planarWords(word, pixels);
        return;
    }
    // The pixels (bit 4y + x) of the second subblock: the right half, or
    // with the flip bit the bottom half.  T and H blocks have the same
    // palette in both halves.
    const uint32_t second = (block[3] & 1) != 0 ? 0xFF00u : 0xCCCCu;
    const uint32_t lsb = static_cast<uint32_t>(block[6]) << 8 | block[7];
    const uint32_t msb = static_cast<uint32_t>(block[4]) << 8 | block[5];
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const int i = 4 * x + y, p = 4 * y + x;
            const uint32_t index = ((msb >> i) & 1) << 1 | ((lsb >> i) & 1);
            pixels[p] = palette[((second >> p) & 1) << 2 | index];
        }
    }
}

// The 16 values of an EAC block as bytes, row by row: 8-bit alpha, or the
// 11-bit values made bytes (`eleven`).
void eacBytes(const uint8_t *block, bool eleven, uint8_t bytes[16]) {
    uint8_t values[8];
    eacValues(block, eleven, values);
    const uint64_t word = ddsEtcWord(block);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) bytes[4 * y + x] = values[(word >> (45 - 3 * (4 * x + y))) & 7];
}

// The 16 RGBA words of a block of `Format`.
template <BlockFormat Format>
inline void blockWords(const uint8_t *block, uint32_t pixels[16]) {
    if constexpr (Format == BlockFormat::EacR11 || Format == BlockFormat::EacRg11) {
        uint8_t red[16], green[16];
        eacBytes(block, true, red);
        if (Format == BlockFormat::EacRg11) eacBytes(block + 8, true, green);
        for (int p = 0; p < 16; ++p) {
            pixels[p] = Format == BlockFormat::EacR11 ? red[p] * 0x010101u | 0xFF000000u
                                                    : red[p] | static_cast<uint32_t>(green[p]) << 8 | 0xFF000000u;
        }
    } else if constexpr (Format == BlockFormat::Etc2Rgba) {
        colorWords(block + 8, false, pixels);
        uint8_t alpha[16];
        eacBytes(block, false, alpha);
        for (int p = 0; p < 16; ++p) pixels[p] = (pixels[p] & 0x00FFFFFFu) | static_cast<uint32_t>(alpha[p]) << 24;
    } else {
        colorWords(block, Format == BlockFormat::Etc2PunchThrough, pixels);
    }
}

template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        uint32_t pixels[16];
        // Without alpha, RGBA blocks are their colour blocks.
        if (Format == BlockFormat::Etc2Rgba && BytesPerPixel == 3)
            colorWords(block + 8, false, pixels);
        else
            blockWords<Format>(block, pixels);
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
