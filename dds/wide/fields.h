// Pixels of up to 16 bytes whose channels are integer or float fields:
// SNORM, UINT and SINT layouts, depth and stencil, the legacy signed
// bump-map codes, the pixel formats that carry the bump flags and the
// extended-range (XR bias) 10:10:10:2 layout.  Each channel is a field of
// the little-endian 32-bit word at a byte of the pixel, selected by a mask,
// and read by one rule of common/channel_rules.h (unsigned, signed,
// extended-range) or as a float.
#ifndef DDS_WIDE_FIELDS_H
#define DDS_WIDE_FIELDS_H

#include <cstdint>

#include "common/hdr_map.h"

enum class FieldKind : uint8_t {
    Zero,      // not stored: 0
    Opaque,    // not stored: 255
    Unsigned,  // unsigned, as many bits as the mask spans
    Signed,    // two's complement, as many bits as the mask spans
    Float,     // a 32-bit float: clamped to [0, 1], round(255 x), NaN 0
    NormalZ,   // blue of an 8-bit signed red u and green v (-128 as -127):
               // round(128 + 127 sqrt(max(0, 1 - (u/127)^2 - (v/127)^2)))
    XrBias,    // a 10-bit extended-range colour v: (v - 384) / 510, clamped to
               // [0, 1], round(255 x)
};

struct Field {
    FieldKind kind;
    uint8_t offset;  // the byte of the pixel where the field's word starts
    uint32_t mask;   // the field's bits in that word: (word & mask) >> its lowest bit
};

struct FieldLayout {
    Field channels[4];   // red, green, blue, alpha
    uint8_t pixelBytes;  // 1 to 16; a word that runs past the pixel has zeros there
};

// A field of `kind` over `mask` in the word at byte `offset`.
constexpr Field ddsField(FieldKind kind, uint32_t mask, uint8_t offset = 0) { return Field{kind, offset, mask}; }

// Converts `width` pixels to `bytesPerPixel` (3: R, G, B; 4: R, G, B, A)
// bytes each, pixel by pixel and channel by channel: the rule that every
// faster path matches byte for byte.  `source` holds width * pixelBytes
// bytes and nothing past them is read.  With `hdr` (a table of Floats),
// float fields in red, green and blue come from it (ddsHdrFloatByte).
void ddsConvertFieldRowPlain(const FieldLayout &layout, const uint8_t *source, uint32_t width, uint8_t *destination,
                             uint32_t bytesPerPixel, const DdsHdrTable *hdr = nullptr);

// The row kernels (ddsFieldKernel, layout_kernels.h) add faster tiers:
// whole-byte channels by lookups (portable), four 8-bit signed channels to
// RGBA (SSE2), two 16-bit signed channels to RGB (SSSE3).  1-bit rows
// (ddsBitKernel) have the plain tier alone.

#endif
