// Where PVRTC1 words lie in a level: the padded word grid, the reflected
// Morton order of its words, and reading a band of word rows as aligned
// square tiles, each contiguous in the level.

#include <cstring>

#include "pvrtc/pvrtc.h"

uint32_t ddsPvrtcGridSide(uint32_t pixels, uint32_t wordSide) {
    const uint32_t words = pixels / wordSide + (pixels % wordSide != 0 ? 1 : 0);
    return words < 2 ? 2 : words;
}

// The low bits of x and y interleave (y's bit first) as far as the smaller
// dimension has bits; the larger dimension's coordinate gives the rest.
uint32_t ddsPvrtcWordIndex(uint32_t x, uint32_t y, uint32_t gridWidth, uint32_t gridHeight) {
    const uint32_t smaller = gridWidth < gridHeight ? gridWidth : gridHeight;
    uint64_t index = 0;
    unsigned bit = 0;
    for (; bit < 31 && (1u << bit) < smaller; ++bit) {
        index |= uint64_t{(y >> bit) & 1u} << (2 * bit);
        index |= uint64_t{(x >> bit) & 1u} << (2 * bit + 1);
    }
    const uint32_t rest = gridWidth > gridHeight ? x : y;
    index |= uint64_t{rest >> bit} << (2 * bit);
    return static_cast<uint32_t>(index);
}

uint32_t ddsPvrtcBandRows(uint32_t gridWidth, uint32_t gridHeight, uint64_t maxBandBytes) {
    const uint32_t smaller = gridWidth < gridHeight ? gridWidth : gridHeight;
    uint32_t side = 1;
    while (side <= smaller / 2 && uint64_t{gridWidth} * side * 2 * 8 <= maxBandBytes) side *= 2;
    return side;
}

uint64_t ddsPvrtcTileOffset(uint32_t tileColumn, uint32_t firstRow, uint32_t side, uint32_t gridWidth,
                            uint32_t gridHeight) {
    return uint64_t{ddsPvrtcWordIndex(tileColumn * side, firstRow, gridWidth, gridHeight)} * 8;
}

// Inside a tile the order is the square Morton order of its side: column
// bits at the odd positions, row bits at the even ones.  The positions are
// stepped with masked increments ((m - mask) & mask adds one to the bits
// under the mask), not recomputed per word.
namespace {

constexpr uint32_t ColumnBits = 0xAAAAAAAAu, RowBits = 0x55555555u;

// A tile row's bits at the even positions.
uint32_t rowPart(uint32_t row) {
    uint32_t part = 0;
    for (unsigned bit = 0; bit < 16; ++bit) part |= ((row >> bit) & 1u) << (2 * bit);
    return part;
}

}  // namespace

void ddsPvrtcTileToRows(const uint8_t *tile, uint32_t side, uint32_t firstRow, uint32_t rowCount, uint8_t *rows,
                        size_t rowStride) {
    uint32_t row = rowPart(firstRow);
    for (uint32_t r = 0; r < rowCount; ++r, row = (row - RowBits) & RowBits) {
        uint8_t *out = rows + r * rowStride;
        uint32_t column = 0;
        for (uint32_t x = 0; x < side; ++x, column = (column - ColumnBits) & ColumnBits) {
            std::memcpy(out + size_t{x} * 8, tile + size_t{row | column} * 8, 8);
        }
    }
}

void ddsPvrtcTileRowSpan(uint32_t side, uint32_t row, uint32_t *first, uint32_t *last) {
    *first = rowPart(row);
    *last = rowPart(row) | (rowPart(side - 1) << 1);
}
