// BC7 and BC6H block rows for ddsBlockRowKernel, with the plain decoders'
// output byte for byte: the portable and SSE2 tiers.  A block's mode (from
// the first byte) picks one function of a table, made for that mode from
// its layout (layout.h), so that every field sits at a position known when
// the function is compiled and is read with one or two shifts: from two
// 64-bit words in the portable tier, from four 32-bit words in the SSE2
// one, so that 32-bit x86 shifts no pairs of registers.  The indices are
// one run of bits with the missing top bit of each anchor index put back
// (index_run.h): a 64-bit word in the portable tier, an SSE2 register in
// the other, and each pixel's index is read from it at a position fixed
// when compiled.  The endpoints of each subset (region) give
// a palette of RGBA words, one word per index value; each pixel is the word
// at its subset and index, its subset from the partition's map of 2-bit
// subset numbers (bptc.h).
//
// BC7 palettes are interpolated with all four channels at once: in 16-bit
// lanes of a 64-bit word (portable) or with SSE2, eight lanes, two entries a
// multiplication.  Modes 4 and 5 have a second palette for the channel with
// its own indices (alpha, or the channel that rotation swaps with alpha).
// BC6H's endpoints come from the rules of bc6h_rules.h, as the plain
// decoder's do, with the mode's numbers as constants.  Its palettes are
// interpolated per channel and turned into bytes: by that rule and a table
// of the byte of all 65536 interpolated values (portable), or with SSE2 one
// channel of four entries a register and exact float arithmetic
// (unorm8Sse2).  With an exposure or sRGB asked for (the mapped kernels),
// each entry's half is looked up in the image's HDR table instead.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "bc6_7/bc6_7.h"
#include "bc6_7/bc6h_rules.h"
#include "bc6_7/index_run.h"
#include "bc6_7/layout.h"
#include "common/channel_rules.h"
#include "common/hdr_map.h"
#include "common/rows.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace {

using namespace bptc;

// A block's indices as each tier holds them: the portable tier widened in a
// 64-bit word (pixel i at bit IndexBits * i), the SSE2 tier in the halves
// of a run (index_run.h).  `at<IndexBits, I>()` is pixel I's index.
struct WideIndices {
    uint64_t bits;
    template <unsigned IndexBits, unsigned I>
    uint32_t at() const {
        return static_cast<uint32_t>(bits >> (IndexBits * I)) & ((1u << IndexBits) - 1);
    }
};

// The indices of `IndexBits` bits stored from `Start`, with the bits of the
// anchors after pixel 0 of a partition of `Subsets` subsets put back.
template <bool Sse2, unsigned IndexBits, unsigned Start, unsigned Subsets, class Words>
inline auto indicesOf(const uint8_t *block, const Words &words, BptcAnchors anchors) {
#if defined(DDS_HAVE_SSE2)
    if constexpr (Sse2) {
        (void)words;
        __m128i run = runFrom<Start>(_mm_loadu_si128(reinterpret_cast<const __m128i *>(block)));
        if constexpr (Subsets > 1) run = withAnchorSse2<IndexBits>(run, anchors.first);
        if constexpr (Subsets > 2) run = withAnchorSse2<IndexBits>(run, anchors.second);
        return RunHalves(run);
    } else
#endif
    {
        (void)block;
        uint64_t run = indices<IndexBits, Start>(words);
        if constexpr (Subsets > 1) run = withAnchor<IndexBits>(run, anchors.first);
        if constexpr (Subsets > 2) run = withAnchor<IndexBits>(run, anchors.second);
        return WideIndices{run};
    }
}

// pixels[i] = words[subset << IndexBits | index] for every pixel, the
// subsets two bits a pixel in `map`.  (The indices are taken by value, so
// that the stores to the pixels cannot be taken to change them.)
template <unsigned IndexBits, class Indices, size_t... I>
inline void lookUp(const Indices indices, uint32_t map, const uint32_t *words, uint32_t pixels[16],
                   std::index_sequence<I...>) {
    ((pixels[I] = words[ddsBptcSubset(map, I) << IndexBits | indices.template at<IndexBits, I>()]), ...);
}

// The same for the indices stored from `Start` and partition `partition`
// of `Subsets` subsets (or regions).
template <bool Sse2, unsigned IndexBits, unsigned Start, unsigned Subsets, class Words>
inline void lookUp(const uint8_t *block, const Words &b, unsigned partition, const uint32_t *words, uint32_t pixels[16]) {
    const auto indices = indicesOf<Sse2, IndexBits, Start, Subsets>(block, b, ddsBptcAnchors(Subsets, partition));
    lookUp<IndexBits>(indices, ddsBptcSubsets(Subsets, partition), words, pixels, std::make_index_sequence<16>());
}

// The block's words in the tier's form: 64-bit for the portable tier,
// 32-bit for the SSE2 one.
template <bool Sse2>
DDS_BPTC_INLINE std::conditional_t<Sse2, Words32, BptcWords> tierWords(const uint8_t *block) {
    if constexpr (Sse2) return words32(block);
    else return ddsBptcWords(block);
}

// Every pixel `Word`: blocks without a mode (BC6H's reserved modes give the
// plain decoder's zeros, as bytes: ddsHalfToUnorm8(0) with alpha 255, and 0
// in every HDR table too).
template <uint32_t Word>
void solid(const uint8_t *, const uint8_t *, uint32_t pixels[16]) {
    for (unsigned i = 0; i < 16; ++i) pixels[i] = Word;
}

// A block of one mode into its pixels; BC6H's bytes through `table` (see
// bptcRow), which BC7 does not read.
using ModeFn = void (*)(const uint8_t *block, const uint8_t *table, uint32_t pixels[16]);

// ---------------------------------------------------------------- BC7

// A word's four bytes in the 16-bit lanes of a 64-bit word, and back.
inline uint64_t spread(uint32_t word) {
    uint64_t x = word;
    x = (x | x << 16) & 0x0000FFFF0000FFFFull;
    return (x | x << 8) & 0x00FF00FF00FF00FFull;
}
inline uint32_t gather(uint64_t lanes) {
    lanes = (lanes | lanes >> 8) & 0x0000FFFF0000FFFFull;
    return static_cast<uint32_t>(lanes | lanes >> 16);
}

// The 2^IndexBits palette words between endpoint words e0 and e1:
// ((64 - w) e0 + w e1 + 32) >> 6 in each byte, at most 16352 in a lane.
template <unsigned IndexBits>
inline void paletteWords(uint32_t e0, uint32_t e1, uint32_t *out) {
    const uint64_t a = spread(e0), b = spread(e1);
    for (unsigned i = 0; i < (1u << IndexBits); ++i) {
        const uint64_t w = ddsBptcWeight(IndexBits, i);
        out[i] = gather(((a * (64 - w) + b * w + 0x0020002000200020ull) >> 6) & 0x00FF00FF00FF00FFull);
    }
}

#if defined(DDS_HAVE_SSE2)

// Weights in 16-bit lanes, two palette entries a vector: lanes 0-3 hold
// the weight of entry 2j, lanes 4-7 that of entry 2j + 1.
struct WeightLanes {
    alignas(16) int16_t lanes[8][8];
};

constexpr WeightLanes weightLanes(unsigned indexBits) {
    WeightLanes result{};
    for (unsigned j = 0; 2 * j < (1u << indexBits); ++j)
        for (unsigned l = 0; l < 8; ++l) result.lanes[j][l] = ddsBptcWeight(indexBits, 2 * j + l / 4);
    return result;
}

alignas(16) constexpr WeightLanes WeightLanes2 = weightLanes(2);
alignas(16) constexpr WeightLanes WeightLanes3 = weightLanes(3);
alignas(16) constexpr WeightLanes WeightLanes4 = weightLanes(4);

// The same palette with SSE2: e0 64 + 32 + (e1 - e0) w, shifted down, for
// two entries a vector, packed four entries a store.
template <unsigned IndexBits>
inline void paletteWordsSse2(uint32_t e0, uint32_t e1, uint32_t *out) {
    const WeightLanes &weights = IndexBits == 2 ? WeightLanes2 : IndexBits == 3 ? WeightLanes3 : WeightLanes4;
    const __m128i zero = _mm_setzero_si128();
    const __m128i a = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(e0)), zero);
    const __m128i b = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(e1)), zero);
    const __m128i base = _mm_add_epi16(_mm_slli_epi16(a, 6), _mm_set1_epi16(32));
    const __m128i difference = _mm_sub_epi16(b, a);
    for (unsigned j = 0; 4 * j < (1u << IndexBits); ++j) {
        const __m128i w0 = _mm_load_si128(reinterpret_cast<const __m128i *>(weights.lanes[2 * j]));
        const __m128i w1 = _mm_load_si128(reinterpret_cast<const __m128i *>(weights.lanes[2 * j + 1]));
        const __m128i first = _mm_srli_epi16(_mm_add_epi16(base, _mm_mullo_epi16(difference, w0)), 6);
        const __m128i second = _mm_srli_epi16(_mm_add_epi16(base, _mm_mullo_epi16(difference, w1)), 6);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * j), _mm_packus_epi16(first, second));
    }
}

#endif

template <bool Sse2, unsigned IndexBits>
inline void palette(uint32_t e0, uint32_t e1, uint32_t *out) {
#if defined(DDS_HAVE_SSE2)
    if constexpr (Sse2) {
        paletteWordsSse2<IndexBits>(e0, e1, out);
        return;
    }
#endif
    paletteWords<IndexBits>(e0, e1, out);
}

// The endpoints of mode M as RGBA words, endpoint 2s + e for end e of
// subset s, each channel widened by the rule (alpha 255 where the mode
// stores none).
template <unsigned M, class Words>
inline void bc7Endpoints(const Words &b, uint32_t ends[6]) {
    using L = Bc7Layout<M>;
    const uint32_t runs[4] = {field<L::colorAt, L::colorRun>(b), field<L::colorAt + L::colorRun, L::colorRun>(b),
                              field<L::colorAt + 2 * L::colorRun, L::colorRun>(b), field<L::alphaAt, L::alphaRun>(b)};
    const uint32_t pBits = field<L::pBitAt, L::pBitCount>(b);
    for (unsigned k = 0; k < L::endpoints; ++k) {
        const uint32_t p = (pBits >> (L::mode.endpointPBits ? k : k / 2)) & 1;
        ends[k] = 0;
        for (unsigned c = 0; c < 4; ++c) {
            const unsigned bits = c < 3 ? L::mode.colorBits : L::mode.alphaBits;
            const uint32_t stored = (runs[c] >> (k * bits)) & ((1u << bits) - 1);
            ends[k] |= ddsBc7Widen(stored, bits, p, L::pBitWidth) << (8 * c);
        }
    }
}

// Modes 0, 1, 2, 3, 6 and 7: one set of indices for all four channels.
template <unsigned M, bool Sse2>
void bc7Subsets(const uint8_t *block, const uint8_t *, uint32_t pixels[16]) {
    using L = Bc7Layout<M>;
    constexpr unsigned IndexBits = L::mode.indexBits;
    const auto b = tierWords<Sse2>(block);
    uint32_t ends[6];
    bc7Endpoints<M>(b, ends);
    alignas(16) uint32_t words[3 << IndexBits];
    for (unsigned s = 0; s < L::subsets; ++s) palette<Sse2, IndexBits>(ends[2 * s], ends[2 * s + 1], words + (s << IndexBits));
    lookUp<Sse2, IndexBits, L::indexAt, L::subsets>(block, b, field<L::partitionAt, L::mode.partitionBits>(b), words, pixels);
}

// Modes 4 and 5: colour from one set of indices, alpha from the other.
// Rotation swaps alpha with red, green or blue after interpolation; here
// the two channels' endpoints are swapped first, and the swapped channel
// (alpha when there is no rotation) takes the alpha indices.
template <bool Sse2, unsigned ColorBits, unsigned AlphaBits, class ColorIndices, class AlphaIndices, size_t... I>
inline void bc7Separate(uint32_t e0, uint32_t e1, const ColorIndices colorIndices, const AlphaIndices alphaIndices,
                        unsigned rotation, uint32_t pixels[16], std::index_sequence<I...>) {
    if (rotation != 0) {
        const unsigned shift = 8 * (rotation - 1);
        auto swap = [shift](uint32_t word) {
            const uint32_t c = (word >> shift) & 0xFF, a = word >> 24;
            return (word & ~(0xFFu << shift) & 0x00FFFFFFu) | a << shift | c << 24;
        };
        e0 = swap(e0), e1 = swap(e1);
    }
    const uint32_t alphaByte = rotation == 0 ? 0xFF000000u : 0xFFu << (8 * (rotation - 1));
    alignas(16) uint32_t colors[16], alphas[16];
    palette<Sse2, ColorBits>(e0, e1, colors);
    palette<Sse2, AlphaBits>(e0, e1, alphas);
    ((pixels[I] = (colors[colorIndices.template at<ColorBits, I>()] & ~alphaByte) |
                  (alphas[alphaIndices.template at<AlphaBits, I>()] & alphaByte)),
     ...);
}

template <unsigned M, bool Sse2>
void bc7Rotated(const uint8_t *block, const uint8_t *, uint32_t pixels[16]) {
    using L = Bc7Layout<M>;
    constexpr Bc7Mode mode = L::mode;
    const auto b = tierWords<Sse2>(block);
    uint32_t ends[2];
    bc7Endpoints<M>(b, ends);
    const unsigned rotation = field<L::rotationAt, 2>(b);
    const auto primary = indicesOf<Sse2, mode.indexBits, L::indexAt, 1>(block, b, {});
    const auto secondary = indicesOf<Sse2, mode.secondaryIndexBits, L::secondaryAt, 1>(block, b, {});
    if (field<L::selectionAt, mode.selectionBits>(b) != 0) {
        bc7Separate<Sse2, ddsBc7ColorIndexBits(mode, true), ddsBc7AlphaIndexBits(mode, true)>(
            ends[0], ends[1], secondary, primary, rotation, pixels, std::make_index_sequence<16>());
    } else {
        bc7Separate<Sse2, ddsBc7ColorIndexBits(mode, false), ddsBc7AlphaIndexBits(mode, false)>(
            ends[0], ends[1], primary, secondary, rotation, pixels, std::make_index_sequence<16>());
    }
}

template <bool Sse2>
constexpr ModeFn Bc7ModeFns[9] = {
    bc7Subsets<0, Sse2>, bc7Subsets<1, Sse2>, bc7Subsets<2, Sse2>, bc7Subsets<3, Sse2>, bc7Rotated<4, Sse2>,
    bc7Rotated<5, Sse2>, bc7Subsets<6, Sse2>, bc7Subsets<7, Sse2>, solid<0>,
};

// ---------------------------------------------------------------- BC6H

// The portable tier's half-to-byte step: the output byte of every
// interpolated value, ddsHalfToUnorm8 of ddsBc6hHalf, at the value's low 16
// bits (signed values as two's complement).
struct UnormTable {
    uint8_t bytes[65536];
    explicit UnormTable(bool isSigned) {
        for (int v = 0; v < 65536; ++v) {
            const int value = isSigned && v >= 0x8000 ? v - 0x10000 : v;
            bytes[v] = ddsHalfToUnorm8(ddsBc6hHalf(value, isSigned));
        }
    }
};

const uint8_t *unormTable(bool isSigned) {
    static const UnormTable unsignedTable(false);
    static const UnormTable signedTable(true);
    return isSigned ? signedTable.bytes : unsignedTable.bytes;
}

#if defined(DDS_HAVE_SSE2)

// The SSE2 tier's half-to-byte step: ddsHalfToUnorm8(ddsBc6hHalf(c)) of
// four interpolated values in 32-bit lanes, not yet saturated (values of 1 and above give 255 or more; packing
// with unsigned saturation brings them to 255).  A half's bits moved up by
// 13, with 112 added to the exponent, are the float of the same value,
// exactly (N * 2^-s with N below 2^11), and times 255 its value times 255,
// exactly.  Adding 0.5 is exact as well (an integer below 2^24 times
// 2^-s), so truncating rounds as the plain decoder does, whatever rounding
// the processor is set to.  Halves with exponent 0 are below 2^-14 and give
// 0; they are taken as if their exponent were 1, still far below the 1/510
// that rounds up to 1, and so no float is ever subnormal (which some
// processors multiply on a slow path, and others read as 0).  Signed: the
// values at or below 0 give -0, +0 or a negative half, and 0 as well; their
// scaled magnitudes, -31743 to 0, moved up by 13 are -2^28 to 0, and with
// the exponent's 112 added the bits of positive floats below 2^-14 again.
template <bool Signed>
inline __m128i halfLanesSse2(__m128i c) {
    const __m128i times31 = _mm_sub_epi32(_mm_slli_epi32(c, 5), c);
    return _mm_srai_epi32(times31, ddsBc6hHalfShift(Signed));
}

template <bool Signed>
inline __m128i unorm8Sse2(__m128i c) {
    const __m128i half = halfLanesSse2<Signed>(c);
    const __m128i bits = _mm_add_epi32(_mm_slli_epi32(half, 13), _mm_set1_epi32(112 << 23));
    const __m128 scaled = _mm_mul_ps(_mm_castsi128_ps(bits), _mm_set1_ps(255.0f));
    return _mm_cvttps_epi32(_mm_add_ps(scaled, _mm_set1_ps(0.5f)));
}

// The mapped step: halfLanesSse2's halves of red, green and blue of four
// entries (a signed block's values at or below 0 as halves at or below 0,
// which all give 0: they are taken as +0), looked up in `table`, with
// alpha 255.
inline void mappedWordsSse2(const __m128i halves[3], const uint8_t *table, uint32_t *out) {
    const __m128i zero = _mm_setzero_si128();
    alignas(16) uint16_t entries[16];
    _mm_store_si128(reinterpret_cast<__m128i *>(entries), _mm_max_epi16(_mm_packs_epi32(halves[0], halves[1]), zero));
    _mm_store_si128(reinterpret_cast<__m128i *>(entries + 8), _mm_max_epi16(_mm_packs_epi32(halves[2], zero), zero));
    for (unsigned k = 0; k < 4; ++k) {
        out[k] = 0xFF000000u | static_cast<uint32_t>(table[entries[k]]) | static_cast<uint32_t>(table[entries[4 + k]]) << 8 |
                 static_cast<uint32_t>(table[entries[8 + k]]) << 16;
    }
}

// The weights of four entries a register, (64 - w, w) in 16-bit lanes.
struct EntryWeights {
    alignas(16) uint32_t lanes[4][4];
};
constexpr EntryWeights entryWeights(unsigned indexBits) {
    EntryWeights result{};
    for (unsigned i = 0; i < (1u << indexBits); ++i) {
        const uint32_t w = ddsBptcWeight(indexBits, i);
        result.lanes[i / 4][i % 4] = (64 - w) | w << 16;
    }
    return result;
}
alignas(16) constexpr EntryWeights EntryWeights3 = entryWeights(3);
alignas(16) constexpr EntryWeights EntryWeights4 = entryWeights(4);

#endif

// The 2^IndexBits palette words of one region: each channel interpolated
// as the plain decoder does (rounding towards minus infinity), then turned
// into its byte; alpha 255.  `table`: the portable tier's UnormTable, or,
// Mapped, the image's HDR table of halves (the SSE2 tier reads no other).
template <unsigned IndexBits, bool Signed, bool Sse2, bool Mapped>
DDS_BPTC_INLINE void bc6hPalette(const int e0[3], const int e1[3], const uint8_t *table, uint32_t *out) {
#if defined(DDS_HAVE_SSE2)
    if constexpr (Sse2) {
        // One channel of four entries a register: the lanes' (a, b) against
        // (64 - w, w), one multiply-add.  Unsigned endpoints (up to 0xFFFF)
        // are taken 0x8000 down to fit the lanes, and 64 * 0x8000 is put
        // back.  Red, green, blue and 255 bytes of four entries are packed
        // into one register, then put in pixel order by two interleaves.
        constexpr int shift = Signed ? 0 : 0x8000;
        const EntryWeights &weights = IndexBits == 3 ? EntryWeights3 : EntryWeights4;
        __m128i ends[3];
        for (unsigned c = 0; c < 3; ++c) {
            ends[c] = _mm_set1_epi32(static_cast<int>(static_cast<uint32_t>(e1[c] - shift) << 16 |
                                                      (static_cast<uint32_t>(e0[c] - shift) & 0xFFFF)));
        }
        const __m128i add = _mm_set1_epi32(32 + 64 * shift);
        const __m128i opaque = _mm_set1_epi32(255);
        for (unsigned j = 0; 4 * j < (1u << IndexBits); ++j) {
            const __m128i w = _mm_load_si128(reinterpret_cast<const __m128i *>(weights.lanes[j]));
            __m128i channel[3];
            for (unsigned c = 0; c < 3; ++c) channel[c] = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(ends[c], w), add), 6);
            if constexpr (Mapped) {
                for (__m128i &c : channel) c = halfLanesSse2<Signed>(c);
                mappedWordsSse2(channel, table, out + 4 * j);
                continue;
            }
            for (__m128i &c : channel) c = unorm8Sse2<Signed>(c);
            // R0-3 B0-3 G0-3 A0-3, then R G pairs beside B A pairs, then words.
            const __m128i planes =
                _mm_packus_epi16(_mm_packs_epi32(channel[0], channel[2]), _mm_packs_epi32(channel[1], opaque));
            const __m128i pairs = _mm_unpacklo_epi8(planes, _mm_srli_si128(planes, 8));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4 * j), _mm_unpacklo_epi16(pairs, _mm_srli_si128(pairs, 8)));
        }
        return;
    }
#endif
    for (unsigned i = 0; i < (1u << IndexBits); ++i) {
        const int w = ddsBptcWeight(IndexBits, i);
        uint32_t word = 0xFF000000u;
        for (unsigned c = 0; c < 3; ++c) {
            const int value = ddsBc6hInterpolate(e0[c], e1[c], w);
            const uint8_t byte = Mapped ? ddsHdrHalfByte(table, ddsBc6hHalf(value, Signed))
                                        : table[static_cast<uint32_t>(value) & 0xFFFF];
            word |= static_cast<uint32_t>(byte) << (8 * c);
        }
        out[i] = word;
    }
}

// A block of mode M into its pixels, its bytes through `table`.
template <unsigned M, bool Signed, bool Sse2, bool Mapped>
void bc6hMode(const uint8_t *block, const uint8_t *table, uint32_t pixels[16]) {
    using L = Bc6hLayout<M>;
    const auto b = tierWords<Sse2>(block);
    const uint32_t fields[12] = {bc6hField<M, 0>(b), bc6hField<M, 1>(b), bc6hField<M, 2>(b),  bc6hField<M, 3>(b),
                                 bc6hField<M, 4>(b), bc6hField<M, 5>(b), bc6hField<M, 6>(b),  bc6hField<M, 7>(b),
                                 bc6hField<M, 8>(b), bc6hField<M, 9>(b), bc6hField<M, 10>(b), bc6hField<M, 11>(b)};
    constexpr const Bc6hMode &mode = L::mode;
    int ends[4][3];
    for (unsigned e = 0; e < 2 * L::regions; ++e)
        for (unsigned c = 0; c < 3; ++c)
            ends[e][c] = ddsBc6hEndpoint(fields, e, c, mode.transformed ? mode.deltaBits[c] : 0u, mode.endpointBits, Signed);
    alignas(16) uint32_t words[16];
    for (unsigned r = 0; r < L::regions; ++r)
        bc6hPalette<L::indexBits, Signed, Sse2, Mapped>(ends[2 * r], ends[2 * r + 1], table, words + (r << L::indexBits));
    lookUp<Sse2, L::indexBits, L::indexAt, L::regions>(block, b, field<L::partitionAt, L::mode.partitionBits>(b), words, pixels);
}

template <bool Signed, bool Sse2, bool Mapped>
constexpr ModeFn Bc6hModeFns[15] = {
    bc6hMode<0, Signed, Sse2, Mapped>,  bc6hMode<1, Signed, Sse2, Mapped>,  bc6hMode<2, Signed, Sse2, Mapped>,
    bc6hMode<3, Signed, Sse2, Mapped>,  bc6hMode<4, Signed, Sse2, Mapped>,  bc6hMode<5, Signed, Sse2, Mapped>,
    bc6hMode<6, Signed, Sse2, Mapped>,  bc6hMode<7, Signed, Sse2, Mapped>,  bc6hMode<8, Signed, Sse2, Mapped>,
    bc6hMode<9, Signed, Sse2, Mapped>,  bc6hMode<10, Signed, Sse2, Mapped>, bc6hMode<11, Signed, Sse2, Mapped>,
    bc6hMode<12, Signed, Sse2, Mapped>, bc6hMode<13, Signed, Sse2, Mapped>, solid<0xFF000000u>,
};

// ---------------------------------------------------------------- rows

// A row of blocks: each block through the function of its mode, then its
// pixels into the rows.  BC6H's bytes come from `table`: the portable
// tier's UnormTable (the SSE2 tier computes them and reads none), or,
// Mapped, the image's HDR table of halves.
template <bool Sse2, bool Mapped, BlockFormat Format, int BytesPerPixel>
void bptcRow(const uint8_t *table, const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
    for (uint32_t b = 0; b < count; ++b) {
        const uint8_t *block = ddsBlockAt<Format>(blocks, b);
        alignas(16) uint32_t pixels[16];
        if constexpr (Format == BlockFormat::Bc7) Bc7ModeFns<Sse2>[kBc7ModeOfByte.values[block[0]]](block, table, pixels);
        else Bc6hModeFns<Format == BlockFormat::Bc6hSigned, Sse2, Mapped>[kBc6hModeOfByte.values[block[0]]](block, table, pixels);
        ddsPutBlock<BytesPerPixel>(rows, ddsBlockColumn<Format, BytesPerPixel>(b), pixels);
    }
}

// The kernels of a tier, and its mapped ones (BC6H through the image's HDR
// table).
template <bool Sse2>
struct Tier {
    template <BlockFormat Format, int BytesPerPixel>
    struct Kernel {
        static void run(const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
            const bool unormBytes = !Sse2 && Format != BlockFormat::Bc7;
            const uint8_t *table = unormBytes ? unormTable(Format == BlockFormat::Bc6hSigned) : nullptr;
            bptcRow<Sse2, false, Format, BytesPerPixel>(table, blocks, count, rows);
        }
    };
    template <BlockFormat Format, int BytesPerPixel>
    struct Mapped {
        static void run(const DdsHdrTable &table, const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
            bptcRow<Sse2, true, Format, BytesPerPixel>(table.bytes, blocks, count, rows);
        }
    };
};

using B = BlockFormat;

}  // namespace

BlockRowKernel ddsBptcKernelPortable(BlockFormat format, int bytesPerPixel) {
    return ddsWordsAreRgba ? ddsKernelOf<Tier<false>::Kernel, B::Bc6h, B::Bc6hSigned, B::Bc7>(format, bytesPerPixel) : nullptr;
}

MappedBlockRowKernel ddsBc6hMappedKernelPortable(BlockFormat format, int bytesPerPixel) {
    return ddsWordsAreRgba ? ddsKernelOf<Tier<false>::Mapped, B::Bc6h, B::Bc6hSigned>(format, bytesPerPixel) : nullptr;
}

#if defined(DDS_HAVE_SSE2)
BlockRowKernel ddsBptcKernelSse2(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<Tier<true>::Kernel, B::Bc6h, B::Bc6hSigned, B::Bc7>(format, bytesPerPixel);
}

MappedBlockRowKernel ddsBc6hMappedKernelSse2(BlockFormat format, int bytesPerPixel) {
    return ddsKernelOf<Tier<true>::Mapped, B::Bc6h, B::Bc6hSigned>(format, bytesPerPixel);
}
#endif
