// How BC6H turns a block's fields into half floats, written once for the
// plain and portable tiers (the vector tiers are held to it byte for byte):
// the endpoints (delta transform, sign extension, unquantisation), their
// interpolation, and the interpolated value's half-float bits.  Each rule
// takes the mode's numbers as arguments, which the portable tier passes as
// constants, so that they fold when compiled.
#ifndef DDS_BC6H_RULES_H
#define DDS_BC6H_RULES_H

#include <cstdint>

#include "common/channel_rules.h"

// An endpoint of `bits` bits spread over the 16-bit range, to be
// interpolated.  Unsigned: 0 stays 0, the largest value becomes 0xFFFF, the
// others the middle of their step.  Signed: the same on the magnitude, the
// largest magnitudes becoming 0x7FFF.
constexpr int ddsBc6hUnquantize(int x, unsigned bits, bool isSigned) {
    if (!isSigned) {
        if (bits >= 15 || x == 0) return x;
        if (x == (1 << bits) - 1) return 0xFFFF;
        return ((x << 15) + 0x4000) >> (bits - 1);
    }
    if (bits >= 16) return x;
    const int magnitude = x < 0 ? -x : x;
    const int unq = magnitude == 0                      ? 0
                    : magnitude >= (1 << (bits - 1)) - 1 ? 0x7FFF
                                                        : ((magnitude << 15) + 0x4000) >> (bits - 1);
    return x < 0 ? -unq : unq;
}

// Channel c of endpoint e (ends e = 2r and 2r + 1 of region r) as a
// number, spread by ddsBc6hUnquantize, from the fields of the block (R0 ..
// B3, as Bc6hField numbers them): as stored, or in a transformed mode, for
// an endpoint other than endpoint 0, a delta of deltaBits[c] bits added to
// endpoint 0's field, wrapping at the endpoint width; signed blocks take it
// as a two's complement number of that width.  The portable tier passes
// the mode's numbers as constants.
constexpr int ddsBc6hEndpoint(const uint32_t fields[12], unsigned e, unsigned c, unsigned deltaBits, unsigned bits,
                              bool isSigned) {
    uint32_t value = fields[3 * e + c];
    if (e > 0 && deltaBits != 0)
        value = (fields[c] + static_cast<uint32_t>(ddsSignExtend(value, deltaBits))) & ((uint32_t{1} << bits) - 1);
    return ddsBc6hUnquantize(isSigned ? ddsSignExtend(value, bits) : static_cast<int>(value), bits, isSigned);
}

// ((64 - w) * a + w * b + 32) >> 6, rounding towards minus infinity for
// negative sums as an arithmetic shift does: the sum lies above -2^22, so
// it is shifted with 2^22 added and 2^16 taken off again.
constexpr int ddsBc6hInterpolate(int a, int b, int weight) {
    const int sum = (64 - weight) * a + weight * b + 32;
    return ((sum + (1 << 22)) >> 6) - (1 << 16);
}

// An interpolated value (unsigned: 0 to 0xFFFF; signed: -0x7FFF to
// 0x7FFF) as half-float bits: unsigned values scaled by 31/64, which maps
// 0xFFFF to 0x7BFF, the largest finite half; signed ones by 31/32 on the
// magnitude, with the sign bit set when the scaled value is negative (-1
// scales to 0, which stays +0).  The vector tiers scale by 31 as (c << 5) -
// c and shift by ddsBc6hHalfShift.
constexpr int ddsBc6hHalfShift(bool isSigned) { return isSigned ? 5 : 6; }
constexpr uint16_t ddsBc6hHalf(int interpolated, bool isSigned) {
    if (interpolated >= 0) return static_cast<uint16_t>((interpolated * 31) >> ddsBc6hHalfShift(isSigned));
    const int magnitude = ((-interpolated) * 31) >> ddsBc6hHalfShift(isSigned);
    return static_cast<uint16_t>(magnitude == 0 ? 0 : 0x8000 | magnitude);
}

#endif
