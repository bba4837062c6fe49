// The two rules that turn an n-bit integer channel into a byte, written
// once: every layout that stores integer channels (SNORM, UINT, SINT,
// depth, the signed bump-map codes, YUV alpha) converts them through these,
// in every tier.  Exact integers: no float can hold 255 v / (2^32 - 1).
#ifndef DDS_WIDE_CHANNEL_RULES_H
#define DDS_WIDE_CHANNEL_RULES_H

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

#endif
