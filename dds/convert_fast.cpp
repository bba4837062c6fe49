// Faster conversion of uncompressed pixels, with ddsConvertUncompressedRowScalar's
// output byte for byte: byte shuffles for layouts whose channels are whole
// bytes, one table lookup a pixel for 8-bit pixels, and per-channel tables
// for every other layout whose channels are at most 10 bits wide.  The
// tables are filled by ddsConvertChannel itself.

#include <cstring>

#include "bytes.h"
#include "uncompressed.h"

#if defined(__SSE2__)
#include <emmintrin.h>
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

void shuffleRow32(const Shuffle &shuffle, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    uint32_t x = 0;
#if defined(__SSE2__)
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

void pixelTableRow(const uint32_t *table, const uint8_t *source, uint32_t width, uint8_t *rgba) {
    for (uint32_t x = 0; x < width; ++x) store32(rgba + 4 * x, table[source[x]]);
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
        case ConvertByteShuffle:
            if (converter.layout.pixelBytes == 4) {
                shuffleRow32(shuffleOf(converter), source, width, rgba);
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
