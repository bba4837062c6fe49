// The 8-bit YUV layouts in vectors, with ddsConvertYuvRowPlain's bytes:
// AYUV to RGBA with SSE2, YUY2 and UYVY to RGB with SSSE3, eight pixels a
// step; the pixels a step does not cover go through the plain conversion.
//
// The rule's sums need 18 bits, but each splits into a multiple of 256 and
// a remainder that fits 16-bit lanes (C in -16..239, D and E in -128..127):
//   298 C + 409 E         = 256 (C + E)  + (42 C + 153 E)
//   298 C - 100 D - 208 E = 256 (C - E)  + (42 C - 100 D + 48 E)
//   298 C + 516 D         = 256 (C + 2D) + (42 C + 4 D)
// so that each channel is the first term plus the remainder plus 128
// shifted right by 8 (never outside -20128..29597), and packing the words
// to bytes with unsigned saturation clamps it to [0, 255].

#include <cstddef>

#include "common/cpu_features.h"
#include "common/simd.h"
#include "yuv/yuv.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>
#endif
#endif

namespace {

#if defined(DDS_HAVE_SSE2)
struct RgbWords {
    __m128i r, g, b;
};

// Eight pixels' R, G, B (as 16-bit words, not yet clamped) from their Y,
// U, V words.
inline RgbWords rgbWords(__m128i y, __m128i u, __m128i v) {
    const __m128i c = _mm_sub_epi16(y, _mm_set1_epi16(16));
    const __m128i d = _mm_sub_epi16(u, _mm_set1_epi16(128));
    const __m128i e = _mm_sub_epi16(v, _mm_set1_epi16(128));
    const __m128i base = _mm_add_epi16(_mm_mullo_epi16(c, _mm_set1_epi16(42)), _mm_set1_epi16(128));
    const __m128i red = _mm_add_epi16(base, _mm_mullo_epi16(e, _mm_set1_epi16(153)));
    const __m128i green = _mm_add_epi16(_mm_sub_epi16(base, _mm_mullo_epi16(d, _mm_set1_epi16(100))),
                                        _mm_mullo_epi16(e, _mm_set1_epi16(48)));
    const __m128i blue = _mm_add_epi16(base, _mm_slli_epi16(d, 2));
    return RgbWords{_mm_add_epi16(_mm_add_epi16(c, e), _mm_srai_epi16(red, 8)),
                    _mm_add_epi16(_mm_sub_epi16(c, e), _mm_srai_epi16(green, 8)),
                    _mm_add_epi16(_mm_add_epi16(c, _mm_add_epi16(d, d)), _mm_srai_epi16(blue, 8))};
}

// Byte `shift` / 8 of each 32-bit pixel of `a` then `b`, as eight words.
inline __m128i byteOfPixels(__m128i a, __m128i b, int shift) {
    const __m128i low = _mm_set1_epi32(0xFF);
    return _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(a, shift), low), _mm_and_si128(_mm_srli_epi32(b, shift), low));
}

// AYUV (bytes V, U, Y, A) to RGBA.  Returns the pixels converted.
uint32_t ayuvSse2(const uint8_t *source, uint32_t width, uint8_t *rgba) {
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i *in = reinterpret_cast<const __m128i *>(source + 4 * size_t{x});
        const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
        const RgbWords rgb = rgbWords(byteOfPixels(a, b, 16), byteOfPixels(a, b, 8), byteOfPixels(a, b, 0));
        const __m128i alpha = _mm_packs_epi32(_mm_srli_epi32(a, 24), _mm_srli_epi32(b, 24));
        const __m128i rg = _mm_packus_epi16(rgb.r, rgb.g), ba = _mm_packus_epi16(rgb.b, alpha);
        const __m128i rgPairs = _mm_unpacklo_epi8(rg, _mm_srli_si128(rg, 8));
        const __m128i baPairs = _mm_unpacklo_epi8(ba, _mm_srli_si128(ba, 8));
        __m128i *out = reinterpret_cast<__m128i *>(rgba + 4 * size_t{x});
        _mm_storeu_si128(out, _mm_unpacklo_epi16(rgPairs, baPairs));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi16(rgPairs, baPairs));
    }
    return x;
}
#endif

#if defined(DDS_HAVE_SSSE3)
// YUY2 (Y0, U, Y1, V) or UYVY (U, Y0, V, Y1) to RGB, eight pixels (16
// bytes) to 24 bytes a step.  Returns the pixels converted.
DDS_TARGET_SSSE3 uint32_t pairsRgbSsse3(bool lumaFirst, const uint8_t *source, uint32_t width, uint8_t *rgb) {
    // Output byte i is pixel i / 3's channel i % 3: R and G from the packed
    // red-then-green bytes, B from the blue ones.
    alignas(16) int8_t fromRg[32], fromB[32];
    for (int i = 0; i < 32; ++i) {
        const int pixel = i / 3, channel = i % 3;
        fromRg[i] = static_cast<int8_t>(i < 24 && channel < 2 ? pixel + 8 * channel : -1);
        fromB[i] = static_cast<int8_t>(i < 24 && channel == 2 ? pixel : -1);
    }
    const __m128i *controls = reinterpret_cast<const __m128i *>(fromRg);
    const __m128i *blueControls = reinterpret_cast<const __m128i *>(fromB);
    const __m128i lowBytes = _mm_set1_epi16(0xFF);
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i pairs = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 2 * size_t{x}));
        const __m128i even = _mm_and_si128(pairs, lowBytes), odd = _mm_srli_epi16(pairs, 8);
        const __m128i luma = lumaFirst ? even : odd, chroma = lumaFirst ? odd : even;  // U0 V0 U1 V1 ...
        const __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xA0), 0xA0);
        const __m128i v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(chroma, 0xF5), 0xF5);
        const RgbWords words = rgbWords(luma, u, v);
        const __m128i rg = _mm_packus_epi16(words.r, words.g), b = _mm_packus_epi16(words.b, words.b);
        uint8_t *out = rgb + 3 * size_t{x};
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out),
                         _mm_or_si128(_mm_shuffle_epi8(rg, _mm_load_si128(controls)),
                                      _mm_shuffle_epi8(b, _mm_load_si128(blueControls))));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16),
                         _mm_or_si128(_mm_shuffle_epi8(rg, _mm_load_si128(controls + 1)),
                                      _mm_shuffle_epi8(b, _mm_load_si128(blueControls + 1))));
    }
    return x;
}
#endif

}  // namespace

void ddsConvertYuvRow(YuvLayout layout, const uint8_t *source, uint32_t width, uint8_t *destination,
                      uint32_t bytesPerPixel) {
    uint32_t done = 0;
#if defined(DDS_HAVE_SSE2)
    if (layout == YuvLayout::Ayuv && bytesPerPixel == 4) done = ayuvSse2(source, width, destination);
#if defined(DDS_HAVE_SSSE3)
    const bool pairs = layout == YuvLayout::Yuy2 || layout == YuvLayout::Uyvy;
    if (pairs && bytesPerPixel == 3 && ddsCpuHasSsse3()) {
        done = pairsRgbSsse3(layout == YuvLayout::Yuy2, source, width, destination);
    }
#endif
#endif
    // `done` is a multiple of eight: whole pairs.
    ddsConvertYuvRowPlain(layout, source + static_cast<size_t>(ddsYuvRowBytes(layout, done)), width - done,
                          destination + size_t{done} * bytesPerPixel,
                          bytesPerPixel);
}
