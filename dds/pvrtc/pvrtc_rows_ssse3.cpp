// PVRTC1 word rows with SSE2 arithmetic and SSSE3's byte shuffle.  A word's
// colours A and B are read into the eight 16-bit lanes of one register
// (each field masked in place and moved and widened by products: x >> k is
// the high half of x * 2^(16 - k)) and interpolated down the pixel rows
// with the words above and below.  Pixels go two a register: colour A or
// B of a pair interpolated across from the word columns by a multiply a
// column, widened to 8 bits by the high halves of two products per lane,
// blended as (8 A + m (B - A)) >> 3, and packed four pixels to a register.
// Three-byte rows are shuffled out of the packed pixels.  The modulation
// weights are pvrtc_words.h's.  The output is the portable rows', byte for
// byte.

#include <cstring>

#include "pvrtc/pvrtc_words.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

namespace {

using pvrtcwords::PunchThrough;

DDS_TARGET_SSSE3 inline __m128i pair(int w0, int w1) {
    return _mm_setr_epi16(static_cast<short>(w0), static_cast<short>(w0), static_cast<short>(w0),
                          static_cast<short>(w0), static_cast<short>(w1), static_cast<short>(w1),
                          static_cast<short>(w1), static_cast<short>(w1));
}

DDS_TARGET_SSSE3 inline __m128i lanes(int a, int b, int c, int d, int e, int f, int g, int h) {
    return _mm_setr_epi16(static_cast<short>(a), static_cast<short>(b), static_cast<short>(c), static_cast<short>(d),
                          static_cast<short>(e), static_cast<short>(f), static_cast<short>(g), static_cast<short>(h));
}

// Fields of a colour's 16 bits (one per lane, masked in place) moved and
// widened: (f * low) | high half of (f * high1) | high half of (f * high2).
DDS_TARGET_SSSE3 inline __m128i fields(__m128i halves, __m128i mask, __m128i low, __m128i high1, __m128i high2) {
    const __m128i f = _mm_and_si128(halves, mask);
    return _mm_or_si128(_mm_or_si128(_mm_mullo_epi16(f, low), _mm_mulhi_epu16(f, high1)), _mm_mulhi_epu16(f, high2));
}

// Colours A (lanes 0 to 3) and B (lanes 4 to 7) of a word's colour data,
// as pvrtcwords::colourA and colourB give them: each lane read both ways,
// opaque and translucent, and the way its colour's top bit says kept.
DDS_TARGET_SSSE3 inline __m128i colours(uint32_t data) {
    const __m128i both = _mm_cvtsi32_si128(static_cast<int>(data));
    const __m128i pairs = _mm_unpacklo_epi16(both, both);
    const __m128i halves = _mm_unpacklo_epi32(pairs, pairs);  // A's 16 bits four times, then B's
    // Opaque: 5 bits of red and green; blue 4 bits (A, widened) or 5 (B);
    // alpha 15, times 4.
    const __m128i opaque = _mm_or_si128(
        fields(halves, lanes(0x7C00, 0x03E0, 0x001E, 0, 0x7C00, 0x03E0, 0x001F, 0), lanes(0, 0, 1, 0, 0, 0, 1, 0),
               lanes(1 << 6, 1 << 11, 1 << 12, 0, 1 << 6, 1 << 11, 0, 0), _mm_setzero_si128()),
        lanes(0, 0, 0, 60, 0, 0, 0, 60));
    // Translucent: 4 bits of red and green, blue 3 (A) or 4 (B), widened
    // to 5; alpha 3 bits, its low bit zero at 4, times 4.
    const __m128i translucent =
        fields(halves, lanes(0x0F00, 0x00F0, 0x000E, 0x7000, 0x0F00, 0x00F0, 0x000F, 0x7000),
               lanes(0, 0, 2, 0, 0, 0, 2, 0), lanes(1 << 9, 1 << 13, 0, 1 << 7, 1 << 9, 1 << 13, 0, 1 << 7),
               lanes(1 << 5, 1 << 9, 1 << 14, 0, 1 << 5, 1 << 9, 1 << 13, 0));
    const __m128i isOpaque = _mm_srai_epi16(halves, 15);
    return _mm_or_si128(_mm_and_si128(isOpaque, opaque), _mm_andnot_si128(isOpaque, translucent));
}

// Colours A and B of one word column interpolated down the four pixel
// rows (weights of the rows above, at and below as pvrtcwords::columnAt).
struct VectorColumn {
    __m128i rows[4];
};

DDS_TARGET_SSSE3 inline VectorColumn vectorColumnAt(const uint8_t *above, const uint8_t *row, const uint8_t *below,
                                                    uint32_t x) {
    const size_t at = size_t{x} * 8 + 4;
    const __m128i up = colours(ddsLoad32(above + at)), here = colours(ddsLoad32(row + at));
    const __m128i down = colours(ddsLoad32(below + at));
    const __m128i twiceHere = _mm_slli_epi16(here, 1);
    return {{_mm_slli_epi16(_mm_add_epi16(up, here), 1), _mm_add_epi16(_mm_add_epi16(up, here), twiceHere),
             _mm_slli_epi16(here, 2), _mm_add_epi16(_mm_add_epi16(here, down), twiceHere)}};
}

// The three columns' colours (A or B) of one pixel row, each in both
// halves of a register.
struct Columns {
    __m128i left, here, right;
};

// A pair of pixels: the weighted sum of the columns, widened to 8 bits a
// lane (colour (s >> K) + (s >> (K - 5)); alpha, held times 4,
// (s >> K) + (s >> (K - 4))).
template <bool TwoBits>
DDS_TARGET_SSSE3 inline __m128i widenedPair(const Columns &c, __m128i wl, __m128i wh, __m128i wr) {
    constexpr int K = TwoBits ? 7 : 6;
    const __m128i sum = _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(c.left, wl), _mm_mullo_epi16(c.here, wh)),
                                      _mm_mullo_epi16(c.right, wr));
    const __m128i first = _mm_set1_epi16(1 << (16 - K));
    const short colour = static_cast<short>(1 << (21 - K)), alpha = static_cast<short>(1 << (20 - K));
    const __m128i second = _mm_setr_epi16(colour, colour, colour, alpha, colour, colour, colour, alpha);
    return _mm_add_epi16(_mm_mulhi_epu16(sum, first), _mm_mulhi_epu16(sum, second));
}

// The blend of a pair by its two weights (lanes of `weights`), with
// punch-through alpha cleared.
DDS_TARGET_SSSE3 inline __m128i blend(__m128i a, __m128i b, __m128i weights) {
    const __m128i m = _mm_and_si128(weights, _mm_set1_epi16(PunchThrough - 1));
    const __m128i mixed =
        _mm_srli_epi16(_mm_add_epi16(_mm_slli_epi16(a, 3), _mm_mullo_epi16(_mm_sub_epi16(b, a), m)), 3);
    const __m128i punched = _mm_and_si128(_mm_cmpgt_epi16(weights, _mm_set1_epi16(PunchThrough - 1)),
                                          _mm_setr_epi16(0, 0, 0, -1, 0, 0, 0, -1));
    return _mm_andnot_si128(punched, mixed);
}

template <bool TwoBits>
DDS_TARGET_SSSE3 inline __m128i pixelPair(const Columns &a, const Columns &b, int wl0, int wl1, int wh0, int wh1,
                                          int wr0, int wr1, __m128i weights) {
    const __m128i wl = pair(wl0, wl1), wh = pair(wh0, wh1), wr = pair(wr0, wr1);
    return blend(widenedPair<TwoBits>(a, wl, wh, wr), widenedPair<TwoBits>(b, wl, wh, wr), weights);
}

// Stores four packed RGBA pixels at 4 or 3 bytes a pixel.  Three-byte
// stores write 16 bytes where `spare` allows (the 4 past the pixels are
// overwritten later), else 12.
template <int BytesPerPixel>
DDS_TARGET_SSSE3 inline void storeFour(uint8_t *destination, __m128i pixels, bool spare) {
    if (BytesPerPixel == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), pixels);
        return;
    }
    const __m128i rgb = _mm_shuffle_epi8(pixels, _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1));
    if (spare) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), rgb);
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), rgb);
        const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(rgb, 8)));
        std::memcpy(destination + 8, &last, 4);
    }
}

// One word's pixels of all four rows.  `whole`: the word's pixels are all
// wanted and more follow in the row; otherwise they go through a buffer
// and only `count` are stored.
template <bool TwoBits, int BytesPerPixel>
DDS_TARGET_SSSE3 void wordPixels(uint8_t *const rows[4], size_t offset, uint32_t count, bool whole,
                                 const VectorColumn &left, const VectorColumn &here, const VectorColumn &right,
                                 const uint64_t weights[4]) {
    constexpr unsigned WordWidth = TwoBits ? 8 : 4;
    for (unsigned r = 0; r < 4; ++r) {
        const __m128i l = left.rows[r], h = here.rows[r], rt = right.rows[r];
        const Columns a = {_mm_unpacklo_epi64(l, l), _mm_unpacklo_epi64(h, h), _mm_unpacklo_epi64(rt, rt)};
        const Columns b = {_mm_unpackhi_epi64(l, l), _mm_unpackhi_epi64(h, h), _mm_unpackhi_epi64(rt, rt)};
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&weights[r]));
        const __m128i perPixel = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
        // Each pixel's weight in four lanes: low for pixels 0 to 3, high for 4 to 7.
        const __m128i low = _mm_unpacklo_epi16(perPixel, perPixel), high = _mm_unpackhi_epi16(perPixel, perPixel);
        __m128i pixels[2];
        if (TwoBits) {
            const __m128i p01 = pixelPair<true>(a, b, 4, 3, 4, 5, 0, 0, _mm_unpacklo_epi32(low, low));
            const __m128i p23 = pixelPair<true>(a, b, 2, 1, 6, 7, 0, 0, _mm_unpackhi_epi32(low, low));
            const __m128i p45 = pixelPair<true>(a, b, 0, 0, 8, 7, 0, 1, _mm_unpacklo_epi32(high, high));
            const __m128i p67 = pixelPair<true>(a, b, 0, 0, 6, 5, 2, 3, _mm_unpackhi_epi32(high, high));
            pixels[0] = _mm_packus_epi16(p01, p23);
            pixels[1] = _mm_packus_epi16(p45, p67);
        } else {
            const __m128i p01 = pixelPair<false>(a, b, 2, 1, 2, 3, 0, 0, _mm_unpacklo_epi32(low, low));
            const __m128i p23 = pixelPair<false>(a, b, 0, 0, 4, 3, 0, 1, _mm_unpackhi_epi32(low, low));
            pixels[0] = _mm_packus_epi16(p01, p23);
        }
        uint8_t *destination = rows[r] + offset;
        if (whole) {
            for (unsigned k = 0; k < WordWidth / 4; ++k) {
                storeFour<BytesPerPixel>(destination + 4 * k * BytesPerPixel, pixels[k], true);
            }
        } else {
            alignas(16) uint8_t buffer[WordWidth * 4];
            for (unsigned k = 0; k < WordWidth / 4; ++k) {
                _mm_store_si128(reinterpret_cast<__m128i *>(buffer + 16 * k), pixels[k]);
            }
            for (uint32_t c = 0; c < count; ++c) {
                std::memcpy(destination + c * BytesPerPixel, buffer + 4 * c, BytesPerPixel);
            }
        }
    }
}

template <bool TwoBits, int BytesPerPixel>
DDS_TARGET_SSSE3 void decodeSsse3(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                                  uint8_t *const rows[4], uint32_t pixelColumns) {
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    const uint32_t words = pvrtcwords::wordsFor<TwoBits>(pixelColumns, gridWidth);
    if (words == 0) return;
    VectorColumn left = vectorColumnAt(above, row, below, gridWidth - 1);
    VectorColumn here = vectorColumnAt(above, row, below, 0);
    pvrtcwords::WeightWalk walk = pvrtcwords::startWeights<TwoBits>(above, row, below, gridWidth);
    for (uint32_t x = 0; x < words; ++x) {
        const uint32_t rightX = x + 1 == gridWidth ? 0 : x + 1;
        const VectorColumn right = vectorColumnAt(above, row, below, rightX);
        uint64_t weights[4];
        pvrtcwords::nextWeights<TwoBits>(walk, x, rightX, weights);
        const uint32_t count = pixelColumns - x * WordWidth < WordWidth ? pixelColumns - x * WordWidth : WordWidth;
        const bool whole = count == WordWidth && (x + 1) * WordWidth < pixelColumns;
        wordPixels<TwoBits, BytesPerPixel>(rows, size_t{x} * WordWidth * BytesPerPixel, count, whole, left, here,
                                           right, weights);
        left = here;
        here = right;
    }
}

}  // namespace

pvrtcwords::WordRowDecoder pvrtcwords::decoderSsse3(bool twoBitsPerPixel, bool fourBytes) {
    constexpr WordRowDecoder Ssse3[2][2] = {{decodeSsse3<false, 3>, decodeSsse3<false, 4>},
                                            {decodeSsse3<true, 3>, decodeSsse3<true, 4>}};
    return Ssse3[twoBitsPerPixel][fourBytes];
}

#endif  // DDS_HAVE_SSSE3
