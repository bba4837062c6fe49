// The layout of BC7 blocks, shared by the plain decoder and the block-row
// kernels: what each of the eight modes stores, the mode of a first byte,
// how endpoints widen to bytes, and which indices colour and alpha take.
#ifndef DDS_BC7_MODES_H
#define DDS_BC7_MODES_H

#include <cstdint>

#include "bc6_7/bptc.h"
#include "common/channel_rules.h"

// What a mode's fields hold, in the order the block stores them after the
// mode bits: partition number, rotation, index selection, colour endpoints
// (red of every endpoint, then green, then blue), alpha endpoints, p-bits,
// primary indices, secondary indices.
struct Bc7Mode {
    uint8_t subsets;
    uint8_t partitionBits;
    uint8_t rotationBits;
    uint8_t selectionBits;
    uint8_t colorBits;
    uint8_t alphaBits;      // 0: alpha is 255
    uint8_t endpointPBits;  // 1: one p-bit per endpoint
    uint8_t sharedPBits;    // 1: one p-bit per subset, for both its endpoints
    uint8_t indexBits;
    uint8_t secondaryIndexBits;  // 0: colour and alpha share the primary indices
};

// clang-format off
inline constexpr Bc7Mode kBc7Modes[8] = {
    {3, 4, 0, 0, 4, 0, 1, 0, 3, 0},  // mode 0
    {2, 6, 0, 0, 6, 0, 0, 1, 3, 0},  // mode 1
    {3, 6, 0, 0, 5, 0, 0, 0, 2, 0},  // mode 2
    {2, 6, 0, 0, 7, 0, 1, 0, 2, 0},  // mode 3
    {1, 0, 2, 1, 5, 6, 0, 0, 2, 3},  // mode 4
    {1, 0, 2, 0, 7, 8, 0, 0, 2, 2},  // mode 5
    {1, 0, 0, 0, 7, 7, 1, 0, 4, 0},  // mode 6
    {2, 6, 0, 0, 5, 5, 1, 0, 2, 0},  // mode 7
};
// clang-format on

// Every mode fills the 128 bits exactly: mode bits, fields, and indices
// with one bit less at each subset's anchor pixel.
constexpr bool ddsBc7ModesFillTheBlock() {
    for (unsigned mode = 0; mode < 8; ++mode) {
        const Bc7Mode &m = kBc7Modes[mode];
        const unsigned endpoints = 2u * m.subsets;
        const unsigned pBits = m.endpointPBits ? endpoints : m.sharedPBits ? m.subsets : 0u;
        const unsigned indices =
            16u * m.indexBits - m.subsets + (m.secondaryIndexBits ? 16u * m.secondaryIndexBits - 1u : 0u);
        if (mode + 1u + m.partitionBits + m.rotationBits + m.selectionBits +
                endpoints * (3u * m.colorBits + m.alphaBits) + pBits + indices != 128u)
            return false;
    }
    return true;
}
static_assert(ddsBc7ModesFillTheBlock(), "BC7 mode table");

// The mode of a block from its first byte: the number of zero bits below
// the lowest one, 8 (no mode) for the byte 0.
inline constexpr unsigned Bc7NoMode = 8;
constexpr unsigned ddsBc7ModeOf(uint8_t firstByte) {
    unsigned mode = 0;
    while (mode < Bc7NoMode && ((firstByte >> mode) & 1) == 0) ++mode;
    return mode;
}
inline constexpr BptcByteTable kBc7ModeOfByte = ddsBptcTabulate(ddsBc7ModeOf);

// Which indices colour and alpha take: the primary ones for both, or in a
// mode with secondary indices the primary for colour and the secondary for
// alpha, swapped when the index selection bit is set.
constexpr unsigned ddsBc7ColorIndexBits(const Bc7Mode &mode, bool selected) {
    return selected ? mode.secondaryIndexBits : mode.indexBits;
}
constexpr unsigned ddsBc7AlphaIndexBits(const Bc7Mode &mode, bool selected) {
    return mode.secondaryIndexBits == 0 || selected ? mode.indexBits : mode.secondaryIndexBits;
}

// An endpoint channel widened to 8 bits: its `bits` stored bits with the
// `pBitWidth` p-bits (0 or 1) below them, the top bits repeated below; a
// channel the mode does not store (bits 0, alpha) is 255.
constexpr uint32_t ddsBc7Widen(uint32_t stored, unsigned bits, uint32_t pBit, unsigned pBitWidth) {
    return bits == 0 ? 255u : ddsReplicateBits(stored << pBitWidth | pBit, bits + pBitWidth, 8);
}

#endif
