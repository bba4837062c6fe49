// What the portable and the SSSE3 block-row kernels of ETC and EAC share:
// the choice of a colour block's mode and its base colours by table.
#ifndef DDS_ETC_KERNELS_H
#define DDS_ETC_KERNELS_H

#include <cstdint>

#include "etc/etc.h"

// For each byte of a differential base: 1 when its 5-bit value (top bits)
// plus its signed 3-bit difference (low bits) falls outside 0..31.
struct EtcSumOutside {
    uint8_t outside[256];
};

constexpr EtcSumOutside ddsEtcSumOutsideTable() {
    EtcSumOutside table{};
    for (int v = 0; v < 256; ++v) {
        const int sum = (v >> 3) + ((v & 7) >= 4 ? (v & 7) - 8 : v & 7);
        table.outside[v] = sum < 0 || sum > 31 ? 1 : 0;
    }
    return table;
}

inline constexpr EtcSumOutside kEtcSumOutside = ddsEtcSumOutsideTable();

// The sums of an 8-byte colour block that leave 0..31: bit 0 red (T mode),
// bit 1 green (H mode, when red's does not), bit 2 blue (planar mode, when
// neither does); 0 for individual and differential blocks.  Punch-through
// blocks have no individual mode: their differential bit is the opaque bit.
// Computed without branches: the modes come in no predictable order.
inline uint32_t ddsEtcOverflows(const uint8_t *block, bool punchThrough) {
    const uint32_t differential = punchThrough ? 1u : (block[3] >> 1) & 1u;
    const uint8_t *outside = kEtcSumOutside.outside;
    const uint32_t sums = static_cast<uint32_t>(outside[block[0]] | outside[block[1]] << 1 | outside[block[2]] << 2);
    return (0u - differential) & sums;
}

// The two base colours' channel for each byte of an individual or
// differential block's first three: the first subblock's in bits 0-7, the
// second's in bits 32-39.  [0] individual mode (the two nibbles times 17),
// [1] differential (the 5-bit value, and the value plus its difference,
// widened; a sum outside 0..31 belongs to another mode and wraps here).
struct EtcBasePairs {
    uint64_t pairs[2][256];
};

constexpr EtcBasePairs ddsEtcBasePairsTable() {
    EtcBasePairs table{};
    for (int v = 0; v < 256; ++v) {
        table.pairs[0][v] = static_cast<uint64_t>((v >> 4) * 17) | static_cast<uint64_t>((v & 15) * 17) << 32;
        const int first = v >> 3, second = (first + ((v & 7) >= 4 ? (v & 7) - 8 : v & 7)) & 31;
        table.pairs[1][v] =
            static_cast<uint64_t>(first << 3 | first >> 2) | static_cast<uint64_t>(second << 3 | second >> 2) << 32;
    }
    return table;
}

inline constexpr EtcBasePairs kEtcBasePairs = ddsEtcBasePairsTable();

#endif
