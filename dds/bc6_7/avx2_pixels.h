// What the AVX2 kernels of BC7 and BC6H share: every pixel's index from an
// index run at once, and the pixels looked up from per-channel palettes of
// 16 bytes and stored as rows.  Only included where AVX2 is compiled; every
// function here is compiled for it.
#ifndef DDS_BC6_7_AVX2_PIXELS_H
#define DDS_BC6_7_AVX2_PIXELS_H

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "bc6_7/index_run.h"
#include "common/rows_sse2.h"
#include "common/simd.h"

namespace bptcavx2 {

DDS_TARGET_AVX2 inline __m256i load(const void *constants) { return _mm256_load_si256(static_cast<const __m256i *>(constants)); }

// Shuffle controls and multipliers that take the 16 indices of a run
// (index_run.h: pixel 0 short at bit 0, pixel i at IndexBits * i - 1) into
// 16-bit lanes: the two bytes that hold the index, then the index moved to
// bit 7 by a multiplication (a shift by a different count in every lane).
struct alignas(32) IndexSpread {
    uint8_t bytes[32];
    uint16_t multipliers[16];
    uint16_t masks[16];
};

constexpr IndexSpread indexSpread(unsigned indexBits) {
    IndexSpread spread{};
    for (unsigned i = 0; i < 16; ++i) {
        const unsigned from = i == 0 ? 0 : indexBits * i - 1;
        // Lanes 0-7 come from the low 128 bits, 8-15 from the high ones,
        // both of which hold the run's 64 bits.
        spread.bytes[2 * i] = static_cast<uint8_t>(from / 8);
        spread.bytes[2 * i + 1] = static_cast<uint8_t>(from / 8 + 1);
        spread.multipliers[i] = static_cast<uint16_t>(1u << (7 - from % 8));
        spread.masks[i] = static_cast<uint16_t>((1u << (i == 0 ? indexBits - 1 : indexBits)) - 1);
    }
    return spread;
}

inline constexpr IndexSpread IndexSpreads[3] = {indexSpread(2), indexSpread(3), indexSpread(4)};

// The 16 indices of a run, one byte a pixel.  The run's index bits end by
// bit 63, so a lane's second byte, past the run's eight, is only ever
// shifted out.
template <unsigned IndexBits>
DDS_TARGET_AVX2 inline __m128i spreadIndices(__m128i run) {
    const IndexSpread &spread = IndexSpreads[IndexBits - 2];
    const __m256i words = _mm256_shuffle_epi8(_mm256_broadcastq_epi64(run), load(spread.bytes));
    const __m256i moved = _mm256_srli_epi16(_mm256_mullo_epi16(words, load(spread.multipliers)), 7);
    const __m256i indices = _mm256_and_si256(moved, load(spread.masks));
    return _mm_packus_epi16(_mm256_castsi256_si128(indices), _mm256_extracti128_si256(indices, 1));
}

// The partitions' subsets as rows of 16 bytes, one a pixel, for a byte
// shuffle: the two-subset partitions, then the three-subset ones.
struct alignas(16) SubsetRows {
    uint8_t rows[2][64][16];
};
constexpr SubsetRows subsetRows() {
    SubsetRows result{};
    for (unsigned p = 0; p < 64; ++p) {
        for (unsigned i = 0; i < 16; ++i) {
            result.rows[0][p][i] = static_cast<uint8_t>(ddsBptcSubset(kBptcSubsets2[p], i));
            result.rows[1][p][i] = static_cast<uint8_t>(ddsBptcSubset(kBptcSubsets3[p], i));
        }
    }
    return result;
}
inline constexpr SubsetRows Subsets = subsetRows();

// Every pixel's palette entry, subset << IndexBits | index, in a block of
// partition `partition` of `SubsetCount` (2 or 3) subsets, from its run
// (its anchors' missing bits put back here).
template <unsigned IndexBits, unsigned SubsetCount>
DDS_TARGET_AVX2 inline __m128i entries(unsigned partition, __m128i run) {
    const BptcAnchors anchors = ddsBptcAnchors(SubsetCount, partition);
    run = bptc::withAnchorSse2<IndexBits>(run, anchors.first);
    if constexpr (SubsetCount == 3) run = bptc::withAnchorSse2<IndexBits>(run, anchors.second);
    const __m128i subset = _mm_loadu_si128(reinterpret_cast<const __m128i *>(Subsets.rows[SubsetCount - 2][partition]));
    return _mm_or_si128(_mm_slli_epi16(subset, IndexBits), spreadIndices<IndexBits>(run));
}

DDS_TARGET_AVX2 inline __m256i bothHalves(__m128i low, __m128i high) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// The pixels of a block as two registers of RGBA words, pixels 0-3 and 8-11
// in the first, 4-7 and 12-15 in the second, from the bytes of each pixel
// in planes: red | blue and green | alpha, 16 pixels a half.
struct PixelWords {
    __m256i first, second;
};

DDS_TARGET_AVX2 inline PixelWords interleave(__m256i redBlue, __m256i greenAlpha) {
    const __m256i low = _mm256_unpacklo_epi8(redBlue, greenAlpha);    // RG 0-7 | BA 0-7
    const __m256i high = _mm256_unpackhi_epi8(redBlue, greenAlpha);   // RG 8-15 | BA 8-15
    const __m256i redGreen = _mm256_permute2x128_si256(low, high, 0x20);
    const __m256i blueAlpha = _mm256_permute2x128_si256(low, high, 0x31);
    return {_mm256_unpacklo_epi16(redGreen, blueAlpha), _mm256_unpackhi_epi16(redGreen, blueAlpha)};
}

// ddsPackRgbControl in each 128-bit half: four RGBA words packed to their
// twelve R, G, B bytes, zeros after.
alignas(32) inline constexpr uint8_t RgbFinish[32] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0x80, 0x80, 0x80, 0x80,
                                                      0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0x80, 0x80, 0x80, 0x80};

// Stores the block's rows at byte `column` of the rows, four or three
// bytes a pixel: the twelve bytes of a three-byte row with one 16-byte
// store where the next block's row follows and overwrites the last four.
template <int BytesPerPixel>
DDS_TARGET_AVX2 inline void storeRows(PixelWords pixels, uint8_t *const *rows, size_t column, bool last) {
    if constexpr (BytesPerPixel == 3) {
        pixels.first = _mm256_shuffle_epi8(pixels.first, load(RgbFinish));
        pixels.second = _mm256_shuffle_epi8(pixels.second, load(RgbFinish));
    }
    const __m128i row[4] = {_mm256_castsi256_si128(pixels.first), _mm256_castsi256_si128(pixels.second),
                            _mm256_extracti128_si256(pixels.first, 1), _mm256_extracti128_si256(pixels.second, 1)};
    ddsStoreBlockRows<BytesPerPixel>(row, rows, column, last);
}

using BlockFn = void (*)(const uint8_t *block, uint8_t *const *rows, size_t column, bool last);

// A row of blocks, each decoded by the function of `Fns` that `Choice`
// gives its first byte (its mode, or a variant of it).
template <int BytesPerPixel, const BlockFn *Fns, const BptcByteTable &Choice>
DDS_TARGET_AVX2 void blockRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + size_t{b} * 16;
        Fns[Choice.values[block[0]]](block, rows, size_t{b} * 4 * BytesPerPixel, b + 1 == blockCount);
    }
}

}  // namespace bptcavx2

#endif
