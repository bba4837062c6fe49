// The fast implementations behind ddsDecodeBlockRow and the uncompressed
// converter, each reachable on its own so that the tests can hold every one
// of them to the plain decoders byte for byte.
#ifndef DDS_FAST_PATHS_H
#define DDS_FAST_PATHS_H

#include <cstdint>

#include "formats.h"

// ddsDecodeBlockRow in portable C++: palette words looked up per pixel and
// stored four (or, packed, three) 32-bit words a row of a block.
void ddsDecodeBlockRowWords(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                            uint8_t *const rows[4], int bytesPerPixel);

// ddsDecodeBlockRow with SSE2.  Returns false, writing nothing, when the
// build has no SSE2 or the format or pixel size is not one it handles.
// ddsDecodeBlockRow runs the widest of these that the processor has, or
// else ddsDecodeBlockRowWords.
bool ddsDecodeBlockRowSse2(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                           uint8_t *const rows[4], int bytesPerPixel);

// ddsDecodeBlockRow with SSSE3 byte shuffles.  Returns false, writing
// nothing, when the build or the processor has no SSSE3 or the format or
// pixel size is not one it handles.
bool ddsDecodeBlockRowSsse3(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                            uint8_t *const rows[4], int bytesPerPixel);

// BC7 and BC6H rows (bptc_fast.cpp): the portable kernel, and the one
// whose palettes are interpolated with SSE2.  Each returns false, writing
// nothing, for another format or pixel size (and the SSE2 one in a build
// without SSE2).
bool ddsDecodeBptcRowWords(BlockFormat format, const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4],
                           int bytesPerPixel);
bool ddsDecodeBptcRowSse2(BlockFormat format, const uint8_t *blocks, uint32_t blockCount, uint8_t *const rows[4],
                          int bytesPerPixel);

#endif
