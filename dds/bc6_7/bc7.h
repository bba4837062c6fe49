// Decoder of BC7 blocks: 16 bytes holding 4 x 4 RGBA pixels in one of
// eight modes, each with its own number of subsets, endpoint precision and
// index sizes.
#ifndef DDS_BC7_H
#define DDS_BC7_H

#include <cstddef>
#include <cstdint>

// Decodes one 16-byte BC7 block into 4 x 4 RGBA pixels (R, G, B, A bytes):
// pixel row r of the block goes to blockOrigin + r * rowStride.  A block
// whose first byte is 0 (no mode) decodes to (0, 0, 0, 0) everywhere.
void ddsDecodeBc7Block(const uint8_t block[16], uint8_t *blockOrigin, ptrdiff_t rowStride);

#endif
