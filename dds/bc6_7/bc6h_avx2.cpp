// BC6H block rows with AVX2, unsigned and signed, for processors that have
// it, byte for byte the plain decoder's.  The five mode bits pick a
// function made for the mode, which puts the endpoint fields together from
// the block's 32-bit words at positions fixed when compiled (layout.h), in
// 32-bit lanes, endpoints 0 and 2 in one register and 1 and 3 in another,
// and then works on whole registers:
//
// - Endpoints: the deltas of transformed modes sign-extended (a shift left
//   and back by a count for each lane) and added to endpoint 0, the
//   endpoints sign-extended (signed blocks) and spread over the 16-bit
//   range, and packed to one 32-bit lane for each region and channel holding
//   the region's two ends.
// - Palettes: the 48 entries of a block (16 a channel: two regions of eight
//   or one of sixteen) in six registers, each lane's pair of ends moved in
//   by a lane permutation and interpolated with one multiply-add, turned
//   into bytes by the exact float arithmetic of fast.cpp, and packed to 16
//   bytes a channel.
// - Pixels: every pixel's index from the index run (index_run.h) with its
//   region, looked up in the palettes with one byte shuffle for red and blue
//   and one for green; alpha is 255.
//
// The mapped rows (an exposure or sRGB asked for) take each palette
// entry's half from the same arithmetic and gather its byte from the
// image's HDR table, eight entries an instruction; with an exposure alone
// they compute the table's byte from the half's value and the scale, and
// with sRGB, where the processor has AVX-512 and the table its segments,
// from the segments, 32 halves an instruction.

#include <cstddef>
#include <cstdint>

#include "bc6_7/bc6_7.h"
#include "common/cpu_features.h"
#include "common/hdr_map.h"
#include "common/simd.h"

#if defined(DDS_HAVE_AVX2)

#include <immintrin.h>

#include "bc6_7/avx2_pixels.h"
#include "bc6_7/bc6h_rules.h"
#include "bc6_7/index_run.h"
#include "bc6_7/layout.h"

namespace {

using namespace bptc;
using namespace bptcavx2;

// Endpoints E and F of mode M (R, G, B each) in lanes 0-5.
template <unsigned M, unsigned E, unsigned F>
DDS_TARGET_AVX2 inline __m256i endpointLanes(const Words32 &b) {
    return _mm256_setr_epi32(static_cast<int>(bc6hField<M, 3 * E>(b)), static_cast<int>(bc6hField<M, 3 * E + 1>(b)),
                             static_cast<int>(bc6hField<M, 3 * E + 2>(b)), static_cast<int>(bc6hField<M, 3 * F>(b)),
                             static_cast<int>(bc6hField<M, 3 * F + 1>(b)), static_cast<int>(bc6hField<M, 3 * F + 2>(b)), 0, 0);
}

// The lanes of a mode's deltas: shifted left and back by 32 - (delta
// bits), and endpoint 0 added to them (all of the second register, lanes
// 3-5 of the first); endpoint 0 itself, lanes 0-2 of the first, passes
// unchanged.
struct alignas(32) Bc6hDeltas {
    uint32_t shifts[2][8];
    uint32_t firstDeltaLanes[8];
};
constexpr Bc6hDeltas bc6hDeltas(const Bc6hMode &mode) {
    Bc6hDeltas deltas{};
    for (unsigned reg = 0; reg < 2; ++reg) {
        for (unsigned lane = 0; lane < 6; ++lane) {
            if (reg == 0 && lane < 3) continue;
            deltas.shifts[reg][lane] = 32u - mode.deltaBits[lane % 3];
            if (reg == 0) deltas.firstDeltaLanes[lane] = 0xFFFFFFFFu;
        }
    }
    return deltas;
}
template <unsigned M>
inline constexpr Bc6hDeltas Bc6hDeltasOf = bc6hDeltas(kBc6hModes[M]);

// The six palette registers of one or two regions: lanes 0-3 and 4-7 of
// registers 0-3 hold red and blue of entries 4k to 4k + 3, registers 4 and
// 5 green of entries 0-3 and 8-11, 4-7 and 12-15 (so that packing them
// gives 16 bytes a channel in order).  Each lane takes the 32-bit lane of
// the ends of its region and channel, and the weights (64 - w, w) of its
// index.
struct alignas(32) Bc6hPalette {
    uint32_t lanes[6][8];
    uint32_t weights[6][8];
};
constexpr Bc6hPalette bc6hPalette(unsigned regions) {
    Bc6hPalette palette{};
    const unsigned indexBits = regions == 2 ? 3 : 4;
    for (unsigned reg = 0; reg < 6; ++reg) {
        for (unsigned lane = 0; lane < 8; ++lane) {
            const unsigned channel = reg < 4 ? (lane < 4 ? 0 : 2) : 1;
            const unsigned entry = reg < 4 ? 4 * reg + lane % 4 : (lane < 4 ? 0 : 8) + 4 * (reg - 4) + lane % 4;
            const unsigned region = entry >> indexBits, weight = ddsBptcWeight(indexBits, entry & ((1u << indexBits) - 1));
            palette.lanes[reg][lane] = 3 * region + channel;
            palette.weights[reg][lane] = (64 - weight) | weight << 16;
        }
    }
    return palette;
}
inline constexpr Bc6hPalette Bc6hPalettes[2] = {bc6hPalette(1), bc6hPalette(2)};

// The low `Bits` bits of each lane as a two's complement number.
template <unsigned Bits>
DDS_TARGET_AVX2 inline __m256i signExtend(__m256i value) {
    if constexpr (Bits >= 32) return value;
    else return _mm256_srai_epi32(_mm256_slli_epi32(value, 32 - Bits), 32 - Bits);
}

// Endpoints spread over the 16-bit range, as the plain decoder does.
template <unsigned Bits, bool Signed>
DDS_TARGET_AVX2 inline __m256i unquantize(__m256i x) {
    const __m256i zero = _mm256_setzero_si256();
    if constexpr (!Signed) {
        if constexpr (Bits >= 15) return x;
        const __m256i spread =
            _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(x, 15), _mm256_set1_epi32(0x4000)), Bits - 1);
        // The largest value gives 0xFFFF (the spread value is below it), 0 gives 0.
        const __m256i top = _mm256_srli_epi32(_mm256_cmpeq_epi32(x, _mm256_set1_epi32((1 << Bits) - 1)), 16);
        return _mm256_andnot_si256(_mm256_cmpeq_epi32(x, zero), _mm256_or_si256(spread, top));
    } else {
        if constexpr (Bits >= 16) return x;
        const __m256i magnitude = _mm256_abs_epi32(x);
        const __m256i spread =
            _mm256_srli_epi32(_mm256_add_epi32(_mm256_slli_epi32(magnitude, 15), _mm256_set1_epi32(0x4000)), Bits - 1);
        const __m256i top = _mm256_cmpgt_epi32(magnitude, _mm256_set1_epi32((1 << (Bits - 1)) - 2));
        // The sign put back; a magnitude of 0 gives 0.
        return _mm256_sign_epi32(_mm256_blendv_epi8(spread, _mm256_set1_epi32(0x7FFF), top), x);
    }
}

// The AVX2 tier's half-to-byte step: fast.cpp's unorm8Sse2 in eight
// lanes, interpolated values to their bytes, not yet saturated.
template <bool Signed>
DDS_TARGET_AVX2 inline __m256i halfLanes(__m256i c) {
    const __m256i times31 = _mm256_sub_epi32(_mm256_slli_epi32(c, 5), c);
    return _mm256_srai_epi32(times31, ddsBc6hHalfShift(Signed));
}

template <bool Signed>
DDS_TARGET_AVX2 inline __m256i unorm8(__m256i c) {
    const __m256i half = halfLanes<Signed>(c);
    const __m256i bits = _mm256_add_epi32(_mm256_slli_epi32(half, 13), _mm256_set1_epi32(112 << 23));
    const __m256 scaled = _mm256_mul_ps(_mm256_castsi256_ps(bits), _mm256_set1_ps(255.0f));
    return _mm256_cvttps_epi32(_mm256_add_ps(scaled, _mm256_set1_ps(0.5f)));
}

// How the palette's values become bytes: by the rule; from the image's
// HDR table; for a table of halves without sRGB, by its arithmetic
// (ddsHdrScaledByte) in eight lanes; or, for a table in segments, by them
// with AVX-512.
enum class Bytes : uint8_t { Rule, Table, Scaled, Segments };

// ddsHdrScaledByte of halves at or above 0, not yet saturated: a half's
// value as a float, exactly (a normal half's bits moved into a float's, a
// subnormal one converted and times 2^-24), times the scale, at most 255,
// plus 1/2, truncated.
DDS_TARGET_AVX2 inline __m256i scaledBytes(__m256i halves, float halfScale) {
    const __m256 normal = _mm256_castsi256_ps(_mm256_add_epi32(_mm256_slli_epi32(halves, 13), _mm256_set1_epi32(112 << 23)));
    const __m256 subnormal = _mm256_mul_ps(_mm256_cvtepi32_ps(halves), _mm256_set1_ps(1.0f / 16777216.0f));
    const __m256 isSubnormal = _mm256_castsi256_ps(_mm256_cmpgt_epi32(_mm256_set1_epi32(0x400), halves));
    const __m256 value = _mm256_blendv_ps(normal, subnormal, isSubnormal);
    const __m256 scaled = _mm256_min_ps(_mm256_mul_ps(value, _mm256_set1_ps(halfScale)), _mm256_set1_ps(255.0f));
    return _mm256_cvttps_epi32(_mm256_add_ps(scaled, _mm256_set1_ps(0.5f)));
}

// The eight 32-bit words at byte offsets `offsets` of `bytes`.  Where the
// compiler takes GCC's inline assembly, the gather is written out so that
// its index is never register 4: qemu-user 7.2, which runs the 32-bit
// suite on machines whose kernels run no 32-bit program, reads a VSIB
// index of register 4 as no index at all (every lane then reads the
// table's first word), as the ordinary SIB byte's index 4 means; with
// eight vector registers the 32-bit build's compiler picks it often.
DDS_TARGET_AVX2 inline __m256i gatherWords(const uint8_t *bytes, __m256i offsets) {
#if defined(__GNUC__)
    __m256i words = _mm256_setzero_si256(), lanes = _mm256_set1_epi32(-1);
    __asm__("vpgatherdd %[lanes], (%[bytes],%[offsets],1), %[words]"
            : [words] "+x"(words), [lanes] "+x"(lanes)
            : [bytes] "r"(bytes), [offsets] "x"(offsets)
            : "xmm4", "memory");
    return words;
#else
    return _mm256_i32gather_epi32(reinterpret_cast<const int *>(bytes), offsets, 1);
#endif
}

// Palette register `reg`: ((64 - w) e0 + w e1 + 32) >> 6 (rounding towards
// minus infinity), as bytes.  Unsigned ends are 0x8000 down in their lanes,
// and 64 * 0x8000 is put back.  From the HDR table, or scaled: each entry's
// half (a signed block's halves at or below 0 all give 0, so they are
// taken as +0); the table's bytes gathered, the largest half, 0x7BFF,
// reading them up to 0x7C02.
template <bool Signed, Bytes By>
DDS_TARGET_AVX2 inline __m256i paletteBytes(__m256i ends, const Bc6hPalette &palette, unsigned reg,
                                            const DdsHdrTable *table) {
    constexpr int bias = Signed ? 0 : 0x8000;
    const __m256i pairs = _mm256_permutevar8x32_epi32(ends, load(palette.lanes[reg]));
    const __m256i sums = _mm256_add_epi32(_mm256_madd_epi16(pairs, load(palette.weights[reg])), _mm256_set1_epi32(32 + 64 * bias));
    if constexpr (By == Bytes::Rule) {
        (void)table;
        return unorm8<Signed>(_mm256_srai_epi32(sums, 6));
    } else {
        __m256i halves = halfLanes<Signed>(_mm256_srai_epi32(sums, 6));
        if constexpr (Signed) halves = _mm256_max_epi32(halves, _mm256_setzero_si256());
        if constexpr (By == Bytes::Scaled) return scaledBytes(halves, table->halfScale);
        if constexpr (By == Bytes::Segments) return halves;  // mapped once packed to words
        return _mm256_and_si256(gatherWords(table->bytes, halves), _mm256_set1_epi32(0xFF));
    }
}

// The image's table by its segments (hdr_map.h), 32 halves a register:
// each half's segment, counted from the table's first and at most 63, picks
// its base and slope with one word permutation each (64 entries in two
// registers), and the base plus the slope times the half's low byte is its
// byte in 1/128ths, rounded and at most 255.
DDS_TARGET_AVX512 inline __m512i segmentBytes(__m512i halves, const DdsHdrTable &table) {
    const __m512i below = _mm512_set1_epi16(static_cast<short>(table.segmentsBelow));
    const __m512i segment = _mm512_subs_epu16(_mm512_srli_epi16(halves, 8), below);
    const __m512i entry = _mm512_min_epu16(segment, _mm512_set1_epi16(ddsHdrSegments - 1));
    const uint16_t *base = table.segmentBase, *slope = table.segmentSlope;
    const __m512i b = _mm512_permutex2var_epi16(_mm512_loadu_si512(base), entry, _mm512_loadu_si512(base + 32));
    const __m512i m = _mm512_permutex2var_epi16(_mm512_loadu_si512(slope), entry, _mm512_loadu_si512(slope + 32));
    const __m512i sum = _mm512_adds_epu16(b, _mm512_mulhi_epu16(m, _mm512_slli_epi16(halves, 8)));
    return _mm512_min_epu16(_mm512_srli_epi16(sum, 7), _mm512_set1_epi16(255));
}

// A register's halves and two registers joined, by vector shuffles: GCC
// 12's intrinsics for them warn that an undefined value they pass along is
// not initialised.
DDS_TARGET_AVX512 inline __m512i join(__m256i low, __m256i high) {
    return reinterpret_cast<__m512i>(
        __builtin_shufflevector(reinterpret_cast<__v4di>(low), reinterpret_cast<__v4di>(high), 0, 1, 2, 3, 4, 5, 6, 7));
}
DDS_TARGET_AVX512 inline __m256i lowerHalf(__m512i v) {
    return reinterpret_cast<__m256i>(__builtin_shufflevector(reinterpret_cast<__v8di>(v), reinterpret_cast<__v8di>(v), 0, 1, 2, 3));
}
DDS_TARGET_AVX512 inline __m256i upperHalf(__m512i v) {
    return reinterpret_cast<__m256i>(__builtin_shufflevector(reinterpret_cast<__v8di>(v), reinterpret_cast<__v8di>(v), 4, 5, 6, 7));
}

// The 48 palette halves of a block, 16-bit words in three registers, to
// their bytes: the first two joined in one 512-bit register.
DDS_TARGET_AVX512 inline void segmentPalette(__m256i &redWords, __m256i &blueWords, __m256i &greenWords,
                                             const DdsHdrTable &table) {
    const __m512i joined = join(redWords, blueWords);
    const __m512i redBlue = segmentBytes(joined, table);
    redWords = lowerHalf(redBlue);
    blueWords = upperHalf(redBlue);
    greenWords = lowerHalf(segmentBytes(join(greenWords, greenWords), table));
}

// A block of mode M into its rows, its values' bytes as `By` says.
template <unsigned M, bool Signed, int BytesPerPixel, Bytes By>
DDS_TARGET_AVX2 inline void decodeBc6h(const uint8_t *block, const DdsHdrTable *table, uint8_t *const *rows,
                                       size_t column, bool last) {
    using L = Bc6hLayout<M>;
    constexpr unsigned Bits = L::mode.endpointBits;
    const Words32 b = words32(block);
    __m256i first = endpointLanes<M, 0, 2>(b), second = endpointLanes<M, 1, 3>(b);

    // As the plain decoder: endpoint 0 as stored, the others deltas from
    // it in transformed modes, wrapping at the endpoint width.
    if constexpr (L::mode.transformed) {
        const Bc6hDeltas &deltas = Bc6hDeltasOf<M>;
        const __m256i base = _mm256_permutevar8x32_epi32(first, _mm256_setr_epi32(0, 1, 2, 0, 1, 2, 0, 0));
        const __m256i mask = _mm256_set1_epi32((1 << Bits) - 1);
        const __m256i shifts0 = load(deltas.shifts[0]), shifts1 = load(deltas.shifts[1]);
        first = _mm256_srav_epi32(_mm256_sllv_epi32(first, shifts0), shifts0);
        second = _mm256_srav_epi32(_mm256_sllv_epi32(second, shifts1), shifts1);
        first = _mm256_and_si256(_mm256_add_epi32(first, _mm256_and_si256(base, load(deltas.firstDeltaLanes))), mask);
        second = _mm256_and_si256(_mm256_add_epi32(second, base), mask);
    }
    if constexpr (Signed) first = signExtend<Bits>(first), second = signExtend<Bits>(second);
    first = unquantize<Bits, Signed>(first), second = unquantize<Bits, Signed>(second);
    // Lane 3r + c: channel c of region r's two ends, 16 bits each.
    const __m256i bias = _mm256_set1_epi32(Signed ? 0 : 0x8000);
    const __m256i ends = _mm256_blend_epi16(_mm256_sub_epi32(first, bias), _mm256_slli_epi32(_mm256_sub_epi32(second, bias), 16), 0xAA);

    const Bc6hPalette &palette = Bc6hPalettes[L::regions - 1];
    __m256i redWords = _mm256_packs_epi32(paletteBytes<Signed, By>(ends, palette, 0, table),
                                          paletteBytes<Signed, By>(ends, palette, 1, table));
    __m256i blueWords = _mm256_packs_epi32(paletteBytes<Signed, By>(ends, palette, 2, table),
                                           paletteBytes<Signed, By>(ends, palette, 3, table));
    __m256i greenWords = _mm256_packs_epi32(paletteBytes<Signed, By>(ends, palette, 4, table),
                                            paletteBytes<Signed, By>(ends, palette, 5, table));
    if constexpr (By == Bytes::Segments) segmentPalette(redWords, blueWords, greenWords, *table);
    const __m256i redBlue = _mm256_packus_epi16(redWords, blueWords);
    const __m256i green = _mm256_permute4x64_epi64(_mm256_packus_epi16(greenWords, greenWords), 0x88);

    const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block));
    __m128i entryOfPixel;
    if constexpr (L::regions == 1) {
        entryOfPixel = spreadIndices<L::indexBits>(runFrom<L::indexAt>(bits));
    } else {
        entryOfPixel = entries<L::indexBits, 2>(field<L::partitionAt, 5>(b), runFrom<L::indexAt>(bits));
    }
    const __m256i twice = bothHalves(entryOfPixel, entryOfPixel);
    PixelWords pixels = interleave(_mm256_shuffle_epi8(redBlue, twice), _mm256_shuffle_epi8(green, twice));
    if constexpr (BytesPerPixel == 4) {
        const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
        pixels.first = _mm256_or_si256(pixels.first, opaque);
        pixels.second = _mm256_or_si256(pixels.second, opaque);
    }
    storeRows<BytesPerPixel>(pixels, rows, column, last);
}

template <unsigned M, bool Signed, int BytesPerPixel, Bytes By>
DDS_TARGET_AVX2 void bc6hBlock(const DdsHdrTable *table, const uint8_t *block, uint8_t *const *rows, size_t column,
                               bool last) {
    decodeBc6h<M, Signed, BytesPerPixel, By>(block, table, rows, column, last);
}

// The same by the table's segments, compiled for AVX-512 with everything
// it calls inlined into it (the AVX2 steps and the segments' lookups).
template <unsigned M, bool Signed, int BytesPerPixel>
DDS_TARGET_AVX512 __attribute__((flatten)) void bc6hSegmentBlock(const DdsHdrTable *table, const uint8_t *block,
                                                                 uint8_t *const *rows, size_t column, bool last) {
    decodeBc6h<M, Signed, BytesPerPixel, Bytes::Segments>(block, table, rows, column, last);
}

// The reserved modes: the plain decoder's zeros, with alpha 255 (0 is 0 in
// every HDR table too).
template <int BytesPerPixel>
DDS_TARGET_AVX2 void bc6hReserved(const DdsHdrTable *, const uint8_t *, uint8_t *const *rows, size_t column,
                                  bool last) {
    const __m256i black = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    storeRows<BytesPerPixel>({black, black}, rows, column, last);
}

using Bc6hBlockFn = void (*)(const DdsHdrTable *table, const uint8_t *block, uint8_t *const *rows, size_t column,
                             bool last);

template <unsigned M, bool Signed, int P, Bytes By>
constexpr Bc6hBlockFn blockOfMode() {
    if constexpr (By == Bytes::Segments) return bc6hSegmentBlock<M, Signed, P>;
    else return bc6hBlock<M, Signed, P, By>;
}

template <bool Signed, int P, Bytes By>
constexpr Bc6hBlockFn Bc6hBlocks[15] = {
    blockOfMode<0, Signed, P, By>(),  blockOfMode<1, Signed, P, By>(),  blockOfMode<2, Signed, P, By>(),
    blockOfMode<3, Signed, P, By>(),  blockOfMode<4, Signed, P, By>(),  blockOfMode<5, Signed, P, By>(),
    blockOfMode<6, Signed, P, By>(),  blockOfMode<7, Signed, P, By>(),  blockOfMode<8, Signed, P, By>(),
    blockOfMode<9, Signed, P, By>(),  blockOfMode<10, Signed, P, By>(), blockOfMode<11, Signed, P, By>(),
    blockOfMode<12, Signed, P, By>(), blockOfMode<13, Signed, P, By>(), bc6hReserved<P>,
};

// A row of blocks, each through the function of its mode, its values'
// bytes as `By` says (`table` is not read by the rule's).
template <bool Signed, int BytesPerPixel, Bytes By>
DDS_TARGET_AVX2 void bc6hBlocks(const DdsHdrTable *table, const uint8_t *blocks, uint32_t blockCount,
                                uint8_t *const *rows) {
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + size_t{b} * 16;
        Bc6hBlocks<Signed, BytesPerPixel, By>[kBc6hModeOfByte.values[block[0]]](
            table, block, rows, size_t{b} * 4 * BytesPerPixel, b + 1 == blockCount);
    }
}

template <bool Signed, int BytesPerPixel>
void bc6hRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    bc6hBlocks<Signed, BytesPerPixel, Bytes::Rule>(nullptr, blocks, blockCount, rows);
}

// A row of blocks through the image's HDR table: its arithmetic where it
// has one (an exposure alone), its segments with AVX-512 where it has them,
// else its bytes.
template <bool Signed, int BytesPerPixel, bool Avx512>
void mappedBc6hRow(const DdsHdrTable &table, const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    if (table.scaled) {
        bc6hBlocks<Signed, BytesPerPixel, Bytes::Scaled>(&table, blocks, blockCount, rows);
    } else if (Avx512 && table.segmented) {
        bc6hBlocks<Signed, BytesPerPixel, Bytes::Segments>(&table, blocks, blockCount, rows);
    } else {
        bc6hBlocks<Signed, BytesPerPixel, Bytes::Table>(&table, blocks, blockCount, rows);
    }
}

template <bool Avx512>
MappedBlockRowKernel mappedKernel(BlockFormat format, int bytesPerPixel) {
    const bool rgb = bytesPerPixel == 3;
    if (format == BlockFormat::Bc6hSigned) return rgb ? mappedBc6hRow<true, 3, Avx512> : mappedBc6hRow<true, 4, Avx512>;
    if (format == BlockFormat::Bc6h) return rgb ? mappedBc6hRow<false, 3, Avx512> : mappedBc6hRow<false, 4, Avx512>;
    return nullptr;
}

}  // namespace


BlockRowKernel ddsBc6hKernelAvx2(BlockFormat format, int bytesPerPixel) {
    const bool rgb = bytesPerPixel == 3;
    if (format == BlockFormat::Bc6hSigned) return rgb ? bc6hRow<true, 3> : bc6hRow<true, 4>;
    if (format == BlockFormat::Bc6h) return rgb ? bc6hRow<false, 3> : bc6hRow<false, 4>;
    return nullptr;
}

MappedBlockRowKernel ddsBc6hMappedKernelAvx2(BlockFormat format, int bytesPerPixel) {
    return ddsCpuHasAvx512() ? mappedKernel<true>(format, bytesPerPixel) : mappedKernel<false>(format, bytesPerPixel);
}

#endif
