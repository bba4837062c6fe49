// ATC block-row kernels in portable C++, and the choice of kernel.  A
// block's palette is four 32-bit RGBA words (R in the low byte); each
// pixel is the word its index selects, with the alpha byte replaced from
// the alpha block where there is one and the pixel keeps it.  The output
// is the plain decoders', byte for byte.

#include "atc.h"
#include "atc_ssse3.h"
#include "bytes.h"

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

template <int BytesPerPixel>
inline void storePixel(uint8_t *destination, uint32_t word) {
    destination[0] = static_cast<uint8_t>(word);
    destination[1] = static_cast<uint8_t>(word >> 8);
    destination[2] = static_cast<uint8_t>(word >> 16);
    if (BytesPerPixel == 4) destination[3] = static_cast<uint8_t>(word >> 24);
}

template <AtcFormat Format, int BytesPerPixel>
void decodeRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    constexpr size_t BlockBytes = Format == AtcFormat::Rgb ? 8 : 16;
    constexpr bool MergeAlpha = Format != AtcFormat::Rgb && BytesPerPixel == 4;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + size_t{b} * BlockBytes;
        const uint8_t *colourBlock = block + BlockBytes - 8;
        uint32_t words[4];
        palette(colourBlock, words);
        uint32_t alpha[8] = {};
        uint64_t alphaIndices = 0;
        if (MergeAlpha) {
            for (uint32_t &w : words) w &= 0x00FFFFFFu;
            if (Format == AtcFormat::InterpolatedAlpha) {
                alphaWords(block[0], block[1], alpha);
                alphaIndices = ddsLoad64(block) >> 16;
            }
        }
        for (int r = 0; r < 4; ++r) {
            uint8_t *destination = rows[r] + size_t{b} * 4 * BytesPerPixel;
            const uint32_t indices = colourBlock[4 + r];
            const uint32_t explicitAlpha = Format == AtcFormat::ExplicitAlpha ? ddsLoad16(block + 2 * r) : 0;
            const uint32_t alphaRow = static_cast<uint32_t>(alphaIndices >> (12 * r));
            for (int c = 0; c < 4; ++c) {
                uint32_t word = words[indices >> (2 * c) & 3u];
                if (MergeAlpha && Format == AtcFormat::ExplicitAlpha) word |= (explicitAlpha >> (4 * c) & 15u) * 17 << 24;
                if (MergeAlpha && Format == AtcFormat::InterpolatedAlpha) word |= alpha[alphaRow >> (3 * c) & 7u];
                storePixel<BytesPerPixel>(destination + c * BytesPerPixel, word);
            }
        }
    }
}

BlockRowKernel portableKernel(AtcFormat format, int bytesPerPixel) {
    if (bytesPerPixel != 3 && bytesPerPixel != 4) return nullptr;
    const bool four = bytesPerPixel == 4;
    switch (format) {
        case AtcFormat::Rgb: return four ? &decodeRow<AtcFormat::Rgb, 4> : &decodeRow<AtcFormat::Rgb, 3>;
        case AtcFormat::ExplicitAlpha:
            return four ? &decodeRow<AtcFormat::ExplicitAlpha, 4> : &decodeRow<AtcFormat::ExplicitAlpha, 3>;
        case AtcFormat::InterpolatedAlpha:
            return four ? &decodeRow<AtcFormat::InterpolatedAlpha, 4> : &decodeRow<AtcFormat::InterpolatedAlpha, 3>;
    }
    return nullptr;
}

}  // namespace

BlockRowKernel ddsAtcRowKernelTier(AtcFormat format, int bytesPerPixel, AtcTier tier) {
    return tier == AtcTier::Ssse3 ? ddsAtcSsse3Kernel(format, bytesPerPixel) : portableKernel(format, bytesPerPixel);
}

BlockRowKernel ddsAtcRowKernel(AtcFormat format, int bytesPerPixel) {
    const BlockRowKernel fast = ddsAtcSsse3Kernel(format, bytesPerPixel);
    return fast != nullptr ? fast : portableKernel(format, bytesPerPixel);
}
