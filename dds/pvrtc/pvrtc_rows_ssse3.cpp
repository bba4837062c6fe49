// PVRTC1 word rows with SSE2 arithmetic and SSSE3's byte shuffle, two
// pixels a register: colours A and B of a pixel pair in eight 16-bit lanes,
// interpolated across from the word columns (pvrtc_words.h) by a multiply
// a column, widened to 8 bits by the high halves of two products per lane
// (x >> k is the high half of x * 2^(16 - k)), blended as
// (8 A + m (B - A)) >> 3 and packed four pixels to a register.  Three-byte
// rows are shuffled out of the packed pixels.  The output is the portable
// rows', byte for byte.

#include "pvrtc_rows_ssse3.h"

#include <cstring>

#include "cpu_features.h"
#include "pvrtc_words.h"
#include "simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

namespace {

#define DDS_TARGET_SSSE3 __attribute__((target("ssse3")))

using namespace pvrtcwords;

DDS_TARGET_SSSE3 inline __m128i pair(int w0, int w1) {
    return _mm_setr_epi16(static_cast<short>(w0), static_cast<short>(w0), static_cast<short>(w0),
                          static_cast<short>(w0), static_cast<short>(w1), static_cast<short>(w1),
                          static_cast<short>(w1), static_cast<short>(w1));
}

DDS_TARGET_SSSE3 inline __m128i broadcast(Lanes lanes) {
    return _mm_set1_epi64x(static_cast<long long>(lanes));
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
                                 const Column &left, const Column &here, const Column &right,
                                 const uint64_t weights[4]) {
    constexpr unsigned WordWidth = TwoBits ? 8 : 4;
    for (unsigned r = 0; r < 4; ++r) {
        const Columns a = {broadcast(left.a[r]), broadcast(here.a[r]), broadcast(right.a[r])};
        const Columns b = {broadcast(left.b[r]), broadcast(here.b[r]), broadcast(right.b[r])};
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&weights[r]));
        const __m128i lanes = _mm_unpacklo_epi8(bytes, _mm_setzero_si128());
        const __m128i low = _mm_unpacklo_epi16(lanes, lanes), high = _mm_unpackhi_epi16(lanes, lanes);
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
void decodeSsse3(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                 uint8_t *const rows[4], uint32_t pixelColumns) {
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    forEachWord<TwoBits>(above, row, below, gridWidth, pixelColumns,
                         [&](uint32_t x, uint32_t count, const Column &left, const Column &here, const Column &right,
                             const uint64_t weights[4]) {
        const bool whole = count == WordWidth && (x + 1) * WordWidth < pixelColumns;
        wordPixels<TwoBits, BytesPerPixel>(rows, size_t{x} * WordWidth * BytesPerPixel, count, whole, left, here,
                                           right, weights);
    });
}

}  // namespace

#endif  // DDS_HAVE_SSSE3

bool ddsDecodePvrtcWordRowSsse3(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                                bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns,
                                int bytesPerPixel) {
#if defined(DDS_HAVE_SSSE3)
    if (!ddsCpuHasSsse3() || (bytesPerPixel != 3 && bytesPerPixel != 4)) return false;
    if (twoBitsPerPixel) {
        if (bytesPerPixel == 4) decodeSsse3<true, 4>(above, row, below, gridWidth, rows, pixelColumns);
        else decodeSsse3<true, 3>(above, row, below, gridWidth, rows, pixelColumns);
    } else {
        if (bytesPerPixel == 4) decodeSsse3<false, 4>(above, row, below, gridWidth, rows, pixelColumns);
        else decodeSsse3<false, 3>(above, row, below, gridWidth, rows, pixelColumns);
    }
    return true;
#else
    (void)above, (void)row, (void)below, (void)gridWidth, (void)twoBitsPerPixel, (void)rows, (void)pixelColumns,
        (void)bytesPerPixel;
    return false;
#endif
}
