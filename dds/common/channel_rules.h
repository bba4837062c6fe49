// The small rules that turn stored channel values into bytes, written once
// for every family: the unsigned and signed n-bit rules (SNORM, UINT, SINT,
// depth, bump-map and YUV alpha fields, BC1-BC3 palette mixes, signed BC4
// and BC5 endpoints), the extended-range 10-bit rule, a half float's byte
// (BC6H, half-float and packed-float layouts, ASTC's HDR texels), bit
// replication (ETC, ATC, PVRTC1, BC7, ASTC) and sign extension (BC6H,
// ASTC).  Every tier takes these or
// constants checked against them.  Exact integers: no float can hold
// 255 v / (2^32 - 1).
#ifndef DDS_COMMON_CHANNEL_RULES_H
#define DDS_COMMON_CHANNEL_RULES_H

#include <cstdint>

// The largest value of an unsigned n-bit channel, n 1 to 32.
constexpr uint64_t ddsLargestUnsigned(uint32_t bits) { return bits >= 32 ? 0xFFFFFFFFull : (uint64_t{1} << bits) - 1; }

// The two rules in integers of type T: 32 bits hold every sum for channels
// of up to 16 bits, 64 bits for wider ones.
template <typename T>
constexpr uint8_t ddsUnsignedRule(T value, T largest) {
    return static_cast<uint8_t>((510 * value + largest) / (2 * largest));
}
template <typename T>
constexpr uint8_t ddsSignedRule(T value, T largest) {  // value >= -largest
    return static_cast<uint8_t>((2 * (128 * largest + 127 * value) + largest) / (2 * largest));
}

// Unsigned n-bit `value` (at most 2^n - 1): round(255 v / M), halves up,
// with M = 2^n - 1: (510 v + M) div 2M.
constexpr uint8_t ddsUnsignedToUnorm8(uint32_t value, uint32_t bits) {
    if (bits <= 16) return ddsUnsignedRule<uint32_t>(value, static_cast<uint32_t>(ddsLargestUnsigned(bits)));
    return ddsUnsignedRule<uint64_t>(value, ddsLargestUnsigned(bits));
}

// Signed n-bit channel: `field` holds its n bits, two's complement, and
// -2^(n-1) counts as -(2^(n-1) - 1).  With M = 2^(n-1) - 1 the byte is
// round(128 + 127 v / M), halves up: (2 (128 M + 127 v) + M) div 2M, never
// a half, and the numerator is never negative.  For 8 bits that is v + 128
// with -128 as -127.  A 1-bit channel holds no value but 0 (its -1 counts
// as -0): 128.
constexpr uint8_t ddsSignedToUnorm8(uint32_t field, uint32_t bits) {
    if (bits < 2) return 128;
    const int64_t half = int64_t{1} << (bits - 1);  // 2^(n-1), at most 2^31
    const int64_t largest = half - 1;
    const int64_t raw = static_cast<int64_t>(field & ddsLargestUnsigned(bits));
    const int64_t value = raw >= half ? raw - 2 * half : raw;
    const int64_t clamped = value < -largest ? -largest : value;
    if (bits <= 16) return ddsSignedRule<int32_t>(static_cast<int32_t>(clamped), static_cast<int32_t>(largest));
    return ddsSignedRule<int64_t>(clamped, largest);
}

// A 10-bit extended-range (XR bias) colour field v: (v - 384) / 510,
// clamped to [0, 1], then round(255 x), halves up.  255 (v - 384) / 510 is
// (v - 384) / 2, so between 384 and 894 the byte is (v - 383) div 2 (an
// odd difference is a half, rounded up); 384 and below give 0, 894 and
// above 255.
constexpr uint8_t ddsXrBiasToUnorm8(uint32_t value) {
    if (value <= 384) return 0;
    if (value >= 894) return 255;
    return static_cast<uint8_t>((value - 383) / 2);
}

// `value` of `bits` bits (1 to 16) widened to `width` bits (at most 16) by
// repeating its bits from the top down: 5-bit 0x1F is 8-bit 0xFF, and a
// field's top bits fill the low bits that widening leaves empty.
constexpr uint32_t ddsReplicateBits(uint32_t value, unsigned bits, unsigned width) {
    if (bits == 0) return 0;
    uint32_t result = 0;
    unsigned filled = 0;
    while (filled < width) {
        result = result << bits | value;
        filled += bits;
    }
    return result >> (filled - width);
}

// The low `bits` bits of `value` (1 to 31) as a two's complement number.
constexpr int32_t ddsSignExtend(uint32_t value, unsigned bits) {
    const uint32_t sign = uint32_t{1} << (bits - 1);
    const uint32_t field = value & ((sign << 1) - 1);
    return static_cast<int32_t>(field ^ sign) - static_cast<int32_t>(sign);
}

// round(255 * clamp(f, 0, 1)) of half float `half`, halves up; NaN, -0 and
// negative values give 0, +inf 255.  A half below 1 is N * 2^-s with
// N = 1024 + mantissa and s = 25 - exponent (or N = mantissa and s = 24
// when the exponent is 0), s >= 11, so the rounding is done in integers:
// (255 N + 2^(s-1)) >> s.  The only exact half is 0.5 itself (N = 1024,
// s = 11: 127.5), which gives 128.
constexpr uint8_t ddsHalfToUnorm8(uint32_t half) {
    if (half & 0x8000) return 0;  // negative, -0, and NaN with the sign bit
    const uint32_t exponent = half >> 10 & 0x1F;
    const uint32_t mantissa = half & 0x3FF;
    if (exponent == 0x1F) return mantissa != 0 ? 0 : 255;  // NaN, +inf
    if (exponent >= 15) return 255;                         // 1.0 and above
    const uint32_t n = exponent != 0 ? 1024 + mantissa : mantissa;
    const uint32_t shift = exponent != 0 ? 25 - exponent : 24;
    return static_cast<uint8_t>((255 * n + (uint32_t{1} << (shift - 1))) >> shift);
}

#endif
