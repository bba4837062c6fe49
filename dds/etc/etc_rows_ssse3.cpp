// The ETC and EAC block-row kernels with SSSE3 byte shuffles.
//
// A block is decoded into four planes, one register each: its 16 red, green,
// blue and alpha bytes, pixels row by row.  The planes become rows of RGBA
// words by unpacking, and three-byte rows by one shuffle more.
//
// Individual and differential colour blocks, nearly all of real data: each
// pixel's 3-bit palette number (its subblock times 4 plus its 2-bit index)
// looks up its red, green and blue in per-channel palettes of 8 bytes, the 4
// values of each subblock: red and green share a register, blue has one.
// A palette is the base colour's channel repeated, with each modifier added
// or subtracted with unsigned saturation (which is the clamp to 0..255).  T
// and H blocks put their four paint colours in both halves of the palettes.
// Planar blocks are worked out in 16-bit lanes, as rows, then made planes.
//
// EAC blocks: the eight values of the block in 16-bit lanes at once, as
// bytes in a register, looked up by a shuffle of the 16 indices spread to
// bytes; that is the plane.
//
// The tables and constants are etc_rules.h's, or checked against its rules
// when compiled.

#include <cstddef>
#include <cstdint>

#include "etc/etc.h"
#include "etc/etc_rules.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

#include "common/rows_sse2.h"

namespace {

struct Bytes16 {
    alignas(16) uint8_t bytes[16];
};

DDS_TARGET_SSSE3 inline __m128i load(const Bytes16 &b) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(b.bytes));
}

struct Planes {
    __m128i red, green, blue, alpha;
};

// What palette entry k of subblock s (byte 4s + k of each half of a palette
// register) adds to and subtracts from the base colour's channel, by table
// codewords (byte 3 of the block >> 2: subblock 1's in the high three bits):
// the rule's modifier, and without the opaque bit index 2 subtracts 255,
// the transparent pixel's zeros.
struct ModifierPair {
    Bytes16 add, subtract;
};

struct ModifierTable {
    ModifierPair pairs[2][64];  // [transparent index][codewords]
};

constexpr ModifierTable modifierTable() {
    ModifierTable table{};
    for (int transparent = 0; transparent < 2; ++transparent) {
        for (unsigned codewords = 0; codewords < 64; ++codewords) {
            ModifierPair &pair = table.pairs[transparent][codewords];
            for (unsigned j = 0; j < 16; ++j) {
                const unsigned s = (j / 4) % 2, k = j % 4;
                const int m = etcModifier(s == 0 ? codewords >> 3 : codewords & 7, k, transparent != 0);
                pair.add.bytes[j] = static_cast<uint8_t>(m > 0 ? m : 0);
                pair.subtract.bytes[j] = static_cast<uint8_t>(transparent && k == 2 ? 255 : m < 0 ? -m : 0);
            }
        }
    }
    return table;
}

alignas(16) constexpr ModifierTable Modifiers = modifierTable();

// Spreading bytes: the base colours' red and green (bytes 0, 4, 1, 5 of the
// two base words) four times each, and blue (bytes 2, 6); the four paint
// words' red and green twice, blue, alpha.
alignas(16) constexpr Bytes16 BaseRedGreen = {{0, 0, 0, 0, 4, 4, 4, 4, 1, 1, 1, 1, 5, 5, 5, 5}};
alignas(16) constexpr Bytes16 BaseBlue = {{2, 2, 2, 2, 6, 6, 6, 6, 2, 2, 2, 2, 6, 6, 6, 6}};
alignas(16) constexpr Bytes16 PaintRedGreen = {{0, 4, 8, 12, 0, 4, 8, 12, 1, 5, 9, 13, 1, 5, 9, 13}};
alignas(16) constexpr Bytes16 PaintBlue = {{2, 6, 10, 14, 2, 6, 10, 14, 2, 6, 10, 14, 2, 6, 10, 14}};
alignas(16) constexpr Bytes16 PaintAlpha = {{3, 7, 11, 15, 3, 7, 11, 15, 3, 7, 11, 15, 3, 7, 11, 15}};

// Spreading the pixel indices.  Pixel p = 4y + x (lane p) has its index's
// low bit at the rule's etcIndexBit (below 16) of the block's word, in byte
// 7 or 6, and its high bit 16 above, in byte 5 or 4, both at the same bit
// of their byte; the subblocks are the rule's.
struct IndexSpread {
    Bytes16 lowSource, highSource, bit;
    Bytes16 secondSubblock[2];  // 4 on the second subblock's pixels, by flip bit
};

constexpr IndexSpread indexSpread() {
    IndexSpread spread{};
    for (unsigned p = 0; p < 16; ++p) {
        const unsigned x = p & 3, y = p >> 2, at = etcIndexBit(x, y);
        spread.lowSource.bytes[p] = static_cast<uint8_t>(7 - at / 8);
        spread.highSource.bytes[p] = static_cast<uint8_t>(7 - (at + 16) / 8);
        spread.bit.bytes[p] = static_cast<uint8_t>(1 << (at % 8));
        spread.secondSubblock[0].bytes[p] = etcSecondSubblock(0, x, y) ? 4 : 0;
        spread.secondSubblock[1].bytes[p] = etcSecondSubblock(uint64_t{1} << 32, x, y) ? 4 : 0;
    }
    return spread;
}

alignas(16) constexpr IndexSpread Spread = indexSpread();

// Each pixel's palette number, row by row: 4 * subblock + index.
DDS_TARGET_SSSE3 inline __m128i paletteNumbers(const uint8_t *block) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(block));
    const __m128i bit = load(Spread.bit);
    const __m128i low = _mm_cmpeq_epi8(_mm_and_si128(_mm_shuffle_epi8(bytes, load(Spread.lowSource)), bit), bit);
    const __m128i high = _mm_cmpeq_epi8(_mm_and_si128(_mm_shuffle_epi8(bytes, load(Spread.highSource)), bit), bit);
    const __m128i index = _mm_or_si128(_mm_and_si128(low, _mm_set1_epi8(1)), _mm_and_si128(high, _mm_set1_epi8(2)));
    return _mm_or_si128(index, load(Spread.secondSubblock[block[3] & 1]));
}

// The per-channel palettes of a colour block: red (bytes 0-7) and green
// (8-15), blue (0-7), alpha (0-7).
struct Palettes {
    __m128i redGreen, blue, alpha;
};

// Individual and differential blocks.
DDS_TARGET_SSSE3 inline Palettes subblockPalettes(const uint8_t *block, bool punchThrough) {
    const uint64_t *pairs = kEtcBasePairs.pairs[etcIndividual(block, punchThrough) ? 0 : 1];
    const uint64_t both = pairs[block[0]] | pairs[block[1]] << 8 | pairs[block[2]] << 16;
#if defined(__x86_64__)
    const __m128i bases = _mm_cvtsi64_si128(static_cast<long long>(both));
#else
    const __m128i bases = _mm_set_epi32(0, 0, static_cast<int>(both >> 32), static_cast<int>(both & 0xFFFFFFFFu));
#endif
    const unsigned transparent = etcTransparentIndex(block, punchThrough) ? 1 : 0;
    const ModifierPair &m = Modifiers.pairs[transparent][block[3] >> 2];
    const __m128i add = load(m.add), subtract = load(m.subtract), ones = _mm_set1_epi8(-1);
    // The alpha palette: 255, but 0 where the transparent index subtracts 255.
    return {_mm_subs_epu8(_mm_adds_epu8(_mm_shuffle_epi8(bases, load(BaseRedGreen)), add), subtract),
            _mm_subs_epu8(_mm_adds_epu8(_mm_shuffle_epi8(bases, load(BaseBlue)), add), subtract),
            _mm_xor_si128(_mm_cmpeq_epi8(subtract, ones), ones)};
}

// T and H blocks: the four paint colours of the rule's base colours c1,
// c2 and distance d, with saturating adds and subtracts (the clamp).  T:
// c1, c2 + d, c2, c2 - d; H: c1 + d, c1 - d, c2 + d, c2 - d.  Without the
// opaque bit (punch-through) entry 2 is transparent.  The word of 4-bit
// channels times 17 is the widened one (no carries), as checked here.
constexpr bool nibblesWidenTimes17() {
    for (uint32_t v = 0; v < 16; ++v)
        if (etcWiden(v, 4) != static_cast<int>(v * 17)) return false;
    return true;
}
static_assert(nibblesWidenTimes17(), "a 4-bit channel widened is 17 times its value");

DDS_TARGET_SSSE3 inline Palettes paintPalettes(const uint8_t *block, bool tMode, bool transparentIndex) {
    const EtcPaintBase p = etcPaintBase(ddsEtcWord(block), tMode);
    auto opaque = [](const uint32_t c[3]) { return static_cast<int>((c[0] | c[1] << 8 | c[2] << 16) * 17 | 0xFF000000u); };
    const int first = opaque(p.first), second = opaque(p.second);
    const __m128i distance = _mm_set1_epi32(p.distance * 0x010101);
    const __m128i base =
        tMode ? _mm_setr_epi32(first, second, second, second) : _mm_setr_epi32(first, first, second, second);
    const __m128i added = tMode ? _mm_setr_epi32(0, -1, 0, 0) : _mm_setr_epi32(-1, 0, -1, 0);
    const __m128i subtracted = tMode ? _mm_setr_epi32(0, 0, 0, -1) : _mm_setr_epi32(0, -1, 0, -1);
    __m128i minus = _mm_and_si128(distance, subtracted);
    if (transparentIndex) minus = _mm_or_si128(minus, _mm_setr_epi32(0, 0, -1, 0));
    const __m128i paint = _mm_subs_epu8(_mm_adds_epu8(base, _mm_and_si128(distance, added)), minus);
    return {_mm_shuffle_epi8(paint, load(PaintRedGreen)), _mm_shuffle_epi8(paint, load(PaintBlue)),
            _mm_shuffle_epi8(paint, load(PaintAlpha))};
}

// Planar blocks: the rule's sums x (H - O) + y (V - O) + 4 O + 2 for the
// three 6:7:6 colours O, H and V, in 16-bit lanes two pixels a register,
// from the sums at pixel 0, 0 and their steps H - O across and V - O down;
// the alpha lanes hold the sum of white, which gives 255.  Shifted down by the rule's shift and
// packed with unsigned saturation (the clamp to 0..255): rows of RGBA
// words, then planes.
DDS_TARGET_SSSE3 inline Planes planarPlanes(const uint8_t *block) {
    const EtcPlane p = etcPlane(ddsEtcWord(block));
    auto lanes = [](int r, int g, int b, int a) {
        const short rs = static_cast<short>(r), gs = static_cast<short>(g), bs = static_cast<short>(b);
        return _mm_setr_epi16(rs, gs, bs, static_cast<short>(a), rs, gs, bs, static_cast<short>(a));
    };
    const __m128i across = lanes(p.h.r - p.o.r, p.h.g - p.o.g, p.h.b - p.o.b, 0);
    const __m128i down = lanes(p.v.r - p.o.r, p.v.g - p.o.g, p.v.b - p.o.b, 0);
    const __m128i x01 = _mm_unpackhi_epi64(_mm_setzero_si128(), across);    // 0, H - O
    const __m128i x23 = _mm_add_epi16(_mm_add_epi16(across, across), x01);  // 2 (H - O), 3 (H - O)
    __m128i start = lanes(etcPlanarSum(p.o.r, p.h.r, p.v.r, 0, 0), etcPlanarSum(p.o.g, p.h.g, p.v.g, 0, 0),
                          etcPlanarSum(p.o.b, p.h.b, p.v.b, 0, 0), etcPlanarSum(255, 255, 255, 0, 0));
    // Each row's words as its red, green, blue and alpha bytes (32-bit
    // lanes), then the four rows' lanes gathered.
    const __m128i byChannel = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    __m128i rows[4];
    for (int y = 0; y < 4; ++y, start = _mm_add_epi16(start, down)) {
        const __m128i leftPair = _mm_srai_epi16(_mm_add_epi16(start, x01), kEtcPlanarShift);
        const __m128i rightPair = _mm_srai_epi16(_mm_add_epi16(start, x23), kEtcPlanarShift);
        rows[y] = _mm_shuffle_epi8(_mm_packus_epi16(leftPair, rightPair), byChannel);
    }
    const __m128i rg01 = _mm_unpacklo_epi32(rows[0], rows[1]), ba01 = _mm_unpackhi_epi32(rows[0], rows[1]);
    const __m128i rg23 = _mm_unpacklo_epi32(rows[2], rows[3]), ba23 = _mm_unpackhi_epi32(rows[2], rows[3]);
    return {_mm_unpacklo_epi64(rg01, rg23), _mm_unpackhi_epi64(rg01, rg23), _mm_unpacklo_epi64(ba01, ba23),
            _mm_unpackhi_epi64(ba01, ba23)};
}

// The planes of a colour block.  `WantAlpha`: fill the alpha plane (only
// punch-through blocks have alpha other than 255; otherwise it is 255).
template <bool WantAlpha>
DDS_TARGET_SSSE3 inline Planes colorPlanes(const uint8_t *block, bool punchThrough) {
    const uint32_t overflows = ddsEtcOverflows(block, punchThrough);
    Palettes palettes;
    if (overflows == 0) {
        palettes = subblockPalettes(block, punchThrough);
    } else if (overflows & 3) {
        palettes = paintPalettes(block, (overflows & 1) != 0, etcTransparentIndex(block, punchThrough));
    } else {
        return planarPlanes(block);
    }
    const __m128i numbers = paletteNumbers(block);
    Planes planes;
    planes.red = _mm_shuffle_epi8(palettes.redGreen, numbers);
    planes.green = _mm_shuffle_epi8(palettes.redGreen, _mm_or_si128(numbers, _mm_set1_epi8(8)));
    planes.blue = _mm_shuffle_epi8(palettes.blue, numbers);
    planes.alpha = WantAlpha && punchThrough ? _mm_shuffle_epi8(palettes.alpha, numbers) : _mm_set1_epi8(-1);
    return planes;
}

// EAC.  The sixteen 3-bit indices as bytes, row by row: the index of pixel
// p = 4y + x lies at the rule's etcEacIndexBit (its low bit) and the two
// bits above in the block's word, inside the 16-bit window of bytes k (which
// holds its top bit) and k + 1 (big-endian), whose bit 0 is the word's bit
// 48 - 8k.  A multiplication moves it to the window's top three bits.  Byte
// 8 (past the block) is taken as zero.
struct EacSpread {
    Bytes16 windows[2];  // pixels 0-7 and 8-15, a 16-bit lane each
    alignas(16) uint16_t toTop[2][8];
};

constexpr EacSpread eacSpread() {
    EacSpread spread{};
    for (unsigned p = 0; p < 16; ++p) {
        const unsigned low = etcEacIndexBit(p & 3, p >> 2), k = (61 - low) / 8, at = low + 8 * k - 48;
        Bytes16 &window = spread.windows[p / 8];
        window.bytes[2 * (p % 8)] = static_cast<uint8_t>(k + 1 < 8 ? k + 1 : 0x80);
        window.bytes[2 * (p % 8) + 1] = static_cast<uint8_t>(k);
        spread.toTop[p / 8][p % 8] = static_cast<uint16_t>(1 << (13 - at));
    }
    return spread;
}

alignas(16) constexpr EacSpread EacIndices = eacSpread();

DDS_TARGET_SSSE3 inline __m128i eacIndexHalf(__m128i bytes, int half) {
    const __m128i windows = _mm_shuffle_epi8(bytes, load(EacIndices.windows[half]));
    const __m128i toTop = _mm_load_si128(reinterpret_cast<const __m128i *>(EacIndices.toTop[half]));
    return _mm_srli_epi16(_mm_mullo_epi16(windows, toTop), 13);
}

DDS_TARGET_SSSE3 inline __m128i eacIndices(const uint8_t *block) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(block));
    return _mm_packus_epi16(eacIndexHalf(bytes, 0), eacIndexHalf(bytes, 1));
}


// (mulhi(v, ElevenToByte) + 1) >> 1 is round(v * 255 / 2047) for every v
// in 0..2047; checked here over all of them.
constexpr int ElevenToByte = 16328;
constexpr bool elevenBitRoundingHolds() {
    for (int v = 0; v < 2048; ++v)
        if ((((v * ElevenToByte) >> 16) + 1) >> 1 != ddsEac11ToByte(v)) return false;
    return true;
}
static_assert(elevenBitRoundingHolds(), "the 11-bit to byte multiplication");

// The block's eight values in 16-bit lanes: base + modifier * multiplier
// (8-bit alpha, clamped by the packing that follows), or the 11-bit value
// base * 8 + 4 + modifier * multiplier * 8 (modifier alone for multiplier
// 0) clamped to 0..2047 and made a byte.
template <bool Eleven>
DDS_TARGET_SSSE3 inline __m128i eacValues(const uint8_t *block) {
    const int base = block[0], multiplier = block[1] >> 4;
    const __m128i modifiers =
        _mm_load_si128(reinterpret_cast<const __m128i *>(kEacModifiers[block[1] & 15]));
    if (!Eleven) {
        return _mm_add_epi16(_mm_set1_epi16(static_cast<short>(base)),
                             _mm_mullo_epi16(modifiers, _mm_set1_epi16(static_cast<short>(multiplier))));
    }
    const int scale = multiplier == 0 ? 1 : multiplier * 8;
    __m128i value = _mm_add_epi16(_mm_set1_epi16(static_cast<short>(base * 8 + 4)),
                                  _mm_mullo_epi16(modifiers, _mm_set1_epi16(static_cast<short>(scale))));
    value = _mm_min_epi16(_mm_max_epi16(value, _mm_setzero_si128()), _mm_set1_epi16(2047));
    return _mm_avg_epu16(_mm_mulhi_epu16(value, _mm_set1_epi16(ElevenToByte)), _mm_setzero_si128());
}

// The 16 bytes of an EAC block, row by row.
template <bool Eleven>
DDS_TARGET_SSSE3 inline __m128i eacPlane(const uint8_t *block) {
    const __m128i values = eacValues<Eleven>(block);
    return _mm_shuffle_epi8(_mm_packus_epi16(values, values), eacIndices(block));
}

// The planes of a block of `Format`.  `WantAlpha`: the alpha plane is
// wanted (four-byte pixels); otherwise it may hold anything.
template <BlockFormat Format, bool WantAlpha>
DDS_TARGET_SSSE3 inline Planes blockPlanes(const uint8_t *block) {
    if constexpr (Format == BlockFormat::EacR11 || Format == BlockFormat::EacRg11) {
        const __m128i red = eacPlane<true>(block);
        if (Format == BlockFormat::EacR11) return {red, red, red, _mm_set1_epi8(-1)};
        return {red, eacPlane<true>(block + 8), _mm_setzero_si128(), _mm_set1_epi8(-1)};
    } else if constexpr (Format == BlockFormat::Etc2Rgba) {
        Planes planes = colorPlanes<false>(block + 8, false);
        if (WantAlpha) planes.alpha = eacPlane<false>(block);
        return planes;
    } else {
        return colorPlanes<WantAlpha>(block, Format == BlockFormat::Etc2PunchThrough);
    }
}

// Words to three-byte pixels in bytes 0 to 11.
alignas(16) constexpr Bytes16 PackRgb = {{0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, 0x80, 0x80, 0x80, 0x80}};

// The four rows of the planes as RGBA words, or as three-byte pixels in
// bytes 0 to 11.
template <int BytesPerPixel>
DDS_TARGET_SSSE3 inline void planeRows(const Planes &planes, __m128i rows[4]) {
    const __m128i redGreenLow = _mm_unpacklo_epi8(planes.red, planes.green);
    const __m128i redGreenHigh = _mm_unpackhi_epi8(planes.red, planes.green);
    const __m128i blueAlphaLow = _mm_unpacklo_epi8(planes.blue, planes.alpha);
    const __m128i blueAlphaHigh = _mm_unpackhi_epi8(planes.blue, planes.alpha);
    rows[0] = _mm_unpacklo_epi16(redGreenLow, blueAlphaLow);
    rows[1] = _mm_unpackhi_epi16(redGreenLow, blueAlphaLow);
    rows[2] = _mm_unpacklo_epi16(redGreenHigh, blueAlphaHigh);
    rows[3] = _mm_unpackhi_epi16(redGreenHigh, blueAlphaHigh);
    if (BytesPerPixel == 3)
        for (int y = 0; y < 4; ++y) rows[y] = _mm_shuffle_epi8(rows[y], load(PackRgb));
}

template <BlockFormat Format, int BytesPerPixel>
struct Ssse3Block {
    DDS_TARGET_SSSE3 static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool last) {
        __m128i pixels[4];
        planeRows<BytesPerPixel>(blockPlanes<Format, BytesPerPixel == 4>(block), pixels);
        for (int y = 0; y < 4; ++y) {
            if (BytesPerPixel == 4) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[y] + column), pixels[y]);
            } else {
                ddsStoreRgbRow(rows[y] + column, pixels[y], last);
            }
        }
    }
};

}  // namespace

BlockRowKernel ddsEtcKernelSsse3(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    return ddsKernelOf<BlockWalkSsse3<Ssse3Block>::Kernel, B::Etc2Rgb, B::Etc2PunchThrough, B::Etc2Rgba, B::EacR11, B::EacRg11>(
        format, bytesPerPixel);
}

#endif
