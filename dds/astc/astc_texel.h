// From a texel's interpolated 16-bit channel value to the byte the
// importer hands back: through the half-float value of an HDR-mode decode,
// then round(255 * clamp(f, 0, 1)).
#ifndef DDS_ASTC_TEXEL_H
#define DDS_ASTC_TEXEL_H

#include <cstdint>

// An LDR channel: UNORM16 value C is the half float C / 65536 cut to its
// 11 leading bits (65535 is 1.0); the byte is round(255 * T / 65536), T
// being C with the bits below those 11 cleared.
constexpr uint8_t astcUnormByte(uint32_t c) {
    if (c == 65535) return 255;
    uint32_t below = c >> 11;  // nonzero where C has more than 11 bits
    below |= below >> 1;
    below |= below >> 2;
    below |= below >> 4;  // the top bit of C >> 11 and all under it: as many bits as C has beyond 11
    return static_cast<uint8_t>((255 * (c & ~below) + 32768) >> 16);
}

// An HDR channel: the 16-bit logarithmic value (5-bit exponent, 11-bit
// mantissa) as a half float whose mantissa follows a three-piece linear
// curve; infinities and NaNs become the largest finite half, 0x7BFF.
inline uint16_t astcLnsToHalf(uint32_t c) {
    const uint32_t e = c >> 11, m = c & 0x7FF;
    const uint32_t mt = m < 512 ? 3 * m : m >= 1536 ? 5 * m - 2048 : 4 * m - 512;
    const uint32_t half = (e << 10) + (mt >> 3);
    return static_cast<uint16_t>(half >= 0x7C00 ? 0x7BFF : half);
}

inline bool astcHalfIsNan(uint32_t half) { return (half & 0x7C00) == 0x7C00 && (half & 0x3FF) != 0; }

#endif
