// PVRTC1 levels read and decoded in bands of word rows, each band on its
// own, so that bands can be decoded on several threads like chunks of
// block rows.
//
// A PVRTC1 pixel blends the words around it, which wrap around the word
// grid, and the words are stored in Morton order.  A band is `side` word
// rows from a multiple of `side` (plan.rowsPerChunk, a power of two): its
// aligned square tiles of side x side words are each one contiguous range
// of the level.  The chunk holds the band in linear word rows between the
// word row above it and the one below it (both wrapped around the grid),
// which are read from the tiles of the bands above and below, and then
// one tile, into which each tile is read before its words are put in
// place; for an image lower than a word, one pixel row more takes the
// pixel rows below the image.
#ifndef DDS_PVRTC_BANDS_H
#define DDS_PVRTC_BANDS_H

#include <cstdint>

#include "plan.h"
#include "source.h"
#include "top_level.h"

// The bytes of the chunk of a band of `side` word rows of a planned PVRTC1
// level.
uint64_t ddsPvrtcChunkBytes(const DdsPlan &plan, uint32_t side);

// Reads band `index` (word rows index * side on) and its two neighbour rows
// into `chunk` (plan.chunkBytes bytes); false when a read fails.
bool ddsReadPvrtcBand(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk);

// Decodes the word rows of band `index` that hold the image, read into
// `chunk`, into their pixel rows.
void ddsDecodePvrtcBand(const DdsPlan &plan, const RowPlacement &rows, uint32_t index, uint8_t *chunk);

#endif
