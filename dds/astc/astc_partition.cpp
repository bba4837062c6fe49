#include "astc/astc_layout.h"

#include <cstdint>

namespace {

uint32_t hash52(uint32_t p) {
    p ^= p >> 15;
    p -= p << 17;
    p += p << 7;
    p += p << 4;
    p ^= p >> 5;
    p += p << 16;
    p ^= p >> 7;
    p ^= p >> 3;
    p ^= p << 6;
    p ^= p >> 17;
    return p;
}

}  // namespace

unsigned astcPartitionOf(unsigned seed, unsigned count, unsigned x, unsigned y, bool smallBlock) {
    if (smallBlock) x <<= 1, y <<= 1;
    seed += (count - 1) * 1024;
    const uint32_t r = hash52(seed);
    // Eight 4-bit factors, squared, then shifted down by amounts the seed
    // picks (the z factors of 3D blocks are not needed: z is 0).
    unsigned factors[8];
    for (unsigned i = 0; i < 8; ++i) {
        const unsigned f = r >> (4 * i) & 0xF;
        factors[i] = f * f;
    }
    unsigned shift1, shift2;
    if (seed & 1) {
        shift1 = seed & 2 ? 4 : 5;
        shift2 = count == 3 ? 6 : 5;
    } else {
        shift1 = count == 3 ? 6 : 5;
        shift2 = seed & 2 ? 4 : 5;
    }
    for (unsigned i = 0; i < 8; ++i) factors[i] >>= i % 2 == 0 ? shift1 : shift2;
    const unsigned a = (factors[0] * x + factors[1] * y + (r >> 14)) & 0x3F;
    const unsigned b = (factors[2] * x + factors[3] * y + (r >> 10)) & 0x3F;
    const unsigned c = count < 3 ? 0 : (factors[4] * x + factors[5] * y + (r >> 6)) & 0x3F;
    const unsigned d = count < 4 ? 0 : (factors[6] * x + factors[7] * y + (r >> 2)) & 0x3F;
    if (a >= b && a >= c && a >= d) return 0;
    if (b >= c && b >= d) return 1;
    if (c >= d) return 2;
    return 3;
}
