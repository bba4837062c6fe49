// PVRTC1 levels at 4 and 2 bits a pixel, decoded to RGBA.
//
// A level is a grid of 8-byte words: 32 bits of modulation data, then 32
// bits of colour data, both little-endian.  A word covers 4 x 4 pixels at
// 4 bits a pixel and 8 x 4 at 2.  The grid is max(ceil(w / ww), 2) words
// across and max(ceil(h / 4), 2) down (ww the word's width in pixels), and
// the words are stored in reflected Morton order over that whole grid: the
// bits of a word's column and row interleaved, the row's bit the lower of
// each pair, and the larger dimension's remaining high bits above them.
// Width and height are powers of two, so both grid dimensions are too.
//
// Each word holds two low-resolution colours, A and B.  Every pixel takes
// A and B bilinearly interpolated from the four words whose centres
// surround it (the grid wraps around at every edge) and blends them by its
// modulation weight m (eighths): (A (8 - m) + B m) / 8 per channel.  The
// image is the grid's top-left w x h pixels.
//
// An importer that streams a level in bands of word rows reads each band
// as aligned square tiles of words, each contiguous in the file (see
// ddsPvrtcTileOffset), puts their words into linear word rows
// (ddsPvrtcTileToRows) and decodes one word row at a time from it and its
// neighbours (ddsDecodePvrtcWordRow).  The grid wraps: the row above the
// first word row is the last one, and the row below the last is the
// first; a band's two neighbour rows are read from the tiles above and
// below it, so that every band decodes on its own.
#ifndef DDS_PVRTC_H
#define DDS_PVRTC_H

#include <cstddef>
#include <cstdint>

#include "common/kernels.h"

// Pixels a word covers across (it is always 4 pixels tall).
inline uint32_t ddsPvrtcWordWidth(bool twoBitsPerPixel) { return twoBitsPerPixel ? 8u : 4u; }

// The words of the grid along a side of `pixels` pixels, `wordSide` pixels
// a word: max(ceil(pixels / wordSide), 2).  An image's grid is
// ddsPvrtcGridWidth words across and ddsPvrtcGridHeight down, 8 bytes a
// word.
uint32_t ddsPvrtcGridSide(uint32_t pixels, uint32_t wordSide);
inline uint32_t ddsPvrtcGridWidth(uint32_t width, bool twoBitsPerPixel) {
    return ddsPvrtcGridSide(width, ddsPvrtcWordWidth(twoBitsPerPixel));
}
inline uint32_t ddsPvrtcGridHeight(uint32_t height) { return ddsPvrtcGridSide(height, 4); }

// The position in the level (in words) of word (x, y) of a grid whose
// dimensions are powers of two.
uint32_t ddsPvrtcWordIndex(uint32_t x, uint32_t y, uint32_t gridWidth, uint32_t gridHeight);

// Banded reading.  An aligned square tile of side s words (s a power of two
// no larger than either grid dimension; aligned: its first row and column
// are multiples of s) is s * s consecutive words of the level.  A band of s
// word rows from row `firstRow` (a multiple of s) is the gridWidth / s
// tiles across it.
//
// ddsPvrtcBandRows: the largest such s whose band (gridWidth * s words) fits
// `maxBandBytes`, at least 1.
uint32_t ddsPvrtcBandRows(uint32_t gridWidth, uint32_t gridHeight, uint64_t maxBandBytes);

// The byte offset in the level of tile `tileColumn` of the band from word
// row `firstRow`; the tile is side * side * 8 bytes long.
uint64_t ddsPvrtcTileOffset(uint32_t tileColumn, uint32_t firstRow, uint32_t side, uint32_t gridWidth,
                            uint32_t gridHeight);

// Copies rows firstRow to firstRow + rowCount - 1 of an aligned tile of
// side `side` (its side * side words in their stored order at `tile`) into
// linear word rows: word x of the tile's row firstRow + r to rows + r *
// rowStride + x * 8.  Reads only the words of those rows.
void ddsPvrtcTileToRows(const uint8_t *tile, uint32_t side, uint32_t firstRow, uint32_t rowCount, uint8_t *rows,
                        size_t rowStride);

// The words of tile row `row` lie between positions (in words from the
// tile's start) *first and *last, both included.
void ddsPvrtcTileRowSpan(uint32_t side, uint32_t row, uint32_t *first, uint32_t *last);

// Decodes word row y into its four pixel rows, rows[0 .. 3], given word
// rows y - 1, y and y + 1 (`above`, `row`, `below`: each gridWidth words
// in linear order; the caller wraps the rows around the grid, this wraps
// the columns; gridWidth is at least 1).  Writes `pixelColumns` pixels (at
// most gridWidth times the word width) of each row at `bytesPerPixel` 4
// (R, G, B, A) or 3 (R, G, B), and nothing past them.
void ddsDecodePvrtcWordRow(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                           bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns, int bytesPerPixel);

// The same with one tier chosen (KernelTier::Portable or Ssse3), for the
// tests and measurements: false, writing nothing, where this build or
// processor lacks it (or for another tier or pixel size).
bool ddsDecodePvrtcWordRowTier(KernelTier tier, const uint8_t *above, const uint8_t *row, const uint8_t *below,
                               uint32_t gridWidth, bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns,
                               int bytesPerPixel);

// The whole image, pixel by pixel from the Morton-ordered level (its
// grid's words): width * height RGBA pixels, rows top to bottom.  The plain decoder that the banded path is held to.
void ddsDecodePvrtcImage(const uint8_t *level, uint32_t width, uint32_t height, bool twoBitsPerPixel,
                         uint8_t *rgba);

#endif
