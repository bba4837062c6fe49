// BC7 block rows with AVX2, for processors that have it, byte for byte the
// plain decoder's.  The block's first byte picks a function made for its
// mode (mode 4 twice, for each value of its index selection bit), which
// works on whole registers with constants built from the mode's layout
// when compiled:
//
// - Endpoints: every channel of every endpoint in a 32-bit lane, its bytes
//   taken from the block by a shuffle, shifted and masked, its p-bit put
//   below it, widened to 8 bits (the top bits repeated below) with one
//   multiplication, and packed to bytes: red and green in the low 128 bits,
//   blue and alpha in the high ones.
// - Palettes: per channel, 16 bytes of entries (subset << index bits |
//   index): pairs of endpoint bytes shuffled into place and multiplied by
//   the pairs of weights (64 - w, w), 16 entries of two channels a
//   multiply-add.  Mode 0's three subsets of eight take a second palette.
// - Indices: the run of index bits in an SSE2 register (index_run.h),
//   every pixel's index from it at once, its subset beside it from the
//   partition's row of subsets; a byte shuffle looks up all 16 pixels of two
//   channels in their palettes.  Modes 4 and 5 look their alpha (or the
//   channel rotation swaps with it) up with the other indices and swap
//   the rotated channel back into place with one more shuffle.

#include <cstddef>
#include <cstdint>

#include "bc6_7/bc6_7.h"
#include "common/simd.h"

#if defined(DDS_HAVE_AVX2)

#include <immintrin.h>

#include "bc6_7/avx2_pixels.h"
#include "bc6_7/index_run.h"
#include "bc6_7/layout.h"

namespace {

using namespace bptc;
using namespace bptcavx2;

// The constants of one mode (and index selection).  Endpoint channels: up
// to three registers of eight 32-bit lanes; lane l of register g becomes
// byte 4g + l % 4 of the low (l < 4: red, then green, of every endpoint) or
// the high 128 bits (blue, then alpha).  Palettes: six registers of 16
// endpoint pairs, entries 0-7, 8-15 and 16-23 of red | blue and of green |
// alpha, with their weights.
struct alignas(32) Bc7Constants {
    uint8_t fieldBytes[3][32];
    uint32_t fieldShifts[3][8];
    uint32_t fieldMasks[3][8];
    uint8_t pBitBytes[3][32];
    uint32_t pBitShifts[3][8];
    uint32_t widen[3][8];   // widenMultiplier of each lane's width
    uint32_t opaque[3][8];  // 255 for the alpha of modes without alpha
    uint8_t pairs[6][32];
    int8_t weights[6][32];
};

// The multiplier that widens a value of `bits` bits (4 to 8) to a byte in
// the low 16 bits of a lane: (v x it) >> 8 repeats v's top bits below it,
// as ddsBc7Widen does for every value of every width a mode stores.
constexpr uint32_t widenMultiplier(unsigned bits) { return (1u << (16 - bits)) + (1u << (16 - 2 * bits)); }
constexpr bool widenIsTheRule() {
    for (const Bc7Mode &m : kBc7Modes) {
        const unsigned pBits = m.endpointPBits + m.sharedPBits;
        for (unsigned width : {m.colorBits, m.alphaBits}) {
            for (uint32_t v = 0; width != 0 && v < (1u << (width + pBits)); ++v)
                if (((v * widenMultiplier(width + pBits)) & 0xFFFF) >> 8 != ddsBc7Widen(v >> pBits, width, v & pBits, pBits))
                    return false;
        }
    }
    return true;
}
static_assert(widenIsTheRule(), "the vector widening gives the rule's byte for every value");

template <unsigned M>
constexpr void endpointLane(Bc7Constants &k, unsigned group, unsigned lane) {
    using L = Bc7Layout<M>;
    constexpr unsigned Endpoints = L::endpoints;
    for (unsigned t = 0; t < 4; ++t) k.fieldBytes[group][4 * lane + t] = k.pBitBytes[group][4 * lane + t] = 0x80;
    const unsigned byte = 4 * group + lane % 4;
    if (byte >= 2 * Endpoints) return;
    const unsigned channel = 2 * (lane / 4) + byte / Endpoints, endpoint = byte % Endpoints;
    const unsigned width = channel < 3 ? L::mode.colorBits : L::mode.alphaBits;
    const unsigned at = channel < 3 ? L::colorAt + channel * L::colorRun + endpoint * width : L::alphaAt + endpoint * width;
    if (width == 0) {
        k.opaque[group][lane] = 255;
        return;
    }
    for (unsigned t = 0; t < 4 && at / 8 + t < 16; ++t) k.fieldBytes[group][4 * lane + t] = static_cast<uint8_t>(at / 8 + t);
    k.fieldShifts[group][lane] = at % 8;
    k.fieldMasks[group][lane] = (1u << width) - 1;
    if (L::pBitWidth != 0) {
        const unsigned pBit = L::pBitAt + (L::mode.endpointPBits ? endpoint : endpoint / 2);
        k.pBitBytes[group][4 * lane] = static_cast<uint8_t>(pBit / 8);
        k.pBitShifts[group][lane] = pBit % 8;
    }
    k.widen[group][lane] = widenMultiplier(width + L::pBitWidth);
}

template <unsigned M>
constexpr void paletteLane(Bc7Constants &k, bool selected, unsigned reg, unsigned half, unsigned e) {
    using L = Bc7Layout<M>;
    const unsigned channel = reg % 2 == 0 ? 2 * half : 2 * half + 1;
    const unsigned bits = channel == 3 ? ddsBc7AlphaIndexBits(L::mode, selected) : ddsBc7ColorIndexBits(L::mode, selected);
    const unsigned entry = 8 * (reg / 2) + e, subset = entry >> bits, index = entry & ((1u << bits) - 1);
    const unsigned at = 16 * half + 2 * e;
    if (subset >= L::subsets) {
        k.pairs[reg][at] = k.pairs[reg][at + 1] = 0x80;
        return;
    }
    const unsigned first = (channel % 2) * L::endpoints + 2 * subset;
    k.pairs[reg][at] = static_cast<uint8_t>(first);
    k.pairs[reg][at + 1] = static_cast<uint8_t>(first + 1);
    const unsigned weight = ddsBptcWeight(bits, index);
    k.weights[reg][at] = static_cast<int8_t>(64 - weight);
    k.weights[reg][at + 1] = static_cast<int8_t>(weight);
}

template <unsigned M>
constexpr Bc7Constants bc7Constants(bool selected) {
    Bc7Constants k{};
    for (unsigned group = 0; group < 3; ++group)
        for (unsigned lane = 0; lane < 8; ++lane) endpointLane<M>(k, group, lane);
    for (unsigned reg = 0; reg < 6; ++reg)
        for (unsigned half = 0; half < 2; ++half)
            for (unsigned e = 0; e < 8; ++e) paletteLane<M>(k, selected, reg, half, e);
    return k;
}

template <unsigned M, bool Selected>
inline constexpr Bc7Constants Bc7ConstantsOf = bc7Constants<M>(Selected);

// One register of endpoint channels, widened to 8 bits in 32-bit lanes.
template <bool PBits, bool Opaque>
DDS_TARGET_AVX2 inline __m256i endpointChannels(__m256i block, const Bc7Constants &k, unsigned group) {
    __m256i value = _mm256_shuffle_epi8(block, load(k.fieldBytes[group]));
    value = _mm256_and_si256(_mm256_srlv_epi32(value, load(k.fieldShifts[group])), load(k.fieldMasks[group]));
    if constexpr (PBits) {
        __m256i pBit = _mm256_srlv_epi32(_mm256_shuffle_epi8(block, load(k.pBitBytes[group])), load(k.pBitShifts[group]));
        value = _mm256_or_si256(_mm256_slli_epi32(value, 1), _mm256_and_si256(pBit, _mm256_set1_epi32(1)));
    }
    value = _mm256_srli_epi32(_mm256_mullo_epi16(value, load(k.widen[group])), 8);
    if constexpr (Opaque) value = _mm256_or_si256(value, load(k.opaque[group]));
    return value;
}

// Palette register `reg`: ((64 - w) e0 + w e1 + 32) >> 6 in 16-bit lanes.
DDS_TARGET_AVX2 inline __m256i paletteEntries(__m256i ends, const Bc7Constants &k, unsigned reg) {
    const __m256i sums = _mm256_maddubs_epi16(_mm256_shuffle_epi8(ends, load(k.pairs[reg])), load(k.weights[reg]));
    return _mm256_srli_epi16(_mm256_add_epi16(sums, _mm256_set1_epi16(32)), 6);
}

// Swaps of the rotated channel with alpha in RGBA words, by rotation.
struct alignas(32) Rotations {
    uint8_t bytes[4][32];
};
constexpr Rotations rotations() {
    Rotations result{};
    for (unsigned r = 0; r < 4; ++r) {
        for (unsigned k = 0; k < 32; ++k) {
            const unsigned c = k % 4, word = k % 16 - c;
            const unsigned from = r == 0 ? c : c == r - 1 ? 3 : c == 3 ? r - 1 : c;
            result.bytes[r][k] = static_cast<uint8_t>(word + from);
        }
    }
    return result;
}
constexpr Rotations Bc7Rotations = rotations();

template <unsigned M, bool Selected, int BytesPerPixel>
DDS_TARGET_AVX2 void bc7Block(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
    using L = Bc7Layout<M>;
    static constexpr const Bc7Constants &k = Bc7ConstantsOf<M, Selected>;
    constexpr unsigned ColorBits = ddsBc7ColorIndexBits(L::mode, Selected), AlphaBits = ddsBc7AlphaIndexBits(L::mode, Selected);
    constexpr unsigned Entries = L::subsets << (ColorBits > AlphaBits ? ColorBits : AlphaBits);
    constexpr bool PBits = L::pBitWidth != 0, Opaque = L::mode.alphaBits == 0;
    const __m128i bits = _mm_loadu_si128(reinterpret_cast<const __m128i *>(block));
    const __m256i both = _mm256_broadcastsi128_si256(bits);
    const __m256i zero = _mm256_setzero_si256();

    const __m256i first = endpointChannels<PBits, Opaque>(both, k, 0);
    __m256i ends;
    if constexpr (L::subsets == 1) {
        ends = _mm256_packus_epi16(_mm256_packus_epi32(first, zero), zero);
    } else if constexpr (L::subsets == 2) {
        ends = _mm256_packus_epi16(_mm256_packus_epi32(first, endpointChannels<PBits, Opaque>(both, k, 1)), zero);
    } else {
        ends = _mm256_packus_epi16(_mm256_packus_epi32(first, endpointChannels<PBits, Opaque>(both, k, 1)),
                                   _mm256_packus_epi32(endpointChannels<PBits, Opaque>(both, k, 2), zero));
    }

    const __m256i redBlue = _mm256_packus_epi16(paletteEntries(ends, k, 0), Entries > 8 ? paletteEntries(ends, k, 2) : zero);
    const __m256i greenAlpha =
        _mm256_packus_epi16(paletteEntries(ends, k, 1), Entries > 8 ? paletteEntries(ends, k, 3) : zero);

    __m128i colorEntries, alphaEntries;
    if constexpr (L::subsets == 1) {
        const __m128i primary = spreadIndices<L::mode.indexBits>(runFrom<L::indexAt>(bits));
        colorEntries = alphaEntries = primary;
        if constexpr (L::mode.secondaryIndexBits != 0) {
            // Modes 4 and 5: alpha takes the secondary indices, or with the
            // index selection bit set colour does.
            const __m128i secondary = spreadIndices<L::mode.secondaryIndexBits>(runFrom<L::secondaryAt>(bits));
            if constexpr (Selected) colorEntries = secondary;
            else alphaEntries = secondary;
        }
    } else {
        const unsigned partition = (ddsLoad16(block) >> L::partitionAt) & ((1u << L::mode.partitionBits) - 1);
        colorEntries = alphaEntries = entries<ColorBits, L::subsets>(partition, runFrom<L::indexAt>(bits));
    }

    const __m256i colorTwice = bothHalves(colorEntries, colorEntries);
    __m256i redBluePixels = _mm256_shuffle_epi8(redBlue, colorTwice);
    __m256i greenAlphaPixels = _mm256_shuffle_epi8(greenAlpha, bothHalves(colorEntries, alphaEntries));
    if constexpr (Entries > 16) {
        // Entries 16-23 (the third subset) from their own palettes: a
        // shuffle reads an entry's low four bits, and bit 4 chooses.
        const __m256i third = _mm256_slli_epi16(colorTwice, 3);
        const __m256i thirdRedBlue = _mm256_packus_epi16(paletteEntries(ends, k, 4), zero);
        const __m256i thirdGreenAlpha = _mm256_packus_epi16(paletteEntries(ends, k, 5), zero);
        redBluePixels = _mm256_blendv_epi8(redBluePixels, _mm256_shuffle_epi8(thirdRedBlue, colorTwice), third);
        greenAlphaPixels = _mm256_blendv_epi8(greenAlphaPixels, _mm256_shuffle_epi8(thirdGreenAlpha, colorTwice), third);
    }
    PixelWords pixels = interleave(redBluePixels, greenAlphaPixels);
    if constexpr (L::mode.rotationBits != 0) {
        const __m256i rotation = load(Bc7Rotations.bytes[(block[0] >> L::rotationAt) & 3]);
        pixels.first = _mm256_shuffle_epi8(pixels.first, rotation);
        pixels.second = _mm256_shuffle_epi8(pixels.second, rotation);
    }
    storeRows<BytesPerPixel>(pixels, rows, column, last);
}

// A block without a mode: zeros.
template <int BytesPerPixel>
DDS_TARGET_AVX2 void bc7Invalid(const uint8_t *, uint8_t *const *rows, size_t column, bool last) {
    const __m256i zero = _mm256_setzero_si256();
    storeRows<BytesPerPixel>({zero, zero}, rows, column, last);
}

// The functions by variant: modes 0 to 7, mode 4 with its index selection
// bit set, no mode.
template <int P>
constexpr BlockFn Bc7Blocks[10] = {
    bc7Block<0, false, P>, bc7Block<1, false, P>, bc7Block<2, false, P>, bc7Block<3, false, P>, bc7Block<4, false, P>,
    bc7Block<5, false, P>, bc7Block<6, false, P>, bc7Block<7, false, P>, bc7Block<4, true, P>, bc7Invalid<P>,
};

constexpr unsigned variantOf(uint8_t firstByte) {
    const unsigned mode = ddsBc7ModeOf(firstByte);
    const bool selected = mode == 4 && ((firstByte >> Bc7Layout<4>::selectionAt) & 1) != 0;
    return mode == Bc7NoMode ? 9 : selected ? 8 : mode;
}
constexpr BptcByteTable Bc7Variants = ddsBptcTabulate(variantOf);

}  // namespace

BlockRowKernel ddsBc7KernelAvx2(BlockFormat format, int bytesPerPixel) {
    if (format != BlockFormat::Bc7) return nullptr;
    return bytesPerPixel == 3 ? blockRow<3, Bc7Blocks<3>, Bc7Variants> : blockRow<4, Bc7Blocks<4>, Bc7Variants>;
}

#endif
