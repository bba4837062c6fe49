// The eight-value channel block that DXT5's alpha, BC4 and BC5 share: two
// endpoint bytes, then sixteen 3-bit indices (pixel k at bit 3k of the
// 48-bit little-endian value in bytes 2 to 7) into a table of eight values.
// The rule is written here once; every speed tier takes it, or the
// constants below that are checked against it, from here.
#ifndef DDS_COMMON_CHANNEL_H
#define DDS_COMMON_CHANNEL_H

#include <cstdint>

#include "common/bytes.h"

// Value k of the table (k = 2..7) is the mix ((d + 1 - k) e0 + (k - 1) e1)
// / d, truncated, with d = 7 when e0 > e1 (six steps between), else d = 5
// (four steps, then 0 and 255 for indices 6 and 7).  Values 0 and 1 are the
// endpoints.
constexpr uint8_t ddsChannelValue(uint32_t e0, uint32_t e1, uint32_t index) {
    if (index == 0) return static_cast<uint8_t>(e0);
    if (index == 1) return static_cast<uint8_t>(e1);
    if (e0 > e1) return static_cast<uint8_t>(((8 - index) * e0 + (index - 1) * e1) / 7);
    if (index >= 6) return index == 6 ? 0 : 255;
    return static_cast<uint8_t>(((6 - index) * e0 + (index - 1) * e1) / 5);
}

inline void ddsChannelTable(uint32_t e0, uint32_t e1, uint8_t table[8]) {
    for (uint32_t k = 0; k < 8; ++k) table[k] = ddsChannelValue(e0, e1, k);
}

// The sixteen 3-bit indices of a channel block, pixel k at bit 3k.
inline uint64_t ddsChannelIndices(const uint8_t *channelBlock) {
    return ddsLoad24(channelBlock + 2) | static_cast<uint64_t>(ddsLoad24(channelBlock + 5)) << 24;
}

// The vector tiers divide by 7 and 5 as a multiplication keeping the high
// 16 bits of the product: x * reciprocal >> 16 is x / d for every sum x of
// the table's mixes (at most d * 255).
constexpr uint16_t ddsChannelReciprocal7 = 9363;
constexpr uint16_t ddsChannelReciprocal5 = 13108;

constexpr bool ddsReciprocalIsExact(uint32_t divisor, uint32_t reciprocal) {
    for (uint32_t x = 0; x <= divisor * 255; ++x) {
        if ((x * reciprocal) >> 16 != x / divisor) return false;
    }
    return true;
}
static_assert(ddsReciprocalIsExact(7, ddsChannelReciprocal7), "x / 7 as a multiplication");
static_assert(ddsReciprocalIsExact(5, ddsChannelReciprocal5), "x / 5 as a multiplication");

#endif
