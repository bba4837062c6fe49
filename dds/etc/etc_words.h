// Pieces of the ETC and EAC block-row kernels shared by the portable and the
// SSSE3 ones.
#ifndef DDS_ETC_WORDS_H
#define DDS_ETC_WORDS_H

#include <cstdint>

#include "etc.h"

// The 16 pixels of an 8-byte colour block as RGBA words (red in the low
// byte), row by row (pixel x, y at 4y + x).  `punchThrough`: the block is
// read as a punch-through one.
void ddsEtcColorWords(const uint8_t *block, bool punchThrough, uint32_t pixels[16]);

// Whether an 8-byte colour block is in individual or differential mode.
// The differential bit (`punchThrough`: the opaque bit) may be anything in
// punch-through blocks, which have no individual mode.
inline bool ddsEtcHasSubblocks(const uint8_t *block, bool punchThrough, const bool sumOutside[256]) {
    return (!punchThrough && (block[3] & 2) == 0) || !(sumOutside[block[0]] | sumOutside[block[1]] | sumOutside[block[2]]);
}

// For each byte of a differential base: whether its 5-bit value (top bits)
// plus its signed 3-bit difference (low bits) falls outside 0..31.
const bool *ddsEtcSumOutside();

// The 16 values of an EAC block as bytes, row by row: 8-bit alpha, or the
// 11-bit values made bytes (`eleven`).
void ddsEacBytes(const uint8_t *block, bool eleven, uint8_t bytes[16]);

// The SSSE3 kernel of `format` at 3 or 4 bytes a pixel, whatever the
// processor; null in a build without SSSE3 (etc_rows_ssse3.cpp).
BlockRowKernel ddsEtcSsse3Kernel(EtcFormat format, int bytesPerPixel);

#endif
