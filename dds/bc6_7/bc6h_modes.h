// The layout of BC6H blocks, shared by the plain decoder and the block-row
// kernels: the 14 modes, each as the runs of block bits that hold its
// endpoint fields.
#ifndef DDS_BC6H_MODES_H
#define DDS_BC6H_MODES_H

#include <array>
#include <cstdint>

#include "bc6_7/bptc.h"

// The endpoint values a mode's fields feed: R0 G0 B0 are endpoint 0,
// R1 G1 B1 endpoint 1 (the other end of region 0), R2 .. B3 the two ends
// of region 1.
enum class Bc6hField : uint8_t { R0, G0, B0, R1, G1, B1, R2, G2, B2, R3, G3, B3 };

// A run of block bits that holds bits of one field, written v[first:last]:
// with first >= last the bits, low first, become bits last .. first of v;
// with first < last they go the other way, the first bit read becoming
// bit last.
struct Segment {
    Bc6hField field;
    uint8_t first;
    uint8_t last;
};

inline constexpr unsigned MaxSegments = 23;

struct Bc6hMode {
    uint8_t value;  // mode bits as read: 2 bits if below 2, else 5
    uint8_t modeBits;
    bool transformed;       // endpoints other than endpoint 0 are deltas from it
    uint8_t partitionBits;  // 5 for two regions, 0 for one
    uint8_t endpointBits;
    uint8_t deltaBits[3];  // widths of R, G, B of the other endpoints
    uint8_t segmentCount;
    Segment segments[MaxSegments];
};

constexpr unsigned ddsBc6hRegions(const Bc6hMode &mode) { return mode.partitionBits ? 2u : 1u; }
constexpr unsigned ddsBc6hIndexBits(const Bc6hMode &mode) { return mode.partitionBits ? 3u : 4u; }

// The 14 modes: after the mode bits, the segments in block order, then the
// partition number (two regions) and the indices.  The fields go by their
// short names in this table only.
constexpr std::array<Bc6hMode, 14> ddsBc6hModeTable() {
    using F = Bc6hField;
    constexpr F R0 = F::R0, G0 = F::G0, B0 = F::B0, R1 = F::R1, G1 = F::G1, B1 = F::B1;
    constexpr F R2 = F::R2, G2 = F::G2, B2 = F::B2, R3 = F::R3, G3 = F::G3, B3 = F::B3;
    // clang-format off
    return {{
    {0, 2, true, 5, 10, {5, 5, 5}, 19,
     {{G2, 4, 4}, {B2, 4, 4}, {B3, 4, 4}, {R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 4, 0}, {G3, 4, 4},
      {G2, 3, 0}, {G1, 4, 0}, {B3, 0, 0}, {G3, 3, 0}, {B1, 4, 0}, {B3, 1, 1}, {B2, 3, 0}, {R2, 4, 0},
      {B3, 2, 2}, {R3, 4, 0}, {B3, 3, 3}}},
    {1, 2, true, 5, 7, {6, 6, 6}, 23,
     {{G2, 5, 5}, {G3, 4, 4}, {G3, 5, 5}, {R0, 6, 0}, {B3, 0, 0}, {B3, 1, 1}, {B2, 4, 4}, {G0, 6, 0},
      {B2, 5, 5}, {B3, 2, 2}, {G2, 4, 4}, {B0, 6, 0}, {B3, 3, 3}, {B3, 5, 5}, {B3, 4, 4}, {R1, 5, 0},
      {G2, 3, 0}, {G1, 5, 0}, {G3, 3, 0}, {B1, 5, 0}, {B2, 3, 0}, {R2, 5, 0}, {R3, 5, 0}}},
    {2, 5, true, 5, 11, {5, 4, 4}, 18,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 4, 0}, {R0, 10, 10}, {G2, 3, 0}, {G1, 3, 0}, {G0, 10, 10},
      {B3, 0, 0}, {G3, 3, 0}, {B1, 3, 0}, {B0, 10, 10}, {B3, 1, 1}, {B2, 3, 0}, {R2, 4, 0}, {B3, 2, 2},
      {R3, 4, 0}, {B3, 3, 3}}},
    {6, 5, true, 5, 11, {4, 5, 4}, 20,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 3, 0}, {R0, 10, 10}, {G3, 4, 4}, {G2, 3, 0}, {G1, 4, 0},
      {G0, 10, 10}, {G3, 3, 0}, {B1, 3, 0}, {B0, 10, 10}, {B3, 1, 1}, {B2, 3, 0}, {R2, 3, 0}, {B3, 0, 0},
      {B3, 2, 2}, {R3, 3, 0}, {G2, 4, 4}, {B3, 3, 3}}},
    {10, 5, true, 5, 11, {4, 4, 5}, 20,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 3, 0}, {R0, 10, 10}, {B2, 4, 4}, {G2, 3, 0}, {G1, 3, 0},
      {G0, 10, 10}, {B3, 0, 0}, {G3, 3, 0}, {B1, 4, 0}, {B0, 10, 10}, {B2, 3, 0}, {R2, 3, 0}, {B3, 1, 1},
      {B3, 2, 2}, {R3, 3, 0}, {B3, 4, 4}, {B3, 3, 3}}},
    {14, 5, true, 5, 9, {5, 5, 5}, 19,
     {{R0, 8, 0}, {B2, 4, 4}, {G0, 8, 0}, {G2, 4, 4}, {B0, 8, 0}, {B3, 4, 4}, {R1, 4, 0}, {G3, 4, 4},
      {G2, 3, 0}, {G1, 4, 0}, {B3, 0, 0}, {G3, 3, 0}, {B1, 4, 0}, {B3, 1, 1}, {B2, 3, 0}, {R2, 4, 0},
      {B3, 2, 2}, {R3, 4, 0}, {B3, 3, 3}}},
    {18, 5, true, 5, 8, {6, 5, 5}, 19,
     {{R0, 7, 0}, {G3, 4, 4}, {B2, 4, 4}, {G0, 7, 0}, {B3, 2, 2}, {G2, 4, 4}, {B0, 7, 0}, {B3, 3, 3},
      {B3, 4, 4}, {R1, 5, 0}, {G2, 3, 0}, {G1, 4, 0}, {B3, 0, 0}, {G3, 3, 0}, {B1, 4, 0}, {B3, 1, 1},
      {B2, 3, 0}, {R2, 5, 0}, {R3, 5, 0}}},
    {22, 5, true, 5, 8, {5, 6, 5}, 21,
     {{R0, 7, 0}, {B3, 0, 0}, {B2, 4, 4}, {G0, 7, 0}, {G2, 5, 5}, {G2, 4, 4}, {B0, 7, 0}, {G3, 5, 5},
      {B3, 4, 4}, {R1, 4, 0}, {G3, 4, 4}, {G2, 3, 0}, {G1, 5, 0}, {G3, 3, 0}, {B1, 4, 0}, {B3, 1, 1},
      {B2, 3, 0}, {R2, 4, 0}, {B3, 2, 2}, {R3, 4, 0}, {B3, 3, 3}}},
    {26, 5, true, 5, 8, {5, 5, 6}, 21,
     {{R0, 7, 0}, {B3, 1, 1}, {B2, 4, 4}, {G0, 7, 0}, {B2, 5, 5}, {G2, 4, 4}, {B0, 7, 0}, {B3, 5, 5},
      {B3, 4, 4}, {R1, 4, 0}, {G3, 4, 4}, {G2, 3, 0}, {G1, 4, 0}, {B3, 0, 0}, {G3, 3, 0}, {B1, 5, 0},
      {B2, 3, 0}, {R2, 4, 0}, {B3, 2, 2}, {R3, 4, 0}, {B3, 3, 3}}},
    {30, 5, false, 5, 6, {6, 6, 6}, 23,
     {{R0, 5, 0}, {G3, 4, 4}, {B3, 0, 0}, {B3, 1, 1}, {B2, 4, 4}, {G0, 5, 0}, {G2, 5, 5}, {B2, 5, 5},
      {B3, 2, 2}, {G2, 4, 4}, {B0, 5, 0}, {G3, 5, 5}, {B3, 3, 3}, {B3, 5, 5}, {B3, 4, 4}, {R1, 5, 0},
      {G2, 3, 0}, {G1, 5, 0}, {G3, 3, 0}, {B1, 5, 0}, {B2, 3, 0}, {R2, 5, 0}, {R3, 5, 0}}},
    {3, 5, false, 0, 10, {10, 10, 10}, 6,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 9, 0}, {G1, 9, 0}, {B1, 9, 0}}},
    {7, 5, true, 0, 11, {9, 9, 9}, 9,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 8, 0}, {R0, 10, 10}, {G1, 8, 0}, {G0, 10, 10}, {B1, 8, 0},
      {B0, 10, 10}}},
    {11, 5, true, 0, 12, {8, 8, 8}, 9,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 7, 0}, {R0, 10, 11}, {G1, 7, 0}, {G0, 10, 11}, {B1, 7, 0},
      {B0, 10, 11}}},
    {15, 5, true, 0, 16, {4, 4, 4}, 9,
     {{R0, 9, 0}, {G0, 9, 0}, {B0, 9, 0}, {R1, 3, 0}, {R0, 10, 15}, {G1, 3, 0}, {G0, 10, 15}, {B1, 3, 0},
      {B0, 10, 15}}},
    }};
    // clang-format on
}
inline constexpr std::array<Bc6hMode, 14> kBc6hModes = ddsBc6hModeTable();

constexpr unsigned ddsBc6hSegmentWidth(const Segment &s) {
    return s.first >= s.last ? s.first - s.last + 1u : s.last - s.first + 1u;
}

// Each mode fills the 128 bits, and its segments give every bit of every
// field it uses exactly once: endpointBits for endpoint 0, deltaBits for
// the others.
constexpr bool ddsBc6hLayoutIsComplete(const Bc6hMode &mode) {
    const unsigned regions = ddsBc6hRegions(mode);
    unsigned total = mode.modeBits + mode.partitionBits + 16u * ddsBc6hIndexBits(mode) - regions;
    uint32_t seen[12] = {};
    for (unsigned k = 0; k < mode.segmentCount; ++k) {
        const Segment &s = mode.segments[k];
        total += ddsBc6hSegmentWidth(s);
        const unsigned low = s.first < s.last ? s.first : s.last;
        uint32_t &bits = seen[static_cast<unsigned>(s.field)];
        for (unsigned b = low; b < low + ddsBc6hSegmentWidth(s); ++b) {
            if (bits >> b & 1u) return false;
            bits |= 1u << b;
        }
    }
    for (unsigned f = 0; f < 12; ++f) {
        const unsigned width = f >= 3u * 2u * regions ? 0u
                               : f < 3                ? mode.endpointBits
                                                      : mode.deltaBits[f % 3];
        if (seen[f] != (1u << width) - 1u) return false;
    }
    return total == 128;
}

constexpr bool ddsBc6hAllLayoutsComplete() {
    for (const Bc6hMode &mode : kBc6hModes)
        if (!ddsBc6hLayoutIsComplete(mode)) return false;
    return true;
}
static_assert(ddsBc6hAllLayoutsComplete(), "BC6H mode layouts");

// The mode of a block from its first byte: the mode bits are its low two
// bits when they are 0 or 1, else its low five; Bc6hReserved for the
// reserved values 10011, 10111, 11011 and 11111.
inline constexpr unsigned Bc6hReserved = 14;
constexpr unsigned ddsBc6hModeOf(uint8_t firstByte) {
    const unsigned value = (firstByte & 3u) < 2u ? firstByte & 3u : firstByte & 31u;
    for (unsigned m = 0; m < Bc6hReserved; ++m)
        if (kBc6hModes[m].value == value) return m;
    return Bc6hReserved;
}
inline constexpr BptcByteTable kBc6hModeOfByte = ddsBptcTabulate(ddsBc6hModeOf);

#endif
