// ddsDecodeBlockRow with SSSE3's byte shuffle, for processors that have it.
// Each row of a block is one shuffle of the block's palette (four RGBA
// words in a register) by a control looked up from the row's index byte:
// four-byte pixels take whole words, three-byte pixels their first three
// bytes.  DXT5's eight alpha values are computed once a block and looked
// up by a second shuffle of its sixteen 3-bit indices; DXT3's come from
// its nibbles.  Alpha bytes are shuffled into the words' fourth bytes.
// BC4 and BC5 channels are decoded as DXT5's alpha and put together into
// RGBA words, or shuffled straight into three-byte rows.  The output is the plain decoder's, byte for byte.

#include <cstdint>
#include <cstring>

#include "blocks.h"
#include "cpu_features.h"
#include "fast_paths.h"
#include "rgtc.h"
#include "simd.h"

#if defined(DDS_HAVE_SSSE3)
#include <tmmintrin.h>

#include "blocks_sse2.h"
#endif

#if defined(DDS_HAVE_SSSE3)

namespace {

#define DDS_TARGET_SSSE3 __attribute__((target("ssse3")))

using namespace sse2blocks;

// Shuffle controls for one row of a block, by the row's index byte v.
// Four-byte pixels: byte 4p + c is byte c of palette word (v >> 2p) & 3.
// Three-byte pixels: byte 3p + c, c < 3, is; bytes 12 to 15 are zero.
struct RowControls {
    uint8_t bytes[256][16];
};

constexpr RowControls rowControls(int bytesPerPixel) {
    RowControls controls{};
    for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 16; ++i) controls.bytes[v][i] = 0x80;
        for (int p = 0; p < 4; ++p) {
            for (int c = 0; c < bytesPerPixel; ++c) {
                controls.bytes[v][bytesPerPixel * p + c] = static_cast<uint8_t>(4 * ((v >> (2 * p)) & 3) + c);
            }
        }
    }
    return controls;
}

alignas(16) constexpr RowControls RgbaControls = rowControls(4);
alignas(16) constexpr RowControls RgbControls = rowControls(3);

DDS_TARGET_SSSE3 inline __m128i rowControl(const RowControls &controls, uint8_t indices) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(controls.bytes[indices]));
}

// DXT5: the eight alpha values of the block in bytes 0 to 7.  Index i's
// value is (w0 a0 + w1 a1) / d with constant weights for each mode
// (d = 7 when a0 > a1, else 5, where indices 6 and 7 are 0 and 255), the
// division a multiplication that is exact for every sum that occurs (and
// gives a0 and a1 back for indices 0 and 1).  The mode picks its constants
// by index, without a branch.
struct AlphaMode {
    alignas(16) int16_t weight0[8];
    alignas(16) int16_t weight1[8];
    alignas(16) int16_t reciprocal[8];
    alignas(16) int16_t fixed[8];
};

constexpr AlphaMode AlphaModes[2] = {
    // a0 <= a1: four steps between, then 0 and 255.
    {{5, 0, 4, 3, 2, 1, 0, 0}, {0, 5, 1, 2, 3, 4, 0, 0}, {13108, 13108, 13108, 13108, 13108, 13108, 13108, 13108},
     {0, 0, 0, 0, 0, 0, 0, 255}},
    // a0 > a1: six steps between.
    {{7, 0, 6, 5, 4, 3, 2, 1}, {0, 7, 1, 2, 3, 4, 5, 6}, {9363, 9363, 9363, 9363, 9363, 9363, 9363, 9363},
     {0, 0, 0, 0, 0, 0, 0, 0}},
};

DDS_TARGET_SSSE3 inline __m128i load(const int16_t (&lanes)[8]) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(lanes));
}

DDS_TARGET_SSSE3 inline __m128i alphaValues(uint32_t a0, uint32_t a1) {
    const AlphaMode &mode = AlphaModes[a0 > a1 ? 1 : 0];
    const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(load(mode.weight0), _mm_set1_epi16(static_cast<short>(a0))),
                                      _mm_mullo_epi16(load(mode.weight1), _mm_set1_epi16(static_cast<short>(a1))));
    const __m128i values = _mm_or_si128(_mm_mulhi_epu16(sum, load(mode.reciprocal)), load(mode.fixed));
    return _mm_packus_epi16(values, values);
}

DDS_TARGET_SSSE3 inline __m128i alphaValues(const uint8_t *alphaBlock) {
    return alphaValues(alphaBlock[0], alphaBlock[1]);
}

// DXT5: the sixteen 3-bit indices (bits 16 to 63 of the block) as bytes in
// pixel order.  Index k lies in the 16-bit window that starts at byte
// 2 + 3k / 8, at bit 3k % 8; a multiplication moves it to the window's
// top three bits.
DDS_TARGET_SSSE3 inline __m128i alphaIndices(const uint8_t *alphaBlock) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(alphaBlock));
    const __m128i first = _mm_shuffle_epi8(bytes, _mm_setr_epi8(2, 3, 2, 3, 2, 3, 3, 4, 3, 4, 3, 4, 4, 5, 4, 5));
    // Indices 14 and 15 lie wholly in byte 7, the last one.
    const __m128i second = _mm_shuffle_epi8(bytes, _mm_setr_epi8(5, 6, 5, 6, 5, 6, 6, 7, 6, 7, 6, 7, 7, -128, 7, -128));
    const __m128i toTop = _mm_setr_epi16(1 << 13, 1 << 10, 1 << 7, 1 << 12, 1 << 9, 1 << 6, 1 << 11, 1 << 8);
    return _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(first, toTop), 13),
                            _mm_srli_epi16(_mm_mullo_epi16(second, toTop), 13));
}

// The alpha bytes of row r (pixels 4r to 4r + 3) moved to the fourth byte
// of each word, zeros elsewhere.
DDS_TARGET_SSSE3 inline __m128i alphaOfRow(__m128i alpha, int r) {
    const char z = -128;
    const char p = static_cast<char>(4 * r);
    return _mm_shuffle_epi8(alpha, _mm_setr_epi8(z, z, z, p, z, z, z, static_cast<char>(p + 1), z, z, z,
                                                 static_cast<char>(p + 2), z, z, z, static_cast<char>(p + 3)));
}

template <BlockFormat Format, int BytesPerPixel>
DDS_TARGET_SSSE3 void decodeRowSsse3(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr size_t BlockBytes = Format == Dxt1 ? 8 : 16;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    constexpr bool MergeAlpha = Format != Dxt1 && BytesPerPixel == 4;
    const RowControls &controls = BytesPerPixel == 4 ? RgbaControls : RgbControls;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        const uint8_t *colorBlock = Format == Dxt1 ? block : block + 8;
        __m128i words = palette(colorBlock, Format != Dxt1);
        __m128i alpha = _mm_setzero_si128();
        if (MergeAlpha) {
            words = _mm_and_si128(words, _mm_set1_epi32(0x00FFFFFF));
            alpha = Format == Dxt3 ? explicitAlpha(block) : _mm_shuffle_epi8(alphaValues(block), alphaIndices(block));
        }
        const size_t column = b * BlockWidthBytes;
        for (int r = 0; r < 4; ++r) {
            __m128i row = _mm_shuffle_epi8(words, rowControl(controls, colorBlock[4 + r]));
            if (MergeAlpha) row = _mm_or_si128(row, alphaOfRow(alpha, r));
            uint8_t *destination = rows[r] + column;
            if (BytesPerPixel == 4 || b + 1 < blockCount) {
                // Three-byte rows store 16 bytes too; the next block
                // overwrites the last four.
                _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), row);
            } else {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), row);
                const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8)));
                std::memcpy(destination + 8, &last, 4);
            }
        }
    }
}

// BC4 and BC5 channel blocks: the eight values of a channel as DXT5's
// alpha (alphaValues), here from its two endpoint bytes repeated in every
// 16-bit lane, one pmaddubsw with the mode's weights as byte pairs
// (w0, w1): the sums, at most 7 * 255, do not saturate.
struct ChannelMode {
    alignas(16) int8_t weights[16];
    alignas(16) int16_t reciprocal[8];
    alignas(16) int16_t fixed[8];
};

constexpr ChannelMode ChannelModes[2] = {
    // e0 <= e1: four steps between, then 0 and 255.
    {{5, 0, 0, 5, 4, 1, 3, 2, 2, 3, 1, 4, 0, 0, 0, 0}, {13108, 13108, 13108, 13108, 13108, 13108, 13108, 13108},
     {0, 0, 0, 0, 0, 0, 0, 255}},
    // e0 > e1: six steps between.
    {{7, 0, 0, 7, 6, 1, 5, 2, 4, 3, 3, 4, 2, 5, 1, 6}, {9363, 9363, 9363, 9363, 9363, 9363, 9363, 9363},
     {0, 0, 0, 0, 0, 0, 0, 0}},
};

// The eight values in 16-bit lanes, from (e0, e1) byte pairs.
DDS_TARGET_SSSE3 inline __m128i channelValues(__m128i endpointPairs, bool sevenSteps) {
    const ChannelMode &mode = ChannelModes[sevenSteps ? 1 : 0];
    const __m128i weights = _mm_load_si128(reinterpret_cast<const __m128i *>(mode.weights));
    const __m128i sum = _mm_maddubs_epi16(endpointPairs, weights);
    return _mm_or_si128(_mm_mulhi_epu16(sum, load(mode.reciprocal)), load(mode.fixed));
}

// Shuffle controls for three-byte rows of BC4 and BC5.  grey[r]: pixel p
// of row r takes byte 4r + p three times.  pair[k]: from red and green
// bytes interleaved (pixels 4k to 4k + 7 of a half), pixel p takes bytes
// 8k + 2p and 8k + 2p + 1, then a zero.  blue[r]: byte 4r + p to byte
// 3p + 2, zeros elsewhere.  Bytes 12 to 15 are zero.
struct RgtcControls {
    uint8_t grey[4][16];
    uint8_t pair[2][16];
    uint8_t blue[4][16];
};

constexpr RgtcControls rgtcControls() {
    RgtcControls controls{};
    for (int i = 0; i < 16; ++i) {
        for (int r = 0; r < 4; ++r) controls.grey[r][i] = controls.blue[r][i] = 0x80;
        for (int k = 0; k < 2; ++k) controls.pair[k][i] = 0x80;
    }
    for (int p = 0; p < 4; ++p) {
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 3; ++c) controls.grey[r][3 * p + c] = static_cast<uint8_t>(4 * r + p);
            controls.blue[r][3 * p + 2] = static_cast<uint8_t>(4 * r + p);
        }
        for (int k = 0; k < 2; ++k) {
            controls.pair[k][3 * p] = static_cast<uint8_t>(8 * k + 2 * p);
            controls.pair[k][3 * p + 1] = static_cast<uint8_t>(8 * k + 2 * p + 1);
        }
    }
    return controls;
}

alignas(16) constexpr RgtcControls RgtcRgb = rgtcControls();

DDS_TARGET_SSSE3 inline __m128i control(const uint8_t (&bytes)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i *>(bytes));
}

// BC4 and BC5: both channels' values packed into one register (red in
// bytes 0 to 7, green in 8 to 15) and looked up by each channel's indices.
// Four-byte rows are the channels interleaved into RGBA words; three-byte
// rows are shuffled from the red and green pairs, or the grey bytes, with
// blue shuffled in for normals.
template <BlockFormat Format, int BytesPerPixel>
DDS_TARGET_SSSE3 void decodeRgtcRowSsse3(const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4]) {
    constexpr bool HasGreen = ddsRgtcHasGreen(Format);
    constexpr bool IsSigned = ddsRgtcIsSigned(Format);
    constexpr bool IsNormal = ddsRgtcIsNormal(Format);
    constexpr size_t BlockBytes = HasGreen ? 16 : 8;
    constexpr size_t BlockWidthBytes = 4 * BytesPerPixel;
    const uint8_t *const zTable = IsNormal ? ddsNormalZTable() : nullptr;
    for (uint32_t b = 0; b < blockCount; ++b) {
        const uint8_t *block = blocks + b * BlockBytes;
        __m128i endpoints = HasGreen ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(block))
                                     : _mm_loadl_epi64(reinterpret_cast<const __m128i *>(block));
        // Signed endpoints: byte ^ 0x80, and 0 (from -128) up to 1, as ddsRgtcEndpoint.
        if (IsSigned) endpoints = _mm_max_epu8(_mm_xor_si128(endpoints, _mm_set1_epi8(-128)), _mm_set1_epi8(1));
        const __m128i redValues =
            channelValues(_mm_shuffle_epi8(endpoints, _mm_set1_epi16(0x0100)),
                          ddsRgtcEndpoint(block[0], IsSigned) > ddsRgtcEndpoint(block[1], IsSigned));
        __m128i values = redValues;
        if (HasGreen) {
            values = channelValues(_mm_shuffle_epi8(endpoints, _mm_set1_epi16(0x0908)),
                                   ddsRgtcEndpoint(block[8], IsSigned) > ddsRgtcEndpoint(block[9], IsSigned));
        }
        const __m128i tables = _mm_packus_epi16(redValues, values);
        const __m128i red = _mm_shuffle_epi8(tables, alphaIndices(block));
        // Green's indices (0 to 7) or 8 select bytes 8 to 15.
        const __m128i green =
            HasGreen ? _mm_shuffle_epi8(tables, _mm_or_si128(alphaIndices(block + 8), _mm_set1_epi8(8))) : red;
        const __m128i blue = !HasGreen ? red : IsNormal ? normalBlue(red, green, zTable) : _mm_setzero_si128();
        const size_t column = b * BlockWidthBytes;
        if (BytesPerPixel == 4) {
            __m128i pixels[4];
            rgbaRows(red, green, blue, pixels);
            for (int r = 0; r < 4; ++r) _mm_storeu_si128(reinterpret_cast<__m128i *>(rows[r] + column), pixels[r]);
            continue;
        }
        const __m128i redGreen[2] = {_mm_unpacklo_epi8(red, green), _mm_unpackhi_epi8(red, green)};
        for (int r = 0; r < 4; ++r) {
            __m128i row;
            if (!HasGreen) {
                row = _mm_shuffle_epi8(red, control(RgtcRgb.grey[r]));
            } else {
                row = _mm_shuffle_epi8(redGreen[r / 2], control(RgtcRgb.pair[r % 2]));
                if (IsNormal) row = _mm_or_si128(row, _mm_shuffle_epi8(blue, control(RgtcRgb.blue[r])));
            }
            uint8_t *destination = rows[r] + column;
            if (b + 1 < blockCount) {
                // 16 bytes; the next block overwrites the last four.
                _mm_storeu_si128(reinterpret_cast<__m128i *>(destination), row);
            } else {
                _mm_storel_epi64(reinterpret_cast<__m128i *>(destination), row);
                const uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(row, 8)));
                std::memcpy(destination + 8, &last, 4);
            }
        }
    }
}

}  // namespace

#endif  // DDS_HAVE_SSSE3

bool ddsDecodeBlockRowSsse3(BlockFormat format, const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4],
                            int bytesPerPixel) {
#if defined(DDS_HAVE_SSSE3)
    if (!ddsCpuHasSsse3()) return false;
    if (bytesPerPixel == 4) {
        switch (format) {
            case Dxt1: decodeRowSsse3<Dxt1, 4>(blocks, blockCount, rows); return true;
            case Dxt3: decodeRowSsse3<Dxt3, 4>(blocks, blockCount, rows); return true;
            case Dxt5: decodeRowSsse3<Dxt5, 4>(blocks, blockCount, rows); return true;
            case Bc4: decodeRgtcRowSsse3<Bc4, 4>(blocks, blockCount, rows); return true;
            case Bc4Signed: decodeRgtcRowSsse3<Bc4Signed, 4>(blocks, blockCount, rows); return true;
            case Bc5: decodeRgtcRowSsse3<Bc5, 4>(blocks, blockCount, rows); return true;
            case Bc5Signed: decodeRgtcRowSsse3<Bc5Signed, 4>(blocks, blockCount, rows); return true;
            case Bc5Normal: decodeRgtcRowSsse3<Bc5Normal, 4>(blocks, blockCount, rows); return true;
            case Bc5SignedNormal: decodeRgtcRowSsse3<Bc5SignedNormal, 4>(blocks, blockCount, rows); return true;
            default: break;
        }
    } else if (bytesPerPixel == 3) {
        switch (format) {
            // Without alpha, DXT3 and DXT5 are their colour blocks.
            case Dxt1: decodeRowSsse3<Dxt1, 3>(blocks, blockCount, rows); return true;
            case Dxt3: decodeRowSsse3<Dxt3, 3>(blocks, blockCount, rows); return true;
            case Dxt5: decodeRowSsse3<Dxt5, 3>(blocks, blockCount, rows); return true;
            case Bc4: decodeRgtcRowSsse3<Bc4, 3>(blocks, blockCount, rows); return true;
            case Bc4Signed: decodeRgtcRowSsse3<Bc4Signed, 3>(blocks, blockCount, rows); return true;
            case Bc5: decodeRgtcRowSsse3<Bc5, 3>(blocks, blockCount, rows); return true;
            case Bc5Signed: decodeRgtcRowSsse3<Bc5Signed, 3>(blocks, blockCount, rows); return true;
            case Bc5Normal: decodeRgtcRowSsse3<Bc5Normal, 3>(blocks, blockCount, rows); return true;
            case Bc5SignedNormal: decodeRgtcRowSsse3<Bc5SignedNormal, 3>(blocks, blockCount, rows); return true;
            default: break;
        }
    }
#else
    (void)format, (void)blocks, (void)blockCount, (void)rows, (void)bytesPerPixel;
#endif
    return false;
}
