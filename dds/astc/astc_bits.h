// A block's 128 bits as two little-endian words, and the bit fields read
// from them.  Bit 0 is the lowest bit of the block's first byte.
#ifndef DDS_ASTC_BITS_H
#define DDS_ASTC_BITS_H

#include <cstdint>

#include "common/bytes.h"

struct AstcBits {
    uint64_t low, high;
};

inline AstcBits astcLoadBits(const uint8_t block[16]) { return {ddsLoad64(block), ddsLoad64(block + 8)}; }

// `count` bits (0 to 32) from bit `start` (any value); bits at 128 and above
// read as zero.
inline uint32_t astcField(const AstcBits &bits, unsigned start, unsigned count) {
    if (count == 0 || start >= 128) return 0;
    uint64_t value;
    if (start >= 64) value = bits.high >> (start - 64);
    else if (start == 0) value = bits.low;
    else value = bits.low >> start | bits.high << (64 - start);
    return static_cast<uint32_t>(value & ((uint64_t{1} << count) - 1));
}

// The bits of x in the opposite order: each byte's bits reversed, then
// the bytes.
inline uint64_t astcReverse64(uint64_t x) {
    x = (x >> 1 & 0x5555555555555555ull) | (x & 0x5555555555555555ull) << 1;
    x = (x >> 2 & 0x3333333333333333ull) | (x & 0x3333333333333333ull) << 2;
    x = (x >> 4 & 0x0F0F0F0F0F0F0F0Full) | (x & 0x0F0F0F0F0F0F0F0Full) << 4;
#if defined(__GNUC__)
    return __builtin_bswap64(x);
#else
    x = (x >> 8 & 0x00FF00FF00FF00FFull) | (x & 0x00FF00FF00FF00FFull) << 8;
    x = (x >> 16 & 0x0000FFFF0000FFFFull) | (x & 0x0000FFFF0000FFFFull) << 16;
    return x >> 32 | x << 32;
#endif
}

// The block read from its top bit down: bit n of the result is bit 127 - n
// of the block (the weights are stored that way).
inline AstcBits astcReversed(const AstcBits &bits) { return {astcReverse64(bits.high), astcReverse64(bits.low)}; }

// Only the bits below `end` (0 to 128); the others cleared.
inline AstcBits astcBitsBelow(const AstcBits &bits, unsigned end) {
    if (end >= 128) return bits;
    if (end >= 64) return {bits.low, end == 64 ? 0 : bits.high & ((uint64_t{1} << (end - 64)) - 1)};
    return {end == 0 ? 0 : bits.low & ((uint64_t{1} << end) - 1), 0};
}

#endif
