// SSE2 pieces of the BC1-BC3 kernels: the palette of a colour block as four
// RGBA words and the merging of alpha bytes into the words.  Only included where SSE2 is available; each piece gives exactly
// the bytes of the plain rule.
#ifndef DDS_BC1_3_PALETTE_SSE2_H
#define DDS_BC1_3_PALETTE_SSE2_H

#include <emmintrin.h>

#include <cstdint>

#include "bc1_3/colour_rule.h"
#include "common/bytes.h"
#include "common/rows_sse2.h"

namespace bc13sse2 {

// Per-lane constants of colour_rule.h for two palette entries, four lanes
// (R, G, B, A) each.  Alpha lanes give 255 from 65535 * 256 >> 16; a lane
// whose constants are all 0 gives 0 (transparent black).
struct EntryLanes {
    alignas(16) uint16_t scale[8], bias[8], multiplier[8];
};

constexpr EntryLanes entryLanes(uint32_t d0, uint32_t d1, bool transparentSecond) {
    EntryLanes lanes{};
    const uint32_t divisors[2] = {d0, d1};
    for (int e = 0; e < 2; ++e) {
        for (int c = 0; c < 4; ++c) {
            const int lane = 4 * e + c;
            if (e == 1 && transparentSecond) continue;
            if (c == 3) {
                lanes.bias[lane] = 65535;
                lanes.multiplier[lane] = 256;
                continue;
            }
            const ColourConstants k = ddsColourConstantsFor(divisors[e] * (c == 1 ? 63 : 31));
            lanes.scale[lane] = k.scale;
            lanes.bias[lane] = k.bias;
            lanes.multiplier[lane] = k.multiplier;
        }
    }
    return lanes;
}

// Entries 0 and 1; entries 2 and 3 of the three-colour and of the
// four-colour mode.
alignas(16) constexpr EntryLanes Endpoints = entryLanes(1, 1, false);
alignas(16) constexpr EntryLanes ThreeColours = entryLanes(2, 2, true);
alignas(16) constexpr EntryLanes FourColours = entryLanes(3, 3, false);
constexpr const EntryLanes *Inner[2] = {&ThreeColours, &FourColours};

// ((sum * scale + bias) * multiplier) >> 16 in each lane.
inline __m128i mix(__m128i sums, const EntryLanes &k) {
    const __m128i scaled = _mm_add_epi16(_mm_mullo_epi16(sums, ddsLoad128(k.scale)), ddsLoad128(k.bias));
    return _mm_mulhi_epu16(scaled, ddsLoad128(k.multiplier));
}

// The four palette words of a colour block, R in the low byte of each.
// Three-colour mode only where `alwaysFourColours` is false (DXT1).
inline __m128i palette(const uint8_t *colorBlock, bool alwaysFourColours) {
    const uint32_t color0 = ddsLoad16(colorBlock);
    const uint32_t color1 = ddsLoad16(colorBlock + 2);
    const __m128i both = _mm_cvtsi32_si128(static_cast<int>(color0 | color1 << 16));
    // color0 in lanes 0-3, color1 in lanes 4-7.
    const __m128i colors = _mm_unpacklo_epi64(_mm_shufflelo_epi16(both, 0x00), _mm_shufflelo_epi16(both, 0x55));
    const __m128i masked = _mm_and_si128(colors, _mm_setr_epi16(static_cast<short>(0xF800), 0x07E0, 0x001F, 0,
                                                                static_cast<short>(0xF800), 0x07E0, 0x001F, 0));
    // The fields: red >> 11 and green >> 5 as high halves of products, blue as it is.
    const __m128i fields = _mm_or_si128(_mm_mulhi_epu16(masked, _mm_setr_epi16(32, 2048, 0, 0, 32, 2048, 0, 0)),
                                        _mm_and_si128(masked, _mm_setr_epi16(0, 0, 0x1F, 0, 0, 0, 0x1F, 0)));
    // [f0 + f1 | f0 + f1], then [2 f0 + f1 | f0 + 2 f1] for four colours.
    const __m128i sum = _mm_add_epi16(fields, _mm_shuffle_epi32(fields, 0x4E));
    // The mode picks its constants without a branch.
    const bool four = alwaysFourColours || !ddsThreeColourMode(color0, color1);
    const __m128i fourMask = _mm_set1_epi16(four ? -1 : 0);
    const __m128i inner = mix(_mm_add_epi16(sum, _mm_and_si128(fields, fourMask)), *Inner[four ? 1 : 0]);
    return _mm_packus_epi16(mix(fields, Endpoints), inner);
}

// Puts 16 alpha bytes (pixel order) into the fourth byte of the rows' words.
inline void mergeAlpha(__m128i rows[4], __m128i alpha) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i colors = _mm_set1_epi32(0x00FFFFFF);
    const __m128i low = _mm_unpacklo_epi8(zero, alpha);   // pixels 0-7, alpha in the high byte
    const __m128i high = _mm_unpackhi_epi8(zero, alpha);  // pixels 8-15
    const __m128i spread[4] = {_mm_unpacklo_epi16(zero, low), _mm_unpackhi_epi16(zero, low),
                               _mm_unpacklo_epi16(zero, high), _mm_unpackhi_epi16(zero, high)};
    for (int r = 0; r < 4; ++r) rows[r] = _mm_or_si128(_mm_and_si128(rows[r], colors), spread[r]);
}

}  // namespace bc13sse2

#endif
