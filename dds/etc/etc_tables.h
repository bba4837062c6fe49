// The constants of the ETC and EAC formats, and the reading of their
// big-endian words.
#ifndef DDS_ETC_TABLES_H
#define DDS_ETC_TABLES_H

#include <cstdint>

// The block's eight bytes as one big-endian word: byte 0 holds bits 63-56.
inline uint64_t ddsEtcWord(const uint8_t *block) {
    uint64_t word = 0;
    for (int k = 0; k < 8; ++k) word = word << 8 | block[k];
    return word;
}

// Individual and differential modes: the small and the large modifier
// (a, b) of each table codeword.  Pixel index (msb, lsb) 00 adds a, 01
// adds b, 10 subtracts a, 11 subtracts b.
constexpr int kEtcModifiers[8][2] = {{2, 8}, {5, 17}, {9, 29}, {13, 42}, {18, 60}, {24, 80}, {33, 106}, {47, 183}};

// T and H modes: the distance of each distance index.
constexpr int kEtcDistances[8] = {3, 6, 11, 16, 23, 32, 41, 64};

// EAC: the eight modifiers of each table index.
constexpr int kEacModifiers[16][8] = {
    {-3, -6, -9, -15, 2, 5, 8, 14}, {-3, -7, -10, -13, 2, 6, 9, 12}, {-2, -5, -8, -13, 1, 4, 7, 12},
    {-2, -4, -6, -13, 1, 3, 5, 12}, {-3, -6, -8, -12, 2, 5, 7, 11},  {-3, -7, -9, -11, 2, 6, 8, 10},
    {-4, -7, -8, -11, 3, 6, 7, 10}, {-3, -5, -8, -11, 2, 4, 7, 10},  {-2, -6, -8, -10, 1, 5, 7, 9},
    {-2, -5, -8, -10, 1, 4, 7, 9},  {-2, -4, -8, -10, 1, 3, 7, 9},   {-2, -5, -7, -10, 1, 4, 6, 9},
    {-3, -4, -7, -10, 2, 3, 6, 9},  {-1, -2, -3, -10, 0, 1, 2, 9},   {-4, -6, -8, -9, 3, 5, 7, 8},
    {-3, -5, -7, -9, 2, 4, 6, 8},
};

// An 11-bit EAC value (0 to 2047) as a byte: round(v * 255 / 2047).
constexpr uint8_t ddsEac11ToByte(int value) { return static_cast<uint8_t>((value * 255 + 1023) / 2047); }

#endif
