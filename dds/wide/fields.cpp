#include "wide/fields.h"

#include <cmath>
#include <cstring>

#include "common/bytes.h"
#include "common/channel_rules.h"
#include "layout_kernels.h"
#include "wide/wide.h"

namespace {

// A field with its mask's lowest bit and span, worked out once a row.
struct FieldReader {
    FieldKind kind;
    uint32_t offset;
    uint32_t mask;
    uint32_t shift;
    uint32_t bits;  // from the lowest to the highest bit of the mask
};

FieldReader readerOf(const Field &field) {
    FieldReader reader{field.kind, field.offset, field.mask, 0, 0};
    if (field.mask == 0) return reader;
    while ((field.mask >> reader.shift & 1u) == 0) ++reader.shift;
    const uint32_t value = field.mask >> reader.shift;
    while (reader.bits < 32 && (value >> reader.bits) != 0) ++reader.bits;
    return reader;
}

// The little-endian word of the pixel's bytes from `offset` on, zero past
// the pixel.
uint32_t wordAt(const uint8_t *pixel, uint32_t offset, uint32_t pixelBytes) {
    if (offset + 4 <= pixelBytes) return ddsLoad32(pixel + offset);
    uint32_t word = 0;
    for (uint32_t i = pixelBytes; i > offset; --i) word = word << 8 | pixel[i - 1];
    return word;
}

uint32_t fieldValue(const FieldReader &reader, const uint8_t *pixel, uint32_t pixelBytes) {
    return (wordAt(pixel, reader.offset, pixelBytes) & reader.mask) >> reader.shift;
}

// A signed field's value, -2^(n-1) counting as -(2^(n-1) - 1), limited to
// the 8-bit range that NormalZ reads (a 1-bit field holds only 0).
int32_t signedByteValue(const FieldReader &reader, const uint8_t *pixel, uint32_t pixelBytes) {
    if (reader.bits < 2) return 0;
    const uint32_t raw = fieldValue(reader, pixel, pixelBytes);
    const int32_t value = reader.bits < 32 ? ddsSignExtend(raw, reader.bits) : static_cast<int32_t>(raw);
    return value < -127 ? -127 : value > 127 ? 127 : value;
}

// 128 + round(sqrt(127^2 - u^2 - v^2)), which is the NormalZ rule with the
// 127s multiplied out; a square root is never halfway between integers.
uint8_t normalZ(int32_t u, int32_t v) {
    const int32_t square = 127 * 127 - u * u - v * v;
    if (square <= 0) return 128;
    uint32_t root = static_cast<uint32_t>(std::sqrt(static_cast<double>(square)));
    while (root * root > static_cast<uint32_t>(square)) --root;
    while ((root + 1) * (root + 1) <= static_cast<uint32_t>(square)) ++root;
    const bool roundsUp = static_cast<uint32_t>(square) > root * root + root;
    return static_cast<uint8_t>(128 + root + (roundsUp ? 1 : 0));
}

uint8_t channelByte(const FieldReader *readers, int c, const uint8_t *pixel, uint32_t pixelBytes,
                    const DdsHdrTable *hdr) {
    const FieldReader &reader = readers[c];
    if (reader.kind == FieldKind::Opaque) return 255;
    if (reader.kind == FieldKind::NormalZ) {
        return normalZ(signedByteValue(readers[0], pixel, pixelBytes), signedByteValue(readers[1], pixel, pixelBytes));
    }
    if (reader.kind == FieldKind::Zero || reader.mask == 0) return 0;
    const uint32_t value = fieldValue(reader, pixel, pixelBytes);
    switch (reader.kind) {
        case FieldKind::Unsigned: return ddsUnsignedToUnorm8(value, reader.bits);
        case FieldKind::Signed: return ddsSignedToUnorm8(value, reader.bits);
        case FieldKind::XrBias: return ddsXrBiasToUnorm8(value);
        default: return hdr != nullptr && c < 3 ? ddsHdrFloatByte(*hdr, value) : ddsFloatToUnorm8(value);
    }
}

// One bit a pixel, the first pixel in the most significant bit of the
// first byte: 1 is white, 0 black.
template <uint32_t BytesPerPixel>
void bitRow(const LayoutState &, const uint8_t *source, const uint8_t *, uint32_t width, uint8_t *const *rows) {
    uint8_t *destination = rows[0];
    for (uint32_t x = 0; x < width; ++x, destination += BytesPerPixel) {
        const uint8_t grey = (source[x / 8] >> (7 - x % 8) & 1) != 0 ? 255 : 0;
        const uint8_t rgba[4] = {grey, grey, grey, 255};
        std::memcpy(destination, rgba, BytesPerPixel);
    }
}

}  // namespace

void ddsConvertFieldRowPlain(const FieldLayout &layout, const uint8_t *source, uint32_t width, uint8_t *destination,
                             uint32_t bytesPerPixel, const DdsHdrTable *hdr) {
    FieldReader readers[4];
    for (int c = 0; c < 4; ++c) readers[c] = readerOf(layout.channels[c]);
    for (uint32_t x = 0; x < width; ++x, source += layout.pixelBytes, destination += bytesPerPixel) {
        for (uint32_t c = 0; c < bytesPerPixel; ++c) {
            destination[c] = channelByte(readers, static_cast<int>(c), source, layout.pixelBytes, hdr);
        }
    }
}

LayoutRowKernel ddsBitKernel(uint32_t bytesPerPixel, KernelTier tier) {
    if (tier != KernelTier::Plain) return nullptr;
    return bytesPerPixel == 3 ? bitRow<3> : bitRow<4>;
}
