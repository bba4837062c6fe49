// Conversion to 8 bits of the uncompressed layouts whose channels are not bit
// fields of at most 32 bits: 16-bit normalised channels, half and 32-bit
// floats, and the two packed float layouts.
#ifndef DDS_WIDE_PIXELS_H
#define DDS_WIDE_PIXELS_H

#include <cstdint>

// The uncompressed layouts whose channels are not bit fields of at most 32 bits.
enum class WideLayout : uint8_t {
    Unorm16,     // 16-bit unsigned normalised channels
    Float16,     // half floats
    Float32,     // 32-bit floats
    R11G11B10,   // packed unsigned floats: R 11 bits (6e5m), G 11 bits, B 10 bits (5e5m), 32-bit pixel
    R9G9B9E5,    // three 9-bit mantissas sharing a 5-bit exponent, 32-bit pixel
};

struct WideFormat {
    WideLayout layout;
    uint8_t channels;   // stored channels, in R, G, B, A order: 1 to 4 (3 for the packed layouts)
};

// Bytes of one pixel: 2 or 4 a channel, 4 for the packed layouts.
constexpr uint32_t ddsWidePixelBytes(const WideFormat &format) {
    return format.layout == WideLayout::Float32                                          ? 4u * format.channels
           : format.layout == WideLayout::Unorm16 || format.layout == WideLayout::Float16 ? 2u * format.channels
                                                                                          : 4u;
}

// Their row kernel is ddsWideKernel (layout_kernels.h), the plain rule
// alone: `width` pixels of ddsWidePixelBytes(format) bytes, little-endian,
// to 8 bits a channel.
//
// 16-bit normalised v gives (v * 255 + 32767) / 65535.  Floats (half,
// 32-bit, packed) are clamped to [0, 1] and scaled by 255, rounding to
// nearest with ties up; negative values, -0 and NaN give 0, values above 1
// and +inf give 255.  Channels not stored: one channel is grey (v, v, v,
// 255); two give (r, g, 0, 255); three give alpha 255.

// A 32-bit float, given by its bits, to 8 bits by the rule above: the one
// place a float becomes a byte (half floats: ddsHalfToUnorm8).
uint8_t ddsFloatToUnorm8(uint32_t bits);

#endif
