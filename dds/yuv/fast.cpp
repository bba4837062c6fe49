// The row kernels of the YUV layouts (ddsYuvKernel): the plain rule of
// plain.cpp for every layout, and for the 8-bit ones vectors with its
// bytes: AYUV to RGBA and YUY2 and UYVY to RGB, with SSSE3 (eight pixels a
// step) and AVX2 (sixteen); the pixels a step does not cover go through
// the plain conversion.
//
// The rule's sums need 18 bits, but with raw samples y, u, v each splits
// into a multiple of 256 and a remainder that fits 16-bit lanes:
//   298 (y - 16) + 409 (v - 128) + 128
//       = 256 (y + 2v - 223) + (42 y - 103 v + 96)
//   298 (y - 16) - 100 (u - 128) - 208 (v - 128) + 128
//       = 256 (y - v + 135) + (42 y - 100 u + 48 v + 224)
//   298 (y - 16) + 516 (u - 128) + 128
//       = 256 (y + 2u - 277) + (42 y + 4 u + 224)
// so a channel is the first term plus the remainder shifted right by 8
// (never outside -26169..23398), and packing the words to bytes with
// unsigned saturation clamps it to [0, 255].  Each pixel's samples are
// shuffled into byte pairs (y, v) and (y, u), and one multiply-add of a
// pair by two signed bytes gives each term.

#include <cstddef>

#include "common/simd.h"
#include "layout_kernels.h"
#include "yuv/yuv.h"

#if defined(DDS_HAVE_SSSE3)
#include <immintrin.h>
#endif

namespace {

#if defined(DDS_HAVE_SSSE3)
// The 16-bit lane of two signed bytes: `first` multiplies y.
constexpr short bytePair(int first, int second) {
    return static_cast<short>(static_cast<uint16_t>((first & 0xFF) | (second & 0xFF) << 8));
}

// The equations above in 16-bit lanes, written once for both register
// widths (a template cannot stand for both: each function is compiled for
// its extension, and a template has none of its own).  For `Target`'s
// registers `V`, whose intrinsics are `X(name)`: a term, one multiply-add
// of the byte pairs; a channel, the whole part plus its bias plus the
// remainder plus its bias shifted right by 8; and the R, G, B words
// `Words` (not yet clamped) of the pixels from their (y, v) and (y, u)
// byte pairs.
#define DDS_YUV_EQUATIONS(Target, V, Words, X)                                                            \
    struct Words {                                                                                          \
        V r, g, b;                                                                                          \
    };                                                                                                      \
    Target inline V term(V pairs, int first, int second) {                                                  \
        return X(maddubs_epi16)(pairs, X(set1_epi16)(bytePair(first, second)));                             \
    }                                                                                                       \
    Target inline V channel(V whole, V remainder, short wholeBias, short remainderBias) {                   \
        const V shifted = X(srai_epi16)(X(add_epi16)(remainder, X(set1_epi16)(remainderBias)), 8);          \
        return X(add_epi16)(X(add_epi16)(whole, X(set1_epi16)(wholeBias)), shifted);                        \
    }                                                                                                       \
    Target inline Words rgbWords(V yv, V yu) {                                                              \
        const V greenRemainder = X(add_epi16)(term(yu, 42, -100), term(yv, 0, 48));                         \
        return Words{channel(term(yv, 1, 2), term(yv, 42, -103), -223, 96),                                 \
                     channel(term(yv, 1, -1), greenRemainder, 135, 224),                                    \
                     channel(term(yu, 1, 2), term(yu, 42, 4), -277, 224)};                                  \
    }
#define DDS_MM128(name) _mm_##name

// Byte shuffles, in the order (y, v) pairs, (y, u) pairs, then for AYUV the
// alpha words; -1 gives 0.  YUY2 and UYVY: one 16-byte step of 8 pixels.
// AYUV: the controls of the first four pixels' register (the second's are
// the same moved by 8 output bytes).
alignas(16) constexpr int8_t Yuy2Pairs[2][16] = {{0, 3, 2, 3, 4, 7, 6, 7, 8, 11, 10, 11, 12, 15, 14, 15},
                                                 {0, 1, 2, 1, 4, 5, 6, 5, 8, 9, 10, 9, 12, 13, 14, 13}};
alignas(16) constexpr int8_t UyvyPairs[2][16] = {{1, 2, 3, 2, 5, 6, 7, 6, 9, 10, 11, 10, 13, 14, 15, 14},
                                                 {1, 0, 3, 0, 5, 4, 7, 4, 9, 8, 11, 8, 13, 12, 15, 12}};
alignas(16) constexpr int8_t AyuvPairs[3][16] = {{2, 0, 6, 4, 10, 8, 14, 12, -1, -1, -1, -1, -1, -1, -1, -1},
                                                 {2, 1, 6, 5, 10, 9, 14, 13, -1, -1, -1, -1, -1, -1, -1, -1},
                                                 {3, -1, 7, -1, 11, -1, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1}};
// RGB from the packed red-then-green bytes of 8 pixels and their blue
// bytes: output bytes 0-15, then 16-23.
alignas(16) constexpr int8_t RgbFromRg[2][16] = {{0, 8, -1, 1, 9, -1, 2, 10, -1, 3, 11, -1, 4, 12, -1, 5},
                                                 {13, -1, 6, 14, -1, 7, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1}};
alignas(16) constexpr int8_t RgbFromB[2][16] = {{-1, -1, 0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1},
                                                {-1, 5, -1, -1, 6, -1, -1, 7, -1, -1, -1, -1, -1, -1, -1, -1}};
// RGBA of pixels 0-3 (then 4-7) from the packed red-then-green and
// blue-then-alpha bytes.
alignas(16) constexpr int8_t RgbaFromRg[2][16] = {{0, 8, -1, -1, 1, 9, -1, -1, 2, 10, -1, -1, 3, 11, -1, -1},
                                                  {4, 12, -1, -1, 5, 13, -1, -1, 6, 14, -1, -1, 7, 15, -1, -1}};
alignas(16) constexpr int8_t RgbaFromBa[2][16] = {{-1, -1, 0, 8, -1, -1, 1, 9, -1, -1, 2, 10, -1, -1, 3, 11},
                                                  {-1, -1, 4, 12, -1, -1, 5, 13, -1, -1, 6, 14, -1, -1, 7, 15}};

DDS_TARGET_SSSE3 inline __m128i control(const int8_t (&bytes)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(bytes));
}

DDS_YUV_EQUATIONS(DDS_TARGET_SSSE3, __m128i, Words128, DDS_MM128)
#undef DDS_MM128

// YUY2 or UYVY to RGB, 16 bytes (8 pixels) to 24 a step.  Returns the
// pixels converted.
template <YuvLayout Layout>
DDS_TARGET_SSSE3 uint32_t pairsSsse3(const uint8_t *source, uint32_t width, uint8_t *rgb) {
    const auto &order = Layout == YuvLayout::Yuy2 ? Yuy2Pairs : UyvyPairs;
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 2 * size_t{x}));
        const Words128 w =
            rgbWords(_mm_shuffle_epi8(samples, control(order[0])), _mm_shuffle_epi8(samples, control(order[1])));
        const __m128i rg = _mm_packus_epi16(w.r, w.g), b = _mm_packus_epi16(w.b, w.b);
        uint8_t *out = rgb + 3 * size_t{x};
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_or_si128(_mm_shuffle_epi8(rg, control(RgbFromRg[0])),
                                                                         _mm_shuffle_epi8(b, control(RgbFromB[0]))));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), _mm_or_si128(_mm_shuffle_epi8(rg, control(RgbFromRg[1])),
                                                                             _mm_shuffle_epi8(b, control(RgbFromB[1]))));
    }
    return x;
}

// An AYUV control for the first four pixels' register and, moved by 8
// output bytes, for the next four's.
struct AyuvControl128 {
    __m128i first, next;
};

DDS_TARGET_SSSE3 inline AyuvControl128 ayuvControl(const int8_t (&order)[16]) {
    // The moved control's first 8 bytes select nothing (bit 7 set).
    return {control(order), _mm_or_si128(_mm_slli_si128(control(order), 8), _mm_set_epi64x(0, -1))};
}

DDS_TARGET_SSSE3 inline __m128i eightPixels(__m128i a, __m128i b, AyuvControl128 c) {
    return _mm_or_si128(_mm_shuffle_epi8(a, c.first), _mm_shuffle_epi8(b, c.next));
}

// AYUV (bytes V, U, Y, A) to RGBA, 8 pixels a step.  Returns the pixels
// converted.
DDS_TARGET_SSSE3 uint32_t ayuvSsse3(const uint8_t *source, uint32_t width, uint8_t *rgba) {
    const AyuvControl128 yv = ayuvControl(AyuvPairs[0]), yu = ayuvControl(AyuvPairs[1]), alpha = ayuvControl(AyuvPairs[2]);
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i *in = reinterpret_cast<const __m128i *>(source + 4 * size_t{x});
        const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
        const Words128 w = rgbWords(eightPixels(a, b, yv), eightPixels(a, b, yu));
        const __m128i rg = _mm_packus_epi16(w.r, w.g), ba = _mm_packus_epi16(w.b, eightPixels(a, b, alpha));
        __m128i *out = reinterpret_cast<__m128i *>(rgba + 4 * size_t{x});
        for (int half = 0; half < 2; ++half) {
            _mm_storeu_si128(out + half, _mm_or_si128(_mm_shuffle_epi8(rg, control(RgbaFromRg[half])),
                                                      _mm_shuffle_epi8(ba, control(RgbaFromBa[half]))));
        }
    }
    return x;
}
#endif

#if defined(DDS_HAVE_AVX2)
// The same in 256-bit vectors: each 128-bit lane does what one SSSE3 step
// does.  YUY2 and UYVY take 16 pixels a step, lane 0 pixels 0-7 and lane 1
// pixels 8-15; AYUV 16 pixels, lane 0 pixels 0-3 and 8-11, lane 1 pixels
// 4-7 and 12-15, so that each half of a lane's results makes 32 bytes of
// output in order.
DDS_TARGET_AVX2 inline __m256i control256(const int8_t (&bytes)[16]) {
    return _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i *>(bytes)));
}

#define DDS_MM256(name) _mm256_##name
DDS_YUV_EQUATIONS(DDS_TARGET_AVX2, __m256i, Words256, DDS_MM256)
#undef DDS_MM256

template <YuvLayout Layout>
DDS_TARGET_AVX2 uint32_t pairsAvx2(const uint8_t *source, uint32_t width, uint8_t *rgb) {
    const auto &order = Layout == YuvLayout::Yuy2 ? Yuy2Pairs : UyvyPairs;
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i samples = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(source + 2 * size_t{x}));
        const Words256 w = rgbWords(_mm256_shuffle_epi8(samples, control256(order[0])),
                                       _mm256_shuffle_epi8(samples, control256(order[1])));
        const __m256i rg = _mm256_packus_epi16(w.r, w.g), b = _mm256_packus_epi16(w.b, w.b);
        const __m256i first = _mm256_or_si256(_mm256_shuffle_epi8(rg, control256(RgbFromRg[0])),
                                              _mm256_shuffle_epi8(b, control256(RgbFromB[0])));
        const __m256i last = _mm256_or_si256(_mm256_shuffle_epi8(rg, control256(RgbFromRg[1])),
                                             _mm256_shuffle_epi8(b, control256(RgbFromB[1])));
        uint8_t *out = rgb + 3 * size_t{x};
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm256_castsi256_si128(first));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), _mm256_castsi256_si128(last));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 24), _mm256_extracti128_si256(first, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 40), _mm256_extracti128_si256(last, 1));
    }
    return x;
}

struct AyuvControl256 {
    __m256i first, next;
};

DDS_TARGET_AVX2 inline AyuvControl256 ayuvControl256(const int8_t (&order)[16]) {
    return {control256(order), _mm256_or_si256(_mm256_slli_si256(control256(order), 8), _mm256_set_epi64x(0, -1, 0, -1))};
}

DDS_TARGET_AVX2 inline __m256i sixteenPixels(__m256i a, __m256i b, AyuvControl256 c) {
    return _mm256_or_si256(_mm256_shuffle_epi8(a, c.first), _mm256_shuffle_epi8(b, c.next));
}

DDS_TARGET_AVX2 uint32_t ayuvAvx2(const uint8_t *source, uint32_t width, uint8_t *rgba) {
    const AyuvControl256 yv = ayuvControl256(AyuvPairs[0]), yu = ayuvControl256(AyuvPairs[1]);
    const AyuvControl256 alpha = ayuvControl256(AyuvPairs[2]);
    uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m256i *in = reinterpret_cast<const __m256i *>(source + 4 * size_t{x});
        const __m256i a = _mm256_loadu_si256(in), b = _mm256_loadu_si256(in + 1);
        const Words256 w = rgbWords(sixteenPixels(a, b, yv), sixteenPixels(a, b, yu));
        const __m256i rg = _mm256_packus_epi16(w.r, w.g);
        const __m256i ba = _mm256_packus_epi16(w.b, sixteenPixels(a, b, alpha));
        __m256i *out = reinterpret_cast<__m256i *>(rgba + 4 * size_t{x});
        for (int half = 0; half < 2; ++half) {
            _mm256_storeu_si256(out + half, _mm256_or_si256(_mm256_shuffle_epi8(rg, control256(RgbaFromRg[half])),
                                                            _mm256_shuffle_epi8(ba, control256(RgbaFromBa[half]))));
        }
    }
    return x;
}
#endif

template <uint32_t BytesPerPixel>
void planesRow(const LayoutState &state, const uint8_t *source, const uint8_t *chroma, uint32_t width,
               uint8_t *const *rows) {
    ddsConvertYuvPlanes(state.format->yuv, source, chroma, width, rows[0], rows[1], BytesPerPixel);
}

// A vector path's kernel: its steps, whole pairs, then the plain
// conversion of the pixels they leave; the plain tier takes no steps.
using Steps = uint32_t (*)(const uint8_t *source, uint32_t width, uint8_t *destination);

uint32_t noSteps(const uint8_t *, uint32_t, uint8_t *) { return 0; }

template <Steps Vector, uint32_t BytesPerPixel>
void stepsRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    const YuvLayout layout = state.format->yuv;
    const uint32_t done = Vector(source, width, rows[0]);
    ddsConvertYuvRowPlain(layout, source + static_cast<size_t>(ddsYuvRowBytes(layout, done)), width - done,
                          rows[0] + size_t{done} * BytesPerPixel, BytesPerPixel);
}

#if defined(DDS_HAVE_SSSE3)
// A tier's vector kernels: AYUV to RGBA, YUY2 and UYVY to RGB.
template <Steps Ayuv, Steps Yuy2, Steps Uyvy>
LayoutRowKernel vectorKernel(YuvLayout layout, uint32_t bytesPerPixel) {
    if (layout == YuvLayout::Ayuv && bytesPerPixel == 4) return stepsRow<Ayuv, 4>;
    if (layout == YuvLayout::Yuy2 && bytesPerPixel == 3) return stepsRow<Yuy2, 3>;
    if (layout == YuvLayout::Uyvy && bytesPerPixel == 3) return stepsRow<Uyvy, 3>;
    return nullptr;
}
#endif

}  // namespace

LayoutRowKernel ddsYuvKernel(YuvLayout layout, uint32_t bytesPerPixel, KernelTier tier) {
    const bool rgb = bytesPerPixel == 3;
    switch (tier) {
        case KernelTier::Plain:
            if (ddsYuvIsPlanar(layout)) return rgb ? planesRow<3> : planesRow<4>;
            return rgb ? stepsRow<noSteps, 3> : stepsRow<noSteps, 4>;
#if defined(DDS_HAVE_SSSE3)
        case KernelTier::Ssse3:
            return vectorKernel<ayuvSsse3, pairsSsse3<YuvLayout::Yuy2>, pairsSsse3<YuvLayout::Uyvy>>(layout, bytesPerPixel);
#endif
#if defined(DDS_HAVE_AVX2)
        case KernelTier::Avx2:
            return vectorKernel<ayuvAvx2, pairsAvx2<YuvLayout::Yuy2>, pairsAvx2<YuvLayout::Uyvy>>(layout, bytesPerPixel);
#endif
        default: return nullptr;
    }
}
