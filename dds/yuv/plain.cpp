#include <cstring>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "yuv/yuv.h"

namespace {

// The bit depth above 8 of a layout's samples, and how far its stored
// samples are moved down first (10-bit samples in the top of 16 bits).
uint32_t depthShift(YuvLayout layout) {
    switch (layout) {
        case YuvLayout::Y410: case YuvLayout::Y210: case YuvLayout::P010: return 2;
        case YuvLayout::Y416: case YuvLayout::Y216: case YuvLayout::P016: return 8;
        default: return 0;
    }
}

uint32_t storedShift(YuvLayout layout) { return layout == YuvLayout::Y210 || layout == YuvLayout::P010 ? 6 : 0; }

// Sample `i` of `samples`, moved down to its bits.
inline int32_t sampleAt(const uint8_t *samples, uint32_t i, uint32_t sampleBytes, uint32_t shift) {
    return static_cast<int32_t>((sampleBytes == 1 ? samples[i] : ddsLoad16(samples + 2 * i)) >> shift);
}

void put(uint8_t *destination, const uint8_t rgb[3], uint8_t alpha, uint32_t bytesPerPixel) {
    const uint8_t rgba[4] = {rgb[0], rgb[1], rgb[2], alpha};
    std::memcpy(destination, rgba, bytesPerPixel);
}

// A 4:4:4 pixel: Y, U, V and the alpha byte.
void packedPixel(YuvLayout layout, const uint8_t *p, uint8_t *destination, uint32_t bytesPerPixel) {
    uint8_t rgb[3];
    uint8_t alpha = 255;
    if (layout == YuvLayout::Ayuv) {
        ddsYuvToRgb(p[2], p[1], p[0], 0, rgb);
        alpha = p[3];
    } else if (layout == YuvLayout::Y410) {
        const uint32_t word = ddsLoad32(p);
        ddsYuvToRgb(static_cast<int32_t>(word >> 10 & 0x3FF), static_cast<int32_t>(word & 0x3FF),
                    static_cast<int32_t>(word >> 20 & 0x3FF), 2, rgb);
        alpha = ddsUnsignedToUnorm8(word >> 30, 2);
    } else {
        ddsYuvToRgb(static_cast<int32_t>(ddsLoad16(p + 2)), static_cast<int32_t>(ddsLoad16(p)),
                    static_cast<int32_t>(ddsLoad16(p + 4)), 8, rgb);
        alpha = ddsUnsignedToUnorm8(ddsLoad16(p + 6), 16);
    }
    put(destination, rgb, alpha, bytesPerPixel);
}

// Where a pair's four samples are: the first pixel's luma (or green), the
// chroma shared by both (U and V, or R and B), the second pixel's luma.
struct PairOrder {
    uint8_t first, chromaA, chromaB, second;
};

// UYVY and RGBG lead with a chroma sample; YUY2, Y210, Y216 (Y0, U, Y1, V)
// and GRGB with a luma one.
PairOrder pairOrder(YuvLayout layout) {
    const bool chromaFirst = layout == YuvLayout::Uyvy || layout == YuvLayout::Rgbg;
    return chromaFirst ? PairOrder{1, 0, 2, 3} : PairOrder{0, 1, 3, 2};
}

void pairRow(YuvLayout layout, const uint8_t *source, uint32_t width, uint8_t *destination, uint32_t bytesPerPixel) {
    const PairOrder order = pairOrder(layout);
    const uint32_t sampleBytes = ddsYuvSampleBytes(layout), shift = storedShift(layout), depth = depthShift(layout);
    const bool rgb = layout == YuvLayout::Rgbg || layout == YuvLayout::Grgb;
    for (uint32_t x = 0; x < width; x += 2) {
        const uint8_t *pair = source + size_t{x} / 2 * 4 * sampleBytes;
        auto sample = [&](uint32_t i) { return sampleAt(pair, i, sampleBytes, shift); };
        const int32_t lumas[2] = {sample(order.first), sample(order.second)};
        for (uint32_t i = 0; i < 2 && x + i < width; ++i) {
            uint8_t colour[3] = {static_cast<uint8_t>(sample(order.chromaA)), static_cast<uint8_t>(lumas[i]),
                                 static_cast<uint8_t>(sample(order.chromaB))};
            if (!rgb) ddsYuvToRgb(lumas[i], sample(order.chromaA), sample(order.chromaB), depth, colour);
            put(destination + size_t{x + i} * bytesPerPixel, colour, 255, bytesPerPixel);
        }
    }
}

}  // namespace

void ddsConvertYuvRowPlain(YuvLayout layout, const uint8_t *source, uint32_t width, uint8_t *destination,
                           uint32_t bytesPerPixel) {
    if (ddsYuvIsPairs(layout)) {
        pairRow(layout, source, width, destination, bytesPerPixel);
        return;
    }
    const uint32_t pixelBytes = ddsYuvSampleBytes(layout);
    for (uint32_t x = 0; x < width; ++x) {
        packedPixel(layout, source + size_t{x} * pixelBytes, destination + size_t{x} * bytesPerPixel, bytesPerPixel);
    }
}

void ddsConvertYuvPlanes(YuvLayout layout, const uint8_t *luma, const uint8_t *chroma, uint32_t width, uint8_t *top,
                         uint8_t *bottom, uint32_t bytesPerPixel) {
    const uint32_t sampleBytes = ddsYuvSampleBytes(layout), shift = storedShift(layout), depth = depthShift(layout);
    const uint8_t *lumaRows[2] = {luma, luma + size_t{width} * sampleBytes};
    uint8_t *rows[2] = {top, bottom};
    for (uint32_t x = 0; x < width; ++x) {
        const int32_t u = sampleAt(chroma, x & ~1u, sampleBytes, shift), v = sampleAt(chroma, x | 1u, sampleBytes, shift);
        for (int r = 0; r < 2; ++r) {
            uint8_t *pixel = rows[r] + size_t{x} * bytesPerPixel;
            ddsYuvToRgb(sampleAt(lumaRows[r], x, sampleBytes, shift), u, v, depth, pixel);
            if (bytesPerPixel == 4) pixel[3] = 255;
        }
    }
}
