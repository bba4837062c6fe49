// The field layouts with a faster path, each with ddsConvertFieldRowPlain's
// bytes: every layout of whole-byte signed and unsigned channels in pixels
// of up to four bytes (R8_SNORM, R8G8_SNORM, V8U8, X8L8V8U8...) by one
// table lookup a channel (portable); four 8-bit signed channels
// (R8G8B8A8_SNORM and SINT, Q8W8V8U8) to RGBA with SSE2; two 16-bit signed
// channels (R16G16_SNORM and SINT, V16U16) to RGB with SSSE3 (an AVX2 form
// of it, tried, ran slower: the conversion is bound by memory, and
// three-byte pixels need more stores).  The pixels a vector step does not
// cover go through the plain conversion.

#include <cstddef>

#include "common/simd.h"
#include "common/channel_rules.h"
#include "layout_kernels.h"
#include "wide/fields.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#if defined(DDS_HAVE_SSSE3)
#include <immintrin.h>
#endif
#endif

namespace {

// The byte of each value of a whole-byte channel: signed by the signed
// rule, unsigned as it is; 0 and 255 for the channels not stored.
struct ByteTables {
    uint8_t table[4][256];
    constexpr ByteTables() : table() {
        for (uint32_t v = 0; v < 256; ++v) {
            table[0][v] = ddsSignedToUnorm8(v, 8);
            table[1][v] = static_cast<uint8_t>(v);
            table[2][v] = 0;
            table[3][v] = 255;
        }
    }
};
constexpr ByteTables Bytes;

// For each channel of a layout of whole-byte channels, the pixel's byte it
// reads and the table that converts it; false for any other layout.
bool byteChannels(const FieldLayout &layout, uint32_t index[4], const uint8_t *tables[4]) {
    if (layout.pixelBytes > 4) return false;
    for (int c = 0; c < 4; ++c) {
        const Field &field = layout.channels[c];
        index[c] = 0;
        if (field.kind == FieldKind::Zero || field.kind == FieldKind::Opaque) {
            tables[c] = Bytes.table[field.kind == FieldKind::Zero ? 2 : 3];
            continue;
        }
        while (index[c] < layout.pixelBytes && field.mask != 0xFFu << (8 * index[c])) ++index[c];
        const bool integer = field.kind == FieldKind::Signed || field.kind == FieldKind::Unsigned;
        if (field.offset != 0 || index[c] == layout.pixelBytes || !integer) return false;
        tables[c] = Bytes.table[field.kind == FieldKind::Signed ? 0 : 1];
    }
    return true;
}

// Whole-byte channels by lookups, the pixel size fixed when compiled.
template <uint32_t BytesPerPixel>
void byteRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    uint32_t index[4];
    const uint8_t *tables[4];
    byteChannels(state.fields, index, tables);
    uint8_t *destination = rows[0];
    for (uint32_t x = 0; x < width; ++x, source += state.fields.pixelBytes, destination += BytesPerPixel) {
        for (uint32_t c = 0; c < BytesPerPixel; ++c) destination[c] = tables[c][source[index[c]]];
    }
}

// A vector path's kernel: its steps, then the plain conversion of the
// pixels they leave; the plain tier takes no steps, and maps float fields
// through the state's HDR table when it has one.
uint32_t noSteps(const uint8_t *, uint32_t, uint8_t *) { return 0; }

template <uint32_t (*Steps)(const uint8_t *, uint32_t, uint8_t *), uint32_t BytesPerPixel>
void stepsRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    const uint32_t done = Steps(source, width, rows[0]);
    ddsConvertFieldRowPlain(state.fields, source + size_t{done} * state.fields.pixelBytes, width - done,
                            rows[0] + size_t{done} * BytesPerPixel, BytesPerPixel, state.hdr);
}

#if defined(DDS_HAVE_SSE2)
bool sameLayout(const FieldLayout &a, const FieldLayout &b) {
    bool same = a.pixelBytes == b.pixelBytes;
    for (int c = 0; c < 4; ++c) {
        const Field &x = a.channels[c], &y = b.channels[c];
        same = same && x.kind == y.kind && x.offset == y.offset && x.mask == y.mask;
    }
    return same;
}

constexpr FieldKind S = FieldKind::Signed;
constexpr FieldLayout Signed8x4{{ddsField(S, 0xFF), ddsField(S, 0xFF00), ddsField(S, 0xFF0000), ddsField(S, 0xFF000000)},
                                4};

// Signed bytes: v + 128 is the byte ^ 0x80, and -128 (0x80) goes to 1 as
// -127 does: the larger of that and 1.  Returns the pixels converted.
uint32_t signed8x4Sse2(const uint8_t *source, uint32_t width, uint8_t *rgba) {
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i one = _mm_set1_epi8(1);
    uint32_t x = 0;
    for (; x + 4 <= width; x += 4) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(source + 4 * size_t{x}));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(rgba + 4 * size_t{x}), _mm_max_epu8(_mm_xor_si128(bytes, flip), one));
    }
    return x;
}
#endif

#if defined(DDS_HAVE_SSSE3)
constexpr FieldLayout Signed16x2{
    {ddsField(S, 0xFFFF), ddsField(S, 0xFFFF0000), ddsField(FieldKind::Zero, 0), ddsField(FieldKind::Opaque, 0)}, 4};

// Eight signed 16-bit channels to bytes.  With v limited to -32767 and
// w = v + 32768 (v ^ 0x8000, 1 to 65535), the rule's
// (2 (128 M + 127 v) + M) div 2M, M = 32767, is
// ((w * 65026) >> 16 + 383) >> 8 for every v: the fast-path test checks
// all 65536 of them against ddsSignedToUnorm8.
DDS_TARGET_SSSE3 inline __m128i signed16Bytes(__m128i words) {
    const __m128i limited = _mm_max_epi16(words, _mm_set1_epi16(-32767));
    const __m128i shifted = _mm_xor_si128(limited, _mm_set1_epi16(static_cast<short>(0x8000)));
    const __m128i high = _mm_mulhi_epu16(shifted, _mm_set1_epi16(static_cast<short>(65026)));
    return _mm_srli_epi16(_mm_add_epi16(high, _mm_set1_epi16(383)), 8);
}

// Two signed 16-bit channels a pixel to R, G, 0: eight pixels (32 bytes)
// to 24 bytes a step.
DDS_TARGET_SSSE3 uint32_t signed16x2RgbSsse3(const uint8_t *source, uint32_t width, uint8_t *rgb) {
    const __m128i first = _mm_setr_epi8(0, 1, -1, 2, 3, -1, 4, 5, -1, 6, 7, -1, 8, 9, -1, 10);
    const __m128i last = _mm_setr_epi8(11, -1, 12, 13, -1, 14, 15, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const __m128i *in = reinterpret_cast<const __m128i *>(source + 4 * size_t{x});
        const __m128i bytes = _mm_packus_epi16(signed16Bytes(_mm_loadu_si128(in)), signed16Bytes(_mm_loadu_si128(in + 1)));
        uint8_t *out = rgb + 3 * size_t{x};
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_shuffle_epi8(bytes, first));
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 16), _mm_shuffle_epi8(bytes, last));
    }
    return x;
}
#endif

}  // namespace

LayoutRowKernel ddsFieldKernel(const FieldLayout &layout, uint32_t bytesPerPixel, KernelTier tier) {
    const bool rgb = bytesPerPixel == 3;
    uint32_t index[4];
    const uint8_t *tables[4];
    switch (tier) {
        case KernelTier::Plain: return rgb ? stepsRow<noSteps, 3> : stepsRow<noSteps, 4>;
        case KernelTier::Portable:
            if (!byteChannels(layout, index, tables)) return nullptr;
            return rgb ? byteRow<3> : byteRow<4>;
#if defined(DDS_HAVE_SSE2)
        case KernelTier::Sse2: return !rgb && sameLayout(layout, Signed8x4) ? stepsRow<signed8x4Sse2, 4> : nullptr;
#endif
#if defined(DDS_HAVE_SSSE3)
        case KernelTier::Ssse3:
            return rgb && sameLayout(layout, Signed16x2) ? stepsRow<signed16x2RgbSsse3, 3> : nullptr;
#endif
        default: return nullptr;
    }
}
