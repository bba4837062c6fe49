// ddsDecodePvrtcWordRow: one word row of a PVRTC1 level into its four pixel
// rows, with ddsDecodePvrtcImage's output byte for byte; here in portable
// C++, and the choice between it and the SSSE3 rows
// (pvrtc_rows_ssse3.cpp).
//
// Word by word along the row (pvrtc_words.h), each pixel takes colours A
// and B from the columns of the words left of, at and right of it (those
// columns already interpolated down the pixel rows), with weights that sum
// to one word width.  The sums (16 or 32 times a 5-bit channel) widen to 8
// bits by two shifts per lane that repeat the channel's top bits; alpha,
// held times 4, takes the colour lanes' first shift and one more than
// their second, so three masked shifts widen all four lanes of a 64-bit
// word.  The blend with the modulation weight is one multiply a colour, the
// punch-through alpha one mask.

#include "common/simd.h"
#include "pvrtc/pvrtc.h"
#include "pvrtc/pvrtc_words.h"

namespace {

using namespace pvrtcwords;

template <int BytesPerPixel>
inline void store(uint8_t *destination, Lanes pixel) {
    destination[0] = static_cast<uint8_t>(pixel);
    destination[1] = static_cast<uint8_t>(pixel >> 16);
    destination[2] = static_cast<uint8_t>(pixel >> 32);
    if (BytesPerPixel == 4) destination[3] = static_cast<uint8_t>(pixel >> 48);
}

// Weights of the columns left of, at and right of a pixel, by its column
// in the word.
template <bool TwoBits>
struct Across;
template <>
struct Across<false> {
    static constexpr uint32_t left[4] = {2, 1, 0, 0}, here[4] = {2, 3, 4, 3}, right[4] = {0, 0, 0, 1};
};
template <>
struct Across<true> {
    static constexpr uint32_t left[8] = {4, 3, 2, 1, 0, 0, 0, 0}, here[8] = {4, 5, 6, 7, 8, 7, 6, 5},
                              right[8] = {0, 0, 0, 0, 0, 1, 2, 3};
};

template <bool TwoBits, int BytesPerPixel>
void decodePortable(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                    uint8_t *const rows[4], uint32_t pixelColumns) {
    using W = Across<TwoBits>;
    constexpr uint32_t WordWidth = TwoBits ? 8 : 4;
    const uint32_t words = wordsFor<TwoBits>(pixelColumns, gridWidth);
    if (words == 0) return;
    Column left = columnAt(above, row, below, gridWidth - 1), here = columnAt(above, row, below, 0);
    WeightWalk walk = startWeights<TwoBits>(above, row, below, gridWidth);
    for (uint32_t x = 0; x < words; ++x) {
        const uint32_t rightX = x + 1 == gridWidth ? 0 : x + 1;
        const Column right = columnAt(above, row, below, rightX);
        uint64_t weights[4];
        nextWeights<TwoBits>(walk, x, rightX, weights);
        const uint32_t count = pixelColumns - x * WordWidth < WordWidth ? pixelColumns - x * WordWidth : WordWidth;
        for (unsigned r = 0; r < 4; ++r) {
            uint8_t *destination = rows[r] + size_t{x} * WordWidth * BytesPerPixel;
            for (uint32_t c = 0; c < count; ++c) {
                const Lanes a = W::left[c] * left.a[r] + W::here[c] * here.a[r] + W::right[c] * right.a[r];
                const Lanes b = W::left[c] * left.b[r] + W::here[c] * here.b[r] + W::right[c] * right.b[r];
                const uint32_t weight = static_cast<uint32_t>(weights[r] >> (8 * c)) & 0xFF;
                store<BytesPerPixel>(destination + c * BytesPerPixel, blended<TwoBits>(a, b, weight));
            }
        }
        left = here;
        here = right;
    }
}

}  // namespace

bool ddsDecodePvrtcWordRowTier(KernelTier tier, const uint8_t *above, const uint8_t *row, const uint8_t *below,
                               uint32_t gridWidth, bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns,
                               int bytesPerPixel) {
    constexpr WordRowDecoder Portable[2][2] = {{decodePortable<false, 3>, decodePortable<false, 4>},
                                               {decodePortable<true, 3>, decodePortable<true, 4>}};
    const bool fourBytes = bytesPerPixel == 4;
    WordRowDecoder decoder = tier == KernelTier::Portable ? Portable[twoBitsPerPixel][fourBytes] : nullptr;
#if defined(DDS_HAVE_SSSE3)
    if (tier == KernelTier::Ssse3 && ddsProcessorRuns(tier)) decoder = decoderSsse3(twoBitsPerPixel, fourBytes);
#endif
    if ((bytesPerPixel != 3 && !fourBytes) || decoder == nullptr) return false;
    decoder(above, row, below, gridWidth, rows, pixelColumns);
    return true;
}

void ddsDecodePvrtcWordRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                           bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns, int bytesPerPixel) {
    if (!ddsDecodePvrtcWordRowTier(KernelTier::Ssse3, above, row, below, gridWidth, twoBitsPerPixel, rows, pixelColumns,
                                   bytesPerPixel)) {
        ddsDecodePvrtcWordRowTier(KernelTier::Portable, above, row, below, gridWidth, twoBitsPerPixel, rows,
                                  pixelColumns, bytesPerPixel);
    }
}
