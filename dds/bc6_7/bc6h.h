// Decoder of BC6H blocks: 16 bytes holding 4 x 4 RGB pixels as 16-bit
// floats, unsigned (UF16) or signed (SF16), in one of 14 modes with one or
// two regions.
#ifndef DDS_BC6H_H
#define DDS_BC6H_H

#include <cstddef>
#include <cstdint>

#include "common/hdr_map.h"

// The 16 pixels of a BC6H block as half-float R, G, B triples in pixel
// order (row by row).  A block with a reserved mode gives zeros.
void ddsDecodeBc6hHalves(const uint8_t block[16], bool isSigned, uint16_t halves[16][3]);

// Decodes one BC6H block into 4 x 4 RGBA pixels (alpha 255) through
// ddsHalfToUnorm8, or with `hdr` through that table (ddsHdrHalfByte):
// pixel row r of the block goes to blockOrigin + r * rowStride.
void ddsDecodeBc6hBlock(const uint8_t block[16], bool isSigned, uint8_t *blockOrigin, ptrdiff_t rowStride,
                        const DdsHdrTable *hdr = nullptr);

#endif
