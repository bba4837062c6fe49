// The indices of a BC7 or BC6H block as one run of bits: 16 indices of
// IndexBits bits each, in pixel order, where pixel 0 and each subset's
// anchor pixel store one bit fewer (their top bit, which is zero).  The
// portable tier widens the run to whole indices in a 64-bit word; the vector
// tiers keep it in the low 64 bits of an SSE2 register, where 32-bit x86
// shifts it as well as x86-64 does, and put back only the anchors' missing
// bits, pixel 0 keeping its short index at bit 0 (pixel i > 0 at bit
// IndexBits * i - 1).
#ifndef DDS_BC6_7_INDEX_RUN_H
#define DDS_BC6_7_INDEX_RUN_H

#include <cstdint>

#include "bc6_7/layout.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace bptc {

// The block's bits from `Start` on, as many as fit a 64-bit word (the
// bits past the block's end are zero).
template <unsigned Start>
inline uint64_t bitsFrom(const BptcWords &b) {
    static_assert(Start >= 1 && Start < 128, "inside the block");
    if constexpr (Start >= 64) return b.high >> (Start - 64);
    else return (b.low >> Start) | (b.high << (64 - Start));
}

// Puts a zero bit at `position` (0 to 63), moving the bits from there up
// by one (the top bit drops out): the missing top bit of an index.
inline uint64_t insertZero(uint64_t bits, unsigned position) {
    const uint64_t below = (uint64_t{1} << position) - 1;
    return (bits & below) | ((bits << 1) & ~(below << 1 | 1));
}

// The 16 whole indices stored from `Start`, pixel i at bit IndexBits * i,
// once withAnchor has put back each anchor's bit (ascending, beyond pixel 0).
template <unsigned IndexBits, unsigned Start>
inline uint64_t indices(const BptcWords &b) {
    return insertZero(bitsFrom<Start>(b), IndexBits - 1);
}
template <unsigned IndexBits>
inline uint64_t withAnchor(uint64_t indices, unsigned anchor) {
    return insertZero(indices, IndexBits * anchor + IndexBits - 1);
}

#if defined(DDS_HAVE_SSE2)

// The block's bits from `Start` on in the low 64 bits of the result.
template <unsigned Start>
inline __m128i runFrom(__m128i block) {
    static_assert(Start >= 1 && Start < 128, "inside the block");
    const __m128i high = _mm_srli_si128(block, 8);
    if constexpr (Start >= 64) return _mm_srli_epi64(high, Start - 64);
    else return _mm_or_si128(_mm_srli_epi64(block, Start), _mm_slli_epi64(high, 64 - Start));
}

// insertZero in the low 64 bits of a register.
inline __m128i insertZeroSse2(__m128i run, unsigned position) {
    const __m128i from = _mm_sll_epi64(_mm_set1_epi32(-1), _mm_cvtsi32_si128(static_cast<int>(position)));
    return _mm_or_si128(_mm_andnot_si128(from, run), _mm_and_si128(_mm_slli_epi64(run, 1), _mm_slli_epi64(from, 1)));
}

// The anchor's missing bit put back into a run whose pixel 0 is short.
template <unsigned IndexBits>
inline __m128i withAnchorSse2(__m128i run, unsigned anchor) {
    return insertZeroSse2(run, IndexBits * anchor + IndexBits - 2);
}

// A run's two 32-bit halves, and pixel I's index from them: shifts of 32
// bits fixed when compiled.
struct RunHalves {
    uint32_t low, high;

    explicit RunHalves(__m128i run)
        : low(static_cast<uint32_t>(_mm_cvtsi128_si32(run))),
          high(static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(run, 4)))) {}

    template <unsigned IndexBits, unsigned I>
    uint32_t at() const {
        constexpr unsigned from = I == 0 ? 0 : IndexBits * I - 1;
        constexpr uint32_t mask = (1u << (I == 0 ? IndexBits - 1 : IndexBits)) - 1;
        if constexpr (from >= 32) return (high >> (from - 32)) & mask;
        else if constexpr (from + IndexBits <= 32) return (low >> from) & mask;
        else return ((low >> from) | (high << (32 - from))) & mask;
    }
};

#endif

}  // namespace bptc

#endif
