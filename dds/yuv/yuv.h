// YUV pixels (packed 4:4:4, packed 4:2:2 and the 4:2:0 planes) and packed
// 4:2:2 RGB, converted to 8-bit RGB(A).
//
// YUV is BT.601 studio range, by the fixed-point equations for 8-bit
// samples (C = Y - 16, D = U - 128, E = V - 128;
// R = (298 C + 409 E + 128) >> 8, G = (298 C - 100 D - 208 E + 128) >> 8,
// B = (298 C + 516 D + 128) >> 8, each clamped to [0, 255]) applied at the
// samples' full precision: with k = 1, 4, 256 for 8-, 10- and 16-bit
// samples, C = Y - 16k, D = U - 128k, E = V - 128k, the rounding term is
// 128k and the shift 8 + log2(k).  That is within 1 of
// round(255 clamp(Y' + 1.402 Pr, 0, 1)) and its G and B with
// Y' = (Y - 16k) / 219k, Pb, Pr = (U, V - 128k) / 224k.  Chroma is shared,
// not interpolated: one U, V for a pair of pixels (4:2:2) or for a 2 x 2
// block (4:2:0).
#ifndef DDS_YUV_H
#define DDS_YUV_H

#include <cstdint>

enum class YuvLayout : uint8_t {
    Ayuv,  // 8-bit V, U, Y, A: 4 bytes a pixel
    Y410,  // U bits 0-9, Y 10-19, V 20-29, alpha 30-31: 4 bytes a pixel
    Y416,  // 16-bit U, Y, V, A: 8 bytes a pixel
    Yuy2,  // pairs of pixels, 8-bit Y0, U, Y1, V
    Uyvy,  // pairs of pixels, 8-bit U, Y0, V, Y1
    Y210,  // pairs of pixels, 16-bit Y0, U, Y1, V, each sample in the top 10 bits
    Y216,  // pairs of pixels, 16-bit Y0, U, Y1, V
    Rgbg,  // pairs of RGB pixels, bytes R, G0, B, G1: (R, G0, B) and (R, G1, B)
    Grgb,  // pairs of RGB pixels, bytes G0, R, G1, B
    Nv12,  // planes: h rows of w 8-bit Y, then h/2 rows of w/2 U, V pairs
    P010,  // the same planes of 16-bit samples in the top 10 bits
    P016,  // the same planes of 16-bit samples
};

constexpr bool ddsYuvIsPlanar(YuvLayout layout) { return layout >= YuvLayout::Nv12; }
constexpr bool ddsYuvIsPairs(YuvLayout layout) { return layout >= YuvLayout::Yuy2 && layout <= YuvLayout::Grgb; }

// Bytes of a sample: 1 for the 8-bit layouts, 2 for the 16-bit ones (10-bit
// samples included); for packed 4:4:4, a pixel's bytes.
constexpr uint32_t ddsYuvSampleBytes(YuvLayout layout) {
    return layout == YuvLayout::Ayuv || layout == YuvLayout::Y410 ? 4
           : layout == YuvLayout::Y416                             ? 8
           : layout == YuvLayout::Y210 || layout == YuvLayout::Y216 || layout == YuvLayout::P010 ||
                   layout == YuvLayout::P016
               ? 2
               : 1;
}

// Bytes of a stored row of `width` pixels of a packed layout: a pixel's
// bytes each, or for pairs ceil(width / 2) pairs of four samples.
constexpr uint64_t ddsYuvRowBytes(YuvLayout layout, uint32_t width) {
    return ddsYuvIsPairs(layout) ? (uint64_t{width} + 1) / 2 * 4 * ddsYuvSampleBytes(layout)
                                 : uint64_t{width} * ddsYuvSampleBytes(layout);
}

// The rule above for samples of 8 + depthShift bits (depthShift 0, 2, 8):
// the R, G, B bytes.
inline void ddsYuvToRgb(int32_t y, int32_t u, int32_t v, uint32_t depthShift, uint8_t rgb[3]) {
    const int32_t k = 1 << depthShift;
    const int32_t c = y - 16 * k, d = u - 128 * k, e = v - 128 * k;
    const int32_t sums[3] = {298 * c + 409 * e, 298 * c - 100 * d - 208 * e, 298 * c + 516 * d};
    for (int i = 0; i < 3; ++i) {
        const int32_t rounded = sums[i] + 128 * k;  // below 2^26 in magnitude
        const int32_t value = rounded < 0 ? 0 : rounded >> (8 + depthShift);
        rgb[i] = static_cast<uint8_t>(value > 255 ? 255 : value);
    }
}

// Converts a stored row of `width` pixels of a packed layout (anything but
// the planes) to `bytesPerPixel` (3 or 4) bytes a pixel, pixel by pixel:
// the rule every faster path matches.  An odd width drops the second pixel
// of the last pair.  Alpha: AYUV's byte, Y416's 16 bits and Y410's 2 bits
// by the unsigned rule; 255 for the others.
void ddsConvertYuvRowPlain(YuvLayout layout, const uint8_t *source, uint32_t width, uint8_t *destination,
                           uint32_t bytesPerPixel);

// Two rows of a planar layout from their luma rows (the second follows the
// first: width samples each) and their row of width / 2 U, V pairs, into
// `top` and `bottom`, `bytesPerPixel` bytes a pixel.  `width` is even.
void ddsConvertYuvPlanes(YuvLayout layout, const uint8_t *luma, const uint8_t *chroma, uint32_t width, uint8_t *top,
                         uint8_t *bottom, uint32_t bytesPerPixel);

// The row kernels are ddsYuvKernel's (layout_kernels.h).

#endif
