// ATC block-row kernels in portable C++, and the choice of kernel.  A
// block's palette is four 32-bit RGBA words (R in the low byte); each
// pixel is the word its index selects, with the alpha byte replaced from
// the alpha block where there is one and the pixel keeps it.  The output
// is the plain decoders', byte for byte.

#include <cstring>

#include "atc/atc.h"
#include "common/bytes.h"

namespace {

inline uint32_t widen5(uint32_t v) { return v << 3 | v >> 2; }
inline uint32_t widen6(uint32_t v) { return v << 2 | v >> 4; }

inline uint32_t rgbaWord(uint32_t r, uint32_t g, uint32_t b) { return r | g << 8 | b << 16 | 0xFF000000u; }

inline void palette(const uint8_t *colourBlock, uint32_t words[4]) {
    const uint32_t colour0 = ddsLoad16(colourBlock), colour1 = ddsLoad16(colourBlock + 2);
    const uint32_t r0 = widen5(colour0 >> 10 & 31), g0 = widen5(colour0 >> 5 & 31), b0 = widen5(colour0 & 31);
    const uint32_t r1 = widen5(colour1 >> 11), g1 = widen6(colour1 >> 5 & 63), b1 = widen5(colour1 & 31);
    words[3] = rgbaWord(r1, g1, b1);
    if (colour0 & 0x8000u) {
        auto lowered = [](uint32_t a, uint32_t b) { return a > (b >> 2) ? a - (b >> 2) : 0; };
        words[0] = rgbaWord(0, 0, 0);
        words[1] = rgbaWord(lowered(r0, r1), lowered(g0, g1), lowered(b0, b1));
        words[2] = rgbaWord(r0, g0, b0);
    } else {
        words[0] = rgbaWord(r0, g0, b0);
        words[1] = rgbaWord((5 * r0 + 3 * r1) >> 3, (5 * g0 + 3 * g1) >> 3, (5 * b0 + 3 * b1) >> 3);
        words[2] = rgbaWord((3 * r0 + 5 * r1) >> 3, (3 * g0 + 5 * g1) >> 3, (3 * b0 + 5 * b1) >> 3);
    }
}

// The eight interpolated alpha values of an alpha block, in the alpha byte.
inline void alphaWords(uint32_t a0, uint32_t a1, uint32_t words[8]) {
    words[0] = a0 << 24;
    words[1] = a1 << 24;
    if (a0 > a1) {
        for (uint32_t k = 1; k <= 6; ++k) words[1 + k] = ((7 - k) * a0 + k * a1 + 3) / 7 << 24;
    } else {
        for (uint32_t k = 1; k <= 4; ++k) words[1 + k] = ((5 - k) * a0 + k * a1 + 2) / 5 << 24;
        words[6] = 0;
        words[7] = 0xFF000000u;
    }
}

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
constexpr bool WordsAreRgba = false;  // a word's bytes in memory would not be R, G, B, A
#else
constexpr bool WordsAreRgba = true;
#endif

// Four pixels of a row at 4 or 3 bytes a pixel: the words as they are, or
// packed into three words.
template <int BytesPerPixel>
inline void putPixels(uint8_t *destination, const uint32_t p[4]) {
    if (!WordsAreRgba) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < BytesPerPixel; ++k) {
                destination[BytesPerPixel * c + k] = static_cast<uint8_t>(p[c] >> (8 * k));
            }
        }
    } else if (BytesPerPixel == 4) {
        std::memcpy(destination, p, 16);
    } else {
        const uint32_t packed[3] = {(p[0] & 0xFFFFFFu) | p[1] << 24, (p[1] >> 8 & 0xFFFFu) | p[2] << 16,
                                    (p[2] >> 16 & 0xFFu) | p[3] << 8};
        std::memcpy(destination, packed, 12);
    }
}

// Everything a block needs is read before its pixels are stored: stores
// through byte pointers could alias the block, so reads after them would
// have to wait.
template <BlockFormat Format, int BytesPerPixel>
void decodeRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    constexpr size_t BlockBytes = ddsBlockBytes(Format);
    constexpr bool MergeAlpha = Format != BlockFormat::AtcRgb && BytesPerPixel == 4;
    uint8_t *const destinations[4] = {rows[0], rows[1], rows[2], rows[3]};
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + size_t{b} * BlockBytes;
        const uint8_t *colourBlock = block + BlockBytes - 8;
        uint32_t words[4];
        palette(colourBlock, words);
        const uint32_t indices = ddsLoad32(colourBlock + 4);
        uint32_t alpha[8] = {};
        uint64_t alphaBits = 0;
        if (MergeAlpha) {
            for (uint32_t &w : words) w &= 0x00FFFFFFu;
            alphaBits = ddsLoad64(block);
            if (Format == BlockFormat::AtcInterpolatedAlpha) {
                alphaWords(block[0], block[1], alpha);
                alphaBits >>= 16;
            }
        }
        for (unsigned r = 0; r < 4; ++r) {
            const uint32_t rowIndices = indices >> (8 * r);
            uint32_t pixels[4];
            for (unsigned c = 0; c < 4; ++c) {
                pixels[c] = words[rowIndices >> (2 * c) & 3u];
                if (MergeAlpha && Format == BlockFormat::AtcExplicitAlpha) {
                    pixels[c] |= static_cast<uint32_t>(alphaBits >> (16 * r + 4 * c) & 15u) * 17 << 24;
                }
                if (MergeAlpha && Format == BlockFormat::AtcInterpolatedAlpha) {
                    pixels[c] |= alpha[alphaBits >> (12 * r + 3 * c) & 7u];
                }
            }
            putPixels<BytesPerPixel>(destinations[r] + size_t{b} * 4 * BytesPerPixel, pixels);
        }
    }
}

template <BlockFormat Format, int BytesPerPixel>
struct PortableKernel {
    static constexpr BlockRowKernel run = decodeRow<Format, BytesPerPixel>;
};

}  // namespace

BlockRowKernel ddsAtcKernelPortable(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    return ddsKernelOf<PortableKernel, B::AtcRgb, B::AtcExplicitAlpha, B::AtcInterpolatedAlpha>(format, bytesPerPixel);
}
