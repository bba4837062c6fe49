// The row kernels of mask-coded pixels (ddsMaskKernel), with
// ddsConvertUncompressedRowScalar's bytes: byte shuffles for layouts whose
// channels are whole bytes (one SSSE3 shuffle of four pixels where the
// processor has it, SSE2 shifts and masks, words), one table lookup a pixel
// for 8-bit pixels, SSE2 multiplications for 16- and 32-bit pixels whose
// channels are at most 10 bits wide, and per-channel tables for the other
// such layouts.  Tables are filled by ddsConvertChannel itself; a
// multiplier is used only once it has given ddsConvertChannel's byte for
// every value of its channel.  Every method but the byte shuffles writes
// three bytes a pixel as well as four.

#include <cstring>
#include <initializer_list>

#include "common/rows.h"
#include "common/simd.h"
#include "layout_kernels.h"
#include "masks/masks.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>

#include "common/rows_sse2.h"
#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>
#endif
#endif

namespace {

// An RGBA word (R in the low byte) as `BytesPerPixel` bytes.
template <uint32_t BytesPerPixel>
inline void putWord(uint8_t *destination, uint32_t word) {
    std::memcpy(destination, &word, BytesPerPixel);
}

// Whether every channel of a 3- or 4-byte pixel is a constant or a whole
// byte of it, which converts to itself: the value is at most 255 and the
// scale 255 / 255 is exactly 1.
bool byteShuffles(const UncompressedLayout &layout) {
    bool shuffles = layout.pixelBytes >= 3;
    for (const ChannelRule &rule : layout.channels) {
        const bool byte = rule.shift % 8 == 0 && rule.shift / 8 < layout.pixelBytes && rule.mask == 0xFFu << rule.shift;
        shuffles = shuffles && (rule.mask == 0 || (byte && rule.scale == 1.0f));
    }
    return shuffles;
}

// Whether every channel's values fit a table; `entries`: their number.
bool tablesFit(const UncompressedLayout &layout, uint64_t *entries) {
    *entries = 0;
    for (const ChannelRule &rule : layout.channels) {
        if (rule.mask == 0) continue;
        if (rule.shift >= 32 || (rule.mask >> rule.shift) >= ddsConverterTableEntries) return false;
        *entries += (rule.mask >> rule.shift) + 1;
    }
    return true;
}

// The RGBA word of a pixel value under a byte shuffle.
struct Shuffle {
    uint32_t constantBits;
    uint32_t shift[4];
    uint32_t keep[4];  // 0xFF for a byte channel, 0 for a constant one

    uint32_t operator()(uint32_t pixel) const {
        return constantBits | ((pixel >> shift[0]) & keep[0]) | ((pixel >> shift[1]) & keep[1]) << 8 |
               ((pixel >> shift[2]) & keep[2]) << 16 | ((pixel >> shift[3]) & keep[3]) << 24;
    }
};

Shuffle shuffleOf(const UncompressedConverter &converter) {
    Shuffle shuffle{converter.constantBits, {}, {}};
    for (int c = 0; c < 4; ++c) {
        shuffle.shift[c] = converter.layout.channels[c].shift;
        shuffle.keep[c] = converter.layout.channels[c].mask != 0 ? 0xFFu : 0u;
    }
    return shuffle;
}

// A byte shuffle word by word from pixel `from` on: the portable tier, and
// the pixels the vector steps leave.  Three-byte pixels go four from three
// words (B0G0R0B1 G1R1B2G2 R2B3G3R3, byte order).
template <uint32_t PixelBytes>
void shuffleWords(const Shuffle &shuffle, const uint8_t *source, uint32_t from, uint32_t width, uint8_t *rgba) {
    uint32_t x = from;
    for (; PixelBytes == 3 && x + 4 <= width; x += 4) {
        const uint8_t *s = source + 3 * size_t{x};
        const uint32_t w0 = ddsLoad32(s), w1 = ddsLoad32(s + 4), w2 = ddsLoad32(s + 8);
        ddsPutPixels<4>(rgba + 4 * size_t{x}, shuffle(w0 & 0xFFFFFF), shuffle(w0 >> 24 | (w1 & 0xFFFF) << 8),
                        shuffle(w1 >> 16 | (w2 & 0xFF) << 16), shuffle(w2 >> 8));
    }
    for (; x < width; ++x) ddsStore32(rgba + 4 * size_t{x}, shuffle(ddsLoadPixel(source + PixelBytes * size_t{x}, PixelBytes)));
}

template <uint32_t PixelBytes>
void shuffleRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    shuffleWords<PixelBytes>(shuffleOf(state.masks), source, 0, width, rows[0]);
}

#if defined(DDS_HAVE_SSE2)
// Four pixels from a 16-byte load, each at the bottom of its 32-bit lane:
// three-byte pixel c moves from byte 3c to byte 4c.
template <uint32_t PixelBytes>
inline __m128i fourPixels(const uint8_t *source) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source));
    if (PixelBytes == 4) return v;
    const __m128i lane0 = _mm_setr_epi32(0xFFFFFF, 0, 0, 0), lane1 = _mm_setr_epi32(0, 0xFFFFFF, 0, 0);
    const __m128i lane2 = _mm_setr_epi32(0, 0, 0xFFFFFF, 0), lane3 = _mm_setr_epi32(0, 0, 0, 0xFFFFFF);
    return _mm_or_si128(_mm_or_si128(_mm_and_si128(v, lane0), _mm_and_si128(_mm_slli_si128(v, 1), lane1)),
                        _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 2), lane2), _mm_and_si128(_mm_slli_si128(v, 3), lane3)));
}

// Shuffles where R and B trade places or stay and G and A stay, the layouts
// of nearly every file: two or three operations a vector.
bool swapsOrStays(const Shuffle &shuffle) {
    const bool greenStays = shuffle.shift[1] == 8 && shuffle.keep[1] == 0xFF;
    const bool alphaStays = shuffle.keep[3] == 0 || shuffle.shift[3] == 24;
    const bool redBlueSwap = shuffle.shift[0] == 16 && shuffle.shift[2] == 0;
    const bool redBlueStay = shuffle.shift[0] == 0 && shuffle.shift[2] == 16;
    return greenStays && alphaStays && shuffle.keep[0] == 0xFF && shuffle.keep[2] == 0xFF && (redBlueSwap || redBlueStay);
}

// A byte shuffle of four pixels in SSE2 lanes: as swapsOrStays allows, or a
// shift and a mask a channel.
struct ShuffleLanes {
    __m128i stays, swaps, constant, shifts[4], keeps[4];

    explicit ShuffleLanes(const Shuffle &shuffle) {
        const bool redBlueStay = shuffle.shift[0] == 0;
        stays = _mm_set1_epi32(static_cast<int>(shuffle.keep[3] << 24 | 0xFF00u | (redBlueStay ? 0xFF00FFu : 0u)));
        swaps = _mm_set1_epi32(redBlueStay ? 0 : 0xFF00FF);
        constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
        for (int c = 0; c < 4; ++c) {
            shifts[c] = _mm_cvtsi32_si128(static_cast<int>(shuffle.shift[c]));
            keeps[c] = _mm_set1_epi32(static_cast<int>(shuffle.keep[c]));
        }
    }

    __m128i swapWords(__m128i p) const {
        // Swapping the 16-bit halves of each word trades bytes 0 and 2.
        const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_and_si128(p, swaps), 0xB1), 0xB1);
        return _mm_or_si128(_mm_or_si128(_mm_and_si128(p, stays), swapped), constant);
    }

    __m128i shiftWords(__m128i p) const {
        const __m128i to1 = _mm_cvtsi32_si128(8), to2 = _mm_cvtsi32_si128(16), to3 = _mm_cvtsi32_si128(24);
        __m128i word = _mm_or_si128(constant, _mm_and_si128(_mm_srl_epi32(p, shifts[0]), keeps[0]));
        word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[1]), keeps[1]), to1));
        word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[2]), keeps[2]), to2));
        return _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[3]), keeps[3]), to3));
    }
};

// Four pixels a step; a load of three-byte pixels reads four bytes past the
// fourth pixel, so their steps stop while six pixels remain.
template <uint32_t PixelBytes, bool SwapsOrStays>
void shuffleRowSse2(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                    uint8_t *const *rows) {
    const Shuffle shuffle = shuffleOf(state.masks);
    const ShuffleLanes lanes(shuffle);
    uint8_t *rgba = rows[0];
    uint32_t x = 0;
    for (; x + (PixelBytes == 4 ? 4 : 6) <= width; x += 4) {
        const __m128i p = fourPixels<PixelBytes>(source + PixelBytes * size_t{x});
        ddsStoreRow<4>(rgba + 4 * size_t{x}, SwapsOrStays ? lanes.swapWords(p) : lanes.shiftWords(p), false);
    }
    shuffleWords<PixelBytes>(shuffle, source, x, width, rgba);
}
#endif

#if defined(DDS_HAVE_SSSE3)
// Any byte shuffle of 3- or 4-byte pixels as one SSSE3 byte shuffle of four
// pixels: RGBA byte 4p + c is byte shift[c] / 8 of source pixel p, or zero
// for a constant channel, whose constant is then put in.  Each load reads
// 16 bytes, so 3-byte pixels stop while six remain.
template <uint32_t PixelBytes>
DDS_TARGET_SSSE3 void shuffleRowSsse3(const LayoutState &state, const uint8_t *source, const uint8_t *,
                                      uint32_t width, uint8_t *const *rows) {
    const Shuffle shuffle = shuffleOf(state.masks);
    alignas(16) uint8_t control[16];
    for (uint32_t p = 0; p < 4; ++p) {
        for (uint32_t c = 0; c < 4; ++c) {
            control[4 * p + c] = shuffle.keep[c] != 0 ? static_cast<uint8_t>(PixelBytes * p + shuffle.shift[c] / 8) : 0x80;
        }
    }
    const __m128i controls = _mm_load_si128(reinterpret_cast<const __m128i *>(control));
    const __m128i constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
    uint8_t *rgba = rows[0];
    uint32_t x = 0;
    for (; x + (PixelBytes == 4 ? 4 : 6) <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + PixelBytes * size_t{x}));
        ddsStoreRow<4>(rgba + 4 * size_t{x}, _mm_or_si128(_mm_shuffle_epi8(p, controls), constant), false);
    }
    shuffleWords<PixelBytes>(shuffle, source, x, width, rgba);
}
#endif

// Four lookups a step, so that the loop's own work does not rule its speed.
template <uint32_t BytesPerPixel>
void pixelTableRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                   uint8_t *const *rows) {
    const uint32_t *table = state.masks.pixelTable;
    uint8_t *out = rows[0];
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        ddsPutPixels<BytesPerPixel>(out + BytesPerPixel * size_t{x}, table[source[x]], table[source[x + 1]],
                                    table[source[x + 2]], table[source[x + 3]]);
    }
    for (; x < width; ++x) putWord<BytesPerPixel>(out + BytesPerPixel * size_t{x}, table[source[x]]);
}

template <uint32_t PixelBytes, uint32_t BytesPerPixel>
void channelTableRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                     uint8_t *const *rows) {
    const UncompressedConverter &converter = state.masks;
    const uint8_t *t0 = converter.channelTables[0], *t1 = converter.channelTables[1];
    const uint8_t *t2 = converter.channelTables[2], *t3 = converter.channelTables[3];
    const ChannelRule *rules = converter.layout.channels;
    const uint32_t m0 = rules[0].mask, m1 = rules[1].mask, m2 = rules[2].mask, m3 = rules[3].mask;
    const uint32_t s0 = rules[0].shift, s1 = rules[1].shift, s2 = rules[2].shift, s3 = rules[3].shift;
    const uint32_t constantBits = converter.constantBits;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = ddsLoadPixel(source + PixelBytes * size_t{x}, PixelBytes);
        putWord<BytesPerPixel>(rows[0] + BytesPerPixel * size_t{x},
                               constantBits | t0[(p & m0) >> s0] | static_cast<uint32_t>(t1[(p & m1) >> s1]) << 8 |
                                   static_cast<uint32_t>(t2[(p & m2) >> s2]) << 16 |
                                   static_cast<uint32_t>(t3[(p & m3) >> s3]) << 24);
    }
}

template <uint32_t BytesPerPixel>
void plainRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    ddsConvertUncompressedRowScalar(state.masks.layout, source, width, rows[0], BytesPerPixel);
}

#if defined(DDS_HAVE_SSE2)
// Multiply: eight pixels at a time, each channel value in a 16-bit lane,
// shifted left and multiplied, keeping the product's high half.
struct MultiplyLanes {
    __m128i mask[4], shift[4], preShift[4], multiplier[4], constant;
    explicit MultiplyLanes(const UncompressedConverter &converter) {
        for (int c = 0; c < 4; ++c) {
            // Pixels of 16 bits are masked in 16-bit lanes, of 32 in 32-bit ones.
            const ChannelRule &rule = converter.layout.channels[c];
            mask[c] = converter.layout.pixelBytes == 2 ? _mm_set1_epi16(static_cast<short>(rule.mask))
                                                       : _mm_set1_epi32(static_cast<int>(rule.mask));
            shift[c] = _mm_cvtsi32_si128(static_cast<int>(rule.shift));
            preShift[c] = _mm_cvtsi32_si128(static_cast<int>(converter.preShift[c]));
            multiplier[c] = _mm_set1_epi16(static_cast<short>(converter.multiplier[c]));
        }
        constant = _mm_set1_epi32(static_cast<int>(converter.constantBits));
    }

    // Eight pixels from the channel values, lanes of 16 bits: RGBA words, or
    // their R, G, B bytes, with four bytes more unless `exact`.
    template <uint32_t BytesPerPixel>
    void store(uint8_t *destination, const __m128i values[4], bool exact) const {
        __m128i bytes[4];
        for (int c = 0; c < 4; ++c) bytes[c] = _mm_mulhi_epu16(_mm_sll_epi16(values[c], preShift[c]), multiplier[c]);
        const __m128i redGreen = _mm_or_si128(bytes[0], _mm_slli_epi16(bytes[1], 8));
        const __m128i blueAlpha = _mm_or_si128(bytes[2], _mm_slli_epi16(bytes[3], 8));
        __m128i first = _mm_or_si128(_mm_unpacklo_epi16(redGreen, blueAlpha), constant);
        __m128i second = _mm_or_si128(_mm_unpackhi_epi16(redGreen, blueAlpha), constant);
        if (BytesPerPixel == 3) first = ddsPackRgb(first), second = ddsPackRgb(second);
        ddsStoreRow<BytesPerPixel>(destination, first, false);
        ddsStoreRow<BytesPerPixel>(destination + 4 * BytesPerPixel, second, exact);
    }
};

// Eight pixels a step, the last width % 8 by the plain rule.  A step
// followed by fewer than two pixels stores exactly its three-byte pixels.
template <uint32_t PixelBytes, uint32_t BytesPerPixel>
void multiplyRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                 uint8_t *const *rows) {
    const MultiplyLanes lanes(state.masks);
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i *in = reinterpret_cast<const __m128i *>(source + PixelBytes * size_t{x});
        const __m128i p0 = _mm_loadu_si128(in);
        __m128i values[4];
        for (int c = 0; c < 4; ++c) {
            const __m128i low = _mm_and_si128(p0, lanes.mask[c]);
            if constexpr (PixelBytes == 2) {
                values[c] = _mm_srl_epi16(low, lanes.shift[c]);
            } else {
                // Values are at most 1023: the signed packing keeps them.
                const __m128i high = _mm_and_si128(_mm_loadu_si128(in + 1), lanes.mask[c]);
                values[c] = _mm_packs_epi32(_mm_srl_epi32(low, lanes.shift[c]), _mm_srl_epi32(high, lanes.shift[c]));
            }
        }
        lanes.store<BytesPerPixel>(rows[0] + BytesPerPixel * size_t{x}, values, width - x < 10);
    }
    ddsConvertUncompressedRowScalar(state.masks.layout, source + PixelBytes * size_t{x}, width - x,
                                    rows[0] + BytesPerPixel * size_t{x}, BytesPerPixel);
}

// A multiplier m and left shift k with ((v << k) * m) >> 16 equal to the
// rule's byte for every value v the mask lets through (each v whose bits
// lie within mask >> shift), v << k fitting 16 bits.
bool findMultiplier(const ChannelRule &rule, uint32_t pixelBytes, uint32_t *preShift, uint32_t *multiplier) {
    if (rule.shift >= 32 || (pixelBytes == 2 && rule.mask > 0xFFFF)) return false;
    const uint32_t largest = rule.mask >> rule.shift;
    if (largest >= ddsConverterTableEntries || !(rule.scale > 0.0f)) return false;
    // The most bits of the product kept that still let the multiplier fit.
    uint32_t bits = 16;
    while (bits > 0 && static_cast<double>(rule.scale) * static_cast<double>(1u << bits) > 65535.0) --bits;
    const uint32_t k = 16 - bits;
    if ((largest << k) > 0xFFFF) return false;
    const double ideal = static_cast<double>(rule.scale) * static_cast<double>(1u << bits);
    for (int offset : {0, 1, -1, 2, -2}) {
        const double candidate = ideal + offset;
        if (candidate < 0.0 || candidate > 65535.0) continue;
        const uint32_t m = static_cast<uint32_t>(candidate);
        bool exact = true;
        for (uint32_t v = 0; v <= largest && exact; ++v) {
            if ((v & ~largest) != 0) continue;  // not a value the mask lets through
            exact = (((v << k) * m) >> 16) == ddsConvertChannel(rule, v << rule.shift);
        }
        if (exact) {
            *preShift = k;
            *multiplier = m;
            return true;
        }
    }
    return false;
}

// Byte shuffles of four-byte output, or multiplications where every
// channel's multiplier is exact and the image pays for the search (it
// checks each channel's values for one to five multipliers).
LayoutRowKernel sse2Kernel(uint64_t pixelCount, uint32_t bytesPerPixel, UncompressedConverter *converter) {
    const UncompressedLayout &layout = converter->layout;
    const bool rgb = bytesPerPixel == 3;
    if (byteShuffles(layout)) {
        if (rgb) return nullptr;
        const bool swaps = swapsOrStays(shuffleOf(*converter));
        if (layout.pixelBytes == 4) return swaps ? shuffleRowSse2<4, true> : shuffleRowSse2<4, false>;
        return swaps ? shuffleRowSse2<3, true> : shuffleRowSse2<3, false>;
    }
    uint64_t entries = 0;
    if ((layout.pixelBytes != 2 && layout.pixelBytes != 4) || !tablesFit(layout, &entries) || pixelCount < 4 * entries) {
        return nullptr;
    }
    for (uint32_t c = 0; c < 4; ++c) {
        const ChannelRule &rule = layout.channels[c];
        if (rule.mask != 0 &&
            !findMultiplier(rule, layout.pixelBytes, &converter->preShift[c], &converter->multiplier[c])) {
            return nullptr;
        }
    }
    if (layout.pixelBytes == 2) return rgb ? multiplyRow<2, 3> : multiplyRow<2, 4>;
    return rgb ? multiplyRow<4, 3> : multiplyRow<4, 4>;
}
#endif

// Byte shuffles of four-byte output, one word a pixel value for 8-bit
// pixels, or a table a channel, where the image pays for the tables.
LayoutRowKernel portableKernel(uint64_t pixelCount, uint32_t bytesPerPixel, UncompressedConverter *converter) {
    const UncompressedLayout &layout = converter->layout;
    const bool rgb = bytesPerPixel == 3;
    if (byteShuffles(layout) && !rgb) return layout.pixelBytes == 4 ? shuffleRow<4> : shuffleRow<3>;
    if (layout.pixelBytes == 1) {
        if (pixelCount < 1024) return nullptr;
        for (uint32_t value = 0; value < 256; ++value) {
            uint32_t word = 0;
            for (uint32_t c = 0; c < 4; ++c) word |= uint32_t{ddsConvertChannel(layout.channels[c], value)} << (8 * c);
            converter->pixelTable[value] = word;
        }
        return rgb ? pixelTableRow<3> : pixelTableRow<4>;
    }
    uint64_t entries = 0;
    if (!tablesFit(layout, &entries) || pixelCount < 4 * entries) return nullptr;
    for (uint32_t c = 0; c < 4; ++c) {
        const ChannelRule &rule = layout.channels[c];
        converter->channelTables[c][0] = 0;  // a constant channel's mask and shift 0 always look up entry 0
        for (uint32_t value = 0; rule.mask != 0 && value <= rule.mask >> rule.shift; ++value) {
            converter->channelTables[c][value] = ddsConvertChannel(rule, value << rule.shift);
        }
    }
    switch (layout.pixelBytes) {
        case 2: return rgb ? channelTableRow<2, 3> : channelTableRow<2, 4>;
        case 3: return rgb ? channelTableRow<3, 3> : channelTableRow<3, 4>;
        default: return rgb ? channelTableRow<4, 3> : channelTableRow<4, 4>;
    }
}

// What every method reads: the layout, whose constant channels have mask
// and shift 0, and their constants in place.
void prepareChannels(const UncompressedLayout &layout, UncompressedConverter *converter) {
    converter->layout = layout;
    converter->constantBits = 0;
    for (uint32_t c = 0; c < 4; ++c) {
        const ChannelRule &rule = layout.channels[c];
        converter->preShift[c] = converter->multiplier[c] = 0;
        if (rule.mask == 0) converter->constantBits |= uint32_t{rule.constant} << (8 * c);
    }
}

}  // namespace

LayoutRowKernel ddsMaskKernel(const UncompressedLayout &layout, uint64_t pixelCount, uint32_t bytesPerPixel,
                              KernelTier tier, UncompressedConverter *converter) {
    prepareChannels(layout, converter);
    const bool rgb = bytesPerPixel == 3;
    if (tier == KernelTier::Plain) return rgb ? plainRow<3> : plainRow<4>;
    // The other tiers store RGBA words: their bytes must be R, G, B, A.
    if (!ddsWordsAreRgba || layout.pixelBytes < 1 || layout.pixelBytes > 4) return nullptr;
    switch (tier) {
        case KernelTier::Portable: return portableKernel(pixelCount, bytesPerPixel, converter);
#if defined(DDS_HAVE_SSE2)
        case KernelTier::Sse2: return sse2Kernel(pixelCount, bytesPerPixel, converter);
#endif
#if defined(DDS_HAVE_SSSE3)
        case KernelTier::Ssse3:
            if (!byteShuffles(layout) || rgb) return nullptr;
            return layout.pixelBytes == 4 ? shuffleRowSsse3<4> : shuffleRowSsse3<3>;
#endif
        default: return nullptr;
    }
}
