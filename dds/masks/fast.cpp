// Faster conversion of uncompressed pixels, with ddsConvertUncompressedRowScalar's
// output byte for byte: byte shuffles for layouts whose channels are whole
// bytes (one SSSE3 shuffle of four pixels where the processor has it), one
// table lookup a pixel for 8-bit pixels, SSE2 multiplications for
// 16- and 32-bit pixels whose channels are at most 10 bits wide, and
// per-channel tables for the other such layouts.  Tables are filled by
// ddsConvertChannel itself; a multiplier is used only once it has given
// ddsConvertChannel's byte for every value of its channel.

#include <cstring>
#include <initializer_list>

#include "common/bytes.h"
#include "common/cpu_features.h"
#include "common/simd.h"
#include "masks/masks.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>
#endif
#endif

namespace {

#if defined(__BYTE_ORDER__) && defined(__ORDER_LITTLE_ENDIAN__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
constexpr bool WordsAreRgba = false;  // a stored word's bytes would not be R, G, B, A
#else
constexpr bool WordsAreRgba = true;
#endif

inline void store32(uint8_t *destination, uint32_t value) { std::memcpy(destination, &value, 4); }

inline uint32_t loadWord(const uint8_t *source) {
    uint32_t value;
    std::memcpy(&value, source, 4);
    return value;
}

template <uint32_t PixelBytes>
inline uint32_t readPixel(const uint8_t *p) {
    if (PixelBytes == 4) return ddsLoad32(p);
    if (PixelBytes == 3) return ddsLoad24(p);
    if (PixelBytes == 2) return ddsLoad16(p);
    return p[0];
}

// A whole-byte mask converts to its byte unchanged: the value is at most 255
// and the scale 255 / 255 is exactly 1.
bool isByteChannel(const ChannelRule &rule, uint32_t pixelBytes) {
    return rule.shift % 8 == 0 && rule.shift / 8 < pixelBytes && rule.mask == 0xFFu << rule.shift &&
           rule.scale == 1.0f;
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
        shuffle.shift[c] = converter.shift[c];
        shuffle.keep[c] = converter.mask[c] != 0 ? 0xFFu : 0u;
    }
    return shuffle;
}

#if defined(DDS_HAVE_SSE2)
inline void store16(uint8_t *destination, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), value);
}
#endif

#if defined(DDS_HAVE_SSSE3)
// Any byte shuffle of 3- or 4-byte pixels as one SSSE3 byte shuffle of four
// pixels: RGBA byte 4p + c is byte shift[c] / 8 of source pixel p, or zero
// for a constant channel, whose constant is then put in.  Each load reads
// 16 bytes, so 3-byte pixels stop while six remain.  Returns the number of
// pixels converted.
__attribute__((target("ssse3"))) uint32_t shuffleRowSsse3(const Shuffle &shuffle, uint32_t pixelBytes,
                                                            const uint8_t *source, uint32_t width, uint8_t *rgba) {
    alignas(16) uint8_t control[16];
    for (uint32_t p = 0; p < 4; ++p) {
        for (uint32_t c = 0; c < 4; ++c) {
            control[4 * p + c] = shuffle.keep[c] != 0 ? static_cast<uint8_t>(pixelBytes * p + shuffle.shift[c] / 8) : 0x80;
        }
    }
    const __m128i controls = _mm_load_si128(reinterpret_cast<const __m128i *>(control));
    const __m128i constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
    const uint32_t lastStart = pixelBytes == 4 ? 4 : 6;
    uint32_t x = 0;
    for (; x + lastStart <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + static_cast<size_t>(pixelBytes) * x));
        store16(rgba + 4 * static_cast<size_t>(x), _mm_or_si128(_mm_shuffle_epi8(p, controls), constant));
    }
    return x;
}
#endif

// Shuffles where R and B trade places (or stay) and G and A stay, the
// layouts of nearly every 32-bit file: two or three operations a vector.
bool shuffleRow32Common(const Shuffle &shuffle, const uint8_t *source, uint32_t width, uint8_t *rgba) {
#if defined(DDS_HAVE_SSE2)
    const bool greenStays = shuffle.shift[1] == 8 && shuffle.keep[1] == 0xFF;
    const bool alphaStays = shuffle.keep[3] == 0 || shuffle.shift[3] == 24;
    const bool redBlueSwap = shuffle.shift[0] == 16 && shuffle.shift[2] == 0;
    const bool redBlueStay = shuffle.shift[0] == 0 && shuffle.shift[2] == 16;
    if (!greenStays || !alphaStays || shuffle.keep[0] != 0xFF || shuffle.keep[2] != 0xFF ||
        (!redBlueSwap && !redBlueStay)) {
        return false;
    }
    const __m128i stays = _mm_set1_epi32(static_cast<int>(shuffle.keep[3] << 24 | 0xFF00u | (redBlueStay ? 0xFF00FFu : 0u)));
    const __m128i swaps = _mm_set1_epi32(redBlueSwap ? 0xFF00FF : 0);
    const __m128i constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 4 * x));
        // Swapping the 16-bit halves of each word trades bytes 0 and 2.
        const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_and_si128(p, swaps), 0xB1), 0xB1);
        store16(rgba + 4 * x, _mm_or_si128(_mm_or_si128(_mm_and_si128(p, stays), swapped), constant));
    }
    for (; x < width; ++x) store32(rgba + 4 * x, shuffle(loadWord(source + 4 * x)));
    return true;
#else
    (void)shuffle, (void)source, (void)width, (void)rgba;
    return false;
#endif
}

void shuffleRow32(const Shuffle &shuffle, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    uint32_t x = 0;
#if defined(DDS_HAVE_SSE2)
    const __m128i constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
    __m128i shifts[4], keeps[4];
    for (int c = 0; c < 4; ++c) {
        shifts[c] = _mm_cvtsi32_si128(static_cast<int>(shuffle.shift[c]));
        keeps[c] = _mm_set1_epi32(static_cast<int>(shuffle.keep[c]));
    }
    const __m128i to1 = _mm_cvtsi32_si128(8), to2 = _mm_cvtsi32_si128(16), to3 = _mm_cvtsi32_si128(24);
    for (; x + 4 <= width; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 4 * x));
        __m128i word = _mm_or_si128(constant, _mm_and_si128(_mm_srl_epi32(p, shifts[0]), keeps[0]));
        word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[1]), keeps[1]), to1));
        word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[2]), keeps[2]), to2));
        word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[3]), keeps[3]), to3));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(rgba + 4 * x), word);
    }
#endif
    for (; x < width; ++x) store32(rgba + 4 * x, shuffle(loadWord(source + 4 * x)));
}

void shuffleRow24(const Shuffle &shuffle, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    uint32_t x = 0;
#if defined(DDS_HAVE_SSE2)
    // Four pixels from a 16-byte load: pixel c's three bytes move from byte
    // 3c to byte 4c.  The load reads four bytes past the fourth pixel, so
    // the loop stops while six pixels remain.
    const __m128i lane0 = _mm_setr_epi32(0xFFFFFF, 0, 0, 0), lane1 = _mm_setr_epi32(0, 0xFFFFFF, 0, 0);
    const __m128i lane2 = _mm_setr_epi32(0, 0, 0xFFFFFF, 0), lane3 = _mm_setr_epi32(0, 0, 0, 0xFFFFFF);
    const __m128i constant = _mm_set1_epi32(static_cast<int>(shuffle.constantBits));
    const bool redBlueSwap = shuffle.shift[0] == 16 && shuffle.shift[1] == 8 && shuffle.shift[2] == 0 &&
                             shuffle.keep[0] == 0xFF && shuffle.keep[1] == 0xFF && shuffle.keep[2] == 0xFF &&
                             shuffle.keep[3] == 0;
    __m128i shifts[4], keeps[4];
    for (int c = 0; c < 4; ++c) {
        shifts[c] = _mm_cvtsi32_si128(static_cast<int>(shuffle.shift[c]));
        keeps[c] = _mm_set1_epi32(static_cast<int>(shuffle.keep[c]));
    }
    const __m128i to1 = _mm_cvtsi32_si128(8), to2 = _mm_cvtsi32_si128(16), to3 = _mm_cvtsi32_si128(24);
    const __m128i green = _mm_set1_epi32(0xFF00), redBlue = _mm_set1_epi32(0xFF00FF);
    for (; x + 6 <= width; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 3 * x));
        const __m128i p = _mm_or_si128(_mm_or_si128(_mm_and_si128(v, lane0), _mm_and_si128(_mm_slli_si128(v, 1), lane1)),
                                       _mm_or_si128(_mm_and_si128(_mm_slli_si128(v, 2), lane2),
                                                    _mm_and_si128(_mm_slli_si128(v, 3), lane3)));
        __m128i word;
        if (redBlueSwap) {
            const __m128i swapped = _mm_shufflehi_epi16(_mm_shufflelo_epi16(_mm_and_si128(p, redBlue), 0xB1), 0xB1);
            word = _mm_or_si128(_mm_or_si128(_mm_and_si128(p, green), swapped), constant);
        } else {
            word = _mm_or_si128(constant, _mm_and_si128(_mm_srl_epi32(p, shifts[0]), keeps[0]));
            word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[1]), keeps[1]), to1));
            word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[2]), keeps[2]), to2));
            word = _mm_or_si128(word, _mm_sll_epi32(_mm_and_si128(_mm_srl_epi32(p, shifts[3]), keeps[3]), to3));
        }
        store16(rgba + 4 * x, word);
    }
#endif
    // Four pixels from three words: B0G0R0B1 G1R1B2G2 R2B3G3R3 (byte order).
    for (; x + 4 <= width; x += 4) {
        const uint8_t *s = source + 3 * x;
        const uint32_t w0 = loadWord(s), w1 = loadWord(s + 4), w2 = loadWord(s + 8);
        uint8_t *d = rgba + 4 * x;
        store32(d, shuffle(w0 & 0xFFFFFF));
        store32(d + 4, shuffle(w0 >> 24 | (w1 & 0xFFFF) << 8));
        store32(d + 8, shuffle(w1 >> 16 | (w2 & 0xFF) << 16));
        store32(d + 12, shuffle(w2 >> 8));
    }
    for (; x < width; ++x) store32(rgba + 4 * x, shuffle(ddsLoad24(source + 3 * x)));
}

// Four lookups a step, so that the loop's own work does not rule its speed.
void pixelTableRow(const uint32_t *table, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const uint32_t p0 = table[source[x]], p1 = table[source[x + 1]];
        const uint32_t p2 = table[source[x + 2]], p3 = table[source[x + 3]];
        store32(rgba + 4 * x, p0);
        store32(rgba + 4 * x + 4, p1);
        store32(rgba + 4 * x + 8, p2);
        store32(rgba + 4 * x + 12, p3);
    }
    for (; x < width; ++x) store32(rgba + 4 * x, table[source[x]]);
}

template <uint32_t PixelBytes>
void channelTableRow(const UncompressedConverter &converter, const uint8_t *source, uint32_t width,
                     uint8_t *rgba) {
    const uint8_t *t0 = converter.channelTables[0], *t1 = converter.channelTables[1];
    const uint8_t *t2 = converter.channelTables[2], *t3 = converter.channelTables[3];
    const uint32_t m0 = converter.mask[0], m1 = converter.mask[1], m2 = converter.mask[2], m3 = converter.mask[3];
    const uint32_t s0 = converter.shift[0], s1 = converter.shift[1], s2 = converter.shift[2], s3 = converter.shift[3];
    const uint32_t constantBits = converter.constantBits;
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t p = readPixel<PixelBytes>(source + PixelBytes * x);
        store32(rgba + 4 * x, constantBits | t0[(p & m0) >> s0] | static_cast<uint32_t>(t1[(p & m1) >> s1]) << 8 |
                                  static_cast<uint32_t>(t2[(p & m2) >> s2]) << 16 |
                                  static_cast<uint32_t>(t3[(p & m3) >> s3]) << 24);
    }
}

#if defined(DDS_HAVE_SSE2)
// ConvertMultiply: eight pixels at a time, each channel value in a 16-bit
// lane, shifted left and multiplied, keeping the product's high half.
struct MultiplyLanes {
    __m128i mask[4], shift[4], preShift[4], multiplier[4], constant;
    explicit MultiplyLanes(const UncompressedConverter &converter) {
        for (int c = 0; c < 4; ++c) {
            // Pixels of 16 bits are masked in 16-bit lanes, of 32 in 32-bit ones.
            mask[c] = converter.layout.pixelBytes == 2 ? _mm_set1_epi16(static_cast<short>(converter.mask[c]))
                                                       : _mm_set1_epi32(static_cast<int>(converter.mask[c]));
            shift[c] = _mm_cvtsi32_si128(static_cast<int>(converter.shift[c]));
            preShift[c] = _mm_cvtsi32_si128(static_cast<int>(converter.preShift[c]));
            multiplier[c] = _mm_set1_epi16(static_cast<short>(converter.multiplier[c]));
        }
        constant = _mm_set1_epi32(static_cast<int>(converter.constantBits));
    }

    // Eight RGBA words from the channel values, lanes of 16 bits.
    void store(uint8_t *rgba, const __m128i values[4]) const {
        __m128i bytes[4];
        for (int c = 0; c < 4; ++c) bytes[c] = _mm_mulhi_epu16(_mm_sll_epi16(values[c], preShift[c]), multiplier[c]);
        const __m128i redGreen = _mm_or_si128(bytes[0], _mm_slli_epi16(bytes[1], 8));
        const __m128i blueAlpha = _mm_or_si128(bytes[2], _mm_slli_epi16(bytes[3], 8));
        store16(rgba, _mm_or_si128(_mm_unpacklo_epi16(redGreen, blueAlpha), constant));
        store16(rgba + 16, _mm_or_si128(_mm_unpackhi_epi16(redGreen, blueAlpha), constant));
    }
};

// Returns how many pixels were converted: all but the last width % 8.
uint32_t multiplyRow(const UncompressedConverter &converter, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    const MultiplyLanes lanes(converter);
    uint32_t x = 0;
    if (converter.layout.pixelBytes == 2) {
        for (; x + 8 <= width; x += 8) {
            const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 2 * x));
            __m128i values[4];
            for (int c = 0; c < 4; ++c) values[c] = _mm_srl_epi16(_mm_and_si128(p, lanes.mask[c]), lanes.shift[c]);
            lanes.store(rgba + 4 * x, values);
        }
    } else {
        for (; x + 8 <= width; x += 8) {
            const __m128i p0 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 4 * x));
            const __m128i p1 = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 4 * x + 16));
            __m128i values[4];
            for (int c = 0; c < 4; ++c) {
                // Values are at most 1023: the signed packing keeps them.
                values[c] = _mm_packs_epi32(_mm_srl_epi32(_mm_and_si128(p0, lanes.mask[c]), lanes.shift[c]),
                                            _mm_srl_epi32(_mm_and_si128(p1, lanes.mask[c]), lanes.shift[c]));
            }
            lanes.store(rgba + 4 * x, values);
        }
    }
    return x;
}
#endif

#if defined(DDS_HAVE_SSE2)
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
#endif

}  // namespace

void ddsPrepareConverter(const UncompressedLayout &layout, uint64_t pixelCount,
                         UncompressedConverter *converter) {
    converter->layout = layout;
    converter->method = ConvertPlain;
    converter->constantBits = 0;
    const uint32_t pixelBytes = layout.pixelBytes;
    if (!WordsAreRgba || pixelBytes < 1 || pixelBytes > 4) return;

    bool shuffles = pixelBytes >= 3;
    uint64_t tableEntries = 0;
    bool tablesFit = true;
    for (uint32_t c = 0; c < 4; ++c) {
        const ChannelRule &rule = layout.channels[c];
        converter->mask[c] = 0;
        converter->shift[c] = 0;
        converter->preShift[c] = 0;
        converter->multiplier[c] = 0;
        if (rule.mask == 0) {
            converter->constantBits |= static_cast<uint32_t>(rule.constant) << (8 * c);
            continue;
        }
        converter->mask[c] = rule.mask;
        converter->shift[c] = rule.shift;
        shuffles = shuffles && isByteChannel(rule, pixelBytes);
        if (rule.shift >= 32 || (rule.mask >> rule.shift) >= ddsConverterTableEntries) {
            tablesFit = false;
        } else {
            tableEntries += (rule.mask >> rule.shift) + 1;
        }
    }
    if (shuffles) {
        converter->method = ConvertByteShuffle;
        return;
    }
    if (pixelBytes == 1) {
        // One word for each of the 256 values, every channel included.
        if (pixelCount < 1024) return;
        for (uint32_t value = 0; value < 256; ++value) {
            uint32_t word = 0;
            for (uint32_t c = 0; c < 4; ++c) {
                word |= static_cast<uint32_t>(ddsConvertChannel(layout.channels[c], value)) << (8 * c);
            }
            converter->pixelTable[value] = word;
        }
        converter->method = ConvertPixelTable;
        return;
    }
#if defined(DDS_HAVE_SSE2)
    // The search checks each channel's values (tableEntries of them) for
    // one to five multipliers: only worth it for enough pixels.
    if ((pixelBytes == 2 || pixelBytes == 4) && tablesFit && pixelCount >= 4 * tableEntries) {
        bool multipliersFit = true;
        for (uint32_t c = 0; c < 4 && multipliersFit; ++c) {
            const ChannelRule &rule = layout.channels[c];
            if (rule.mask == 0) continue;
            multipliersFit = findMultiplier(rule, pixelBytes, &converter->preShift[c], &converter->multiplier[c]);
        }
        if (multipliersFit) {
            converter->method = ConvertMultiply;
            return;
        }
        for (uint32_t c = 0; c < 4; ++c) converter->preShift[c] = converter->multiplier[c] = 0;
    }
#endif
    if (!tablesFit || pixelCount < 4 * tableEntries) return;
    for (uint32_t c = 0; c < 4; ++c) {
        const ChannelRule &rule = layout.channels[c];
        uint8_t *table = converter->channelTables[c];
        if (rule.mask == 0) {
            table[0] = 0;  // mask and shift 0 always look up entry 0
            continue;
        }
        const uint32_t largest = rule.mask >> rule.shift;
        for (uint32_t value = 0; value <= largest; ++value) {
            table[value] = ddsConvertChannel(rule, value << rule.shift);
        }
    }
    converter->method = ConvertChannelTables;
}

void ddsConvertRowPrepared(const UncompressedConverter &converter, const uint8_t *source, uint32_t width,
                           uint8_t *rgba) {
    switch (converter.method) {
        case ConvertMultiply: {
#if defined(DDS_HAVE_SSE2)
            const uint32_t done = multiplyRow(converter, source, width, rgba);
            source += done * converter.layout.pixelBytes;
            rgba += 4 * static_cast<size_t>(done);
            width -= done;
#endif
            break;  // the plain rule takes the rest
        }
        case ConvertByteShuffle:
#if defined(DDS_HAVE_SSSE3)
            if (ddsCpuHasSsse3()) {
                const Shuffle shuffle = shuffleOf(converter);
                const uint32_t pixelBytes = converter.layout.pixelBytes;
                const uint32_t done = shuffleRowSsse3(shuffle, pixelBytes, source, width, rgba);
                for (uint32_t x = done; x < width; ++x) {
                    store32(rgba + 4 * static_cast<size_t>(x),
                            shuffle(pixelBytes == 4 ? loadWord(source + 4 * static_cast<size_t>(x))
                                                    : ddsLoad24(source + 3 * static_cast<size_t>(x))));
                }
                return;
            }
#endif
            if (converter.layout.pixelBytes == 4) {
                const Shuffle shuffle = shuffleOf(converter);
                if (shuffleRow32Common(shuffle, source, width, rgba)) return;
                shuffleRow32(shuffle, source, width, rgba);
            } else {
                shuffleRow24(shuffleOf(converter), source, width, rgba);
            }
            return;
        case ConvertPixelTable: pixelTableRow(converter.pixelTable, source, width, rgba); return;
        case ConvertChannelTables:
            switch (converter.layout.pixelBytes) {
                case 2: channelTableRow<2>(converter, source, width, rgba); return;
                case 3: channelTableRow<3>(converter, source, width, rgba); return;
                default: channelTableRow<4>(converter, source, width, rgba); return;
            }
        case ConvertPlain: break;
    }
    ddsConvertUncompressedRowScalar(converter.layout, source, width, rgba);
}

void ddsConvertUncompressedRow(const UncompressedLayout &layout, const uint8_t *source, uint32_t width,
                               uint8_t *rgba) {
    UncompressedConverter converter;
    ddsPrepareConverter(layout, width, &converter);
    ddsConvertRowPrepared(converter, source, width, rgba);
}
