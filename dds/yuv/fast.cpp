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

#include "common/rows_sse2.h"
#endif

namespace {

#if defined(DDS_HAVE_SSSE3)
// The 16-bit lane of two signed bytes: `first` multiplies y.
constexpr short bytePair(int first, int second) {
    return static_cast<short>(static_cast<uint16_t>((first & 0xFF) | (second & 0xFF) << 8));
}

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

// The equations above and the steps that use them, written once for both
// register widths (a template cannot stand for both: each function is
// compiled for its extension, and a template has none of its own).  For
// `Target`'s registers `V`, whose intrinsics are `X(name)` and `X(name_I)`
// for the whole-register ones, with `Control` making a register of a
// 16-byte control in each 128-bit lane and storeRgb(out, first, last)
// storing the RGB bytes of a step: a term, one multiply-add of the byte
// pairs; a channel, the whole part plus its bias plus the remainder plus
// its bias shifted right by 8; the R, G, B words (not yet clamped) of the
// pixels from their (y, v) and (y, u) byte pairs; then YUY2 or UYVY to RGB
// and AYUV (bytes V, U, Y, A) to RGBA, each 128-bit lane 8 pixels a step.
// Each returns the pixels it converted.
#define DDS_YUV_STEPS(Target, V, X, I, Control)                                                                        \
    constexpr uint32_t Step = sizeof(V) / 2;                                                                           \
    struct Words {                                                                                                     \
        V r, g, b;                                                                                                     \
    };                                                                                                                 \
    Target inline V term(V pairs, int first, int second) {                                                             \
        return X(maddubs_epi16)(pairs, X(set1_epi16)(bytePair(first, second)));                                        \
    }                                                                                                                  \
    Target inline V channel(V whole, V remainder, short wholeBias, short remainderBias) {                              \
        const V shifted = X(srai_epi16)(X(add_epi16)(remainder, X(set1_epi16)(remainderBias)), 8);                     \
        return X(add_epi16)(X(add_epi16)(whole, X(set1_epi16)(wholeBias)), shifted);                                   \
    }                                                                                                                  \
    Target inline Words rgbWords(V yv, V yu) {                                                                         \
        const V greenRemainder = X(add_epi16)(term(yu, 42, -100), term(yv, 0, 48));                                    \
        return Words{channel(term(yv, 1, 2), term(yv, 42, -103), -223, 96),                                            \
                     channel(term(yv, 1, -1), greenRemainder, 135, 224),                                               \
                     channel(term(yu, 1, 2), term(yu, 42, 4), -277, 224)};                                             \
    }                                                                                                                  \
    template <YuvLayout Layout>                                                                                        \
    Target uint32_t pairs(const uint8_t *source, uint32_t width, uint8_t *rgb) {                                       \
        const auto &order = Layout == YuvLayout::Yuy2 ? Yuy2Pairs : UyvyPairs;                                         \
        uint32_t x = 0;                                                                                                \
        for (; x + Step <= width; x += Step) {                                                                         \
            const V samples = X(loadu_##I)(reinterpret_cast<const V *>(source + 2 * size_t{x}));                       \
            const Words w =                                                                                            \
                rgbWords(X(shuffle_epi8)(samples, Control(order[0])), X(shuffle_epi8)(samples, Control(order[1])));    \
            const V rg = X(packus_epi16)(w.r, w.g), b = X(packus_epi16)(w.b, w.b);                                     \
            storeRgb(rgb + 3 * size_t{x},                                                                              \
                     X(or_##I)(X(shuffle_epi8)(rg, Control(RgbFromRg[0])), X(shuffle_epi8)(b, Control(RgbFromB[0]))),  \
                     X(or_##I)(X(shuffle_epi8)(rg, Control(RgbFromRg[1])), X(shuffle_epi8)(b, Control(RgbFromB[1])))); \
        }                                                                                                              \
        return x;                                                                                                      \
    }                                                                                                                  \
    /* An AYUV control for the first four pixels' register and, moved by 8 */                                          \
    /* output bytes (its first 8 selecting nothing), for the next four's. */                                           \
    struct AyuvControl {                                                                                               \
        V first, next;                                                                                                 \
    };                                                                                                                 \
    Target inline AyuvControl ayuvControl(const int8_t (&order)[16]) {                                                 \
        const V lowBytes = X(unpacklo_epi64)(X(set1_epi8)(-1), X(setzero_##I)());                                      \
        return {Control(order), X(or_##I)(X(slli_##I)(Control(order), 8), lowBytes)};                                  \
    }                                                                                                                  \
    Target inline V pixelsOf(V a, V b, AyuvControl c) {                                                                \
        return X(or_##I)(X(shuffle_epi8)(a, c.first), X(shuffle_epi8)(b, c.next));                                     \
    }                                                                                                                  \
    Target uint32_t ayuv(const uint8_t *source, uint32_t width, uint8_t *rgba) {                                       \
        const AyuvControl yv = ayuvControl(AyuvPairs[0]), yu = ayuvControl(AyuvPairs[1]);                              \
        const AyuvControl alpha = ayuvControl(AyuvPairs[2]);                                                           \
        uint32_t x = 0;                                                                                                \
        for (; x + Step <= width; x += Step) {                                                                         \
            const V *in = reinterpret_cast<const V *>(source + 4 * size_t{x});                                         \
            const V a = X(loadu_##I)(in), b = X(loadu_##I)(in + 1);                                                    \
            const Words w = rgbWords(pixelsOf(a, b, yv), pixelsOf(a, b, yu));                                          \
            const V rg = X(packus_epi16)(w.r, w.g), ba = X(packus_epi16)(w.b, pixelsOf(a, b, alpha));                  \
            V *out = reinterpret_cast<V *>(rgba + 4 * size_t{x});                                                      \
            for (int half = 0; half < 2; ++half) {                                                                     \
                X(storeu_##I)(out + half, X(or_##I)(X(shuffle_epi8)(rg, Control(RgbaFromRg[half])),                    \
                                                    X(shuffle_epi8)(ba, Control(RgbaFromBa[half]))));                  \
            }                                                                                                          \
        }                                                                                                              \
        return x;                                                                                                      \
    }

// RGB bytes 0-15 and 16-23 of 8 pixels.
DDS_TARGET_SSSE3 inline void storeRgb(uint8_t *out, __m128i first, __m128i last) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), first);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), last);
}

#define DDS_MM128(name) _mm_##name
namespace ssse3 {
DDS_YUV_STEPS(DDS_TARGET_SSSE3, __m128i, DDS_MM128, si128, ddsLoad128)
}  // namespace ssse3
#undef DDS_MM128
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

// RGB bytes of 16 pixels: each lane's 0-15 and 16-23.
DDS_TARGET_AVX2 inline void storeRgb(uint8_t *out, __m256i first, __m256i last) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm256_castsi256_si128(first));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), _mm256_castsi256_si128(last));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 24), _mm256_extracti128_si256(first, 1));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 40), _mm256_extracti128_si256(last, 1));
}

#define DDS_MM256(name) _mm256_##name
namespace avx2 {
DDS_YUV_STEPS(DDS_TARGET_AVX2, __m256i, DDS_MM256, si256, control256)
}  // namespace avx2
#undef DDS_MM256
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
            return vectorKernel<ssse3::ayuv, ssse3::pairs<YuvLayout::Yuy2>, ssse3::pairs<YuvLayout::Uyvy>>(
                layout, bytesPerPixel);
#endif
#if defined(DDS_HAVE_AVX2)
        case KernelTier::Avx2:
            return vectorKernel<avx2::ayuv, avx2::pairs<YuvLayout::Yuy2>, avx2::pairs<YuvLayout::Uyvy>>(
                layout, bytesPerPixel);
#endif
        default: return nullptr;
    }
}
