#include "pvrtc_bands.h"

#include <algorithm>

#include "pvrtc/pvrtc.h"

namespace {

// Where the parts of a band's chunk lie.
struct BandLayout {
    uint32_t gridWidth, gridHeight, side;
    size_t rowBytes;

    explicit BandLayout(const DdsPlan &plan)
        : gridWidth(plan.blocksPerRow), gridHeight(ddsPvrtcGridHeight(plan.height)), side(plan.rowsPerChunk),
          rowBytes(plan.sourceRowBytes) {}

    // Linear word row i: 0 the row above the band, 1 to side the band,
    // side + 1 the row below.
    size_t row(uint32_t i) const { return i * rowBytes; }
    size_t tile() const { return row(side + 2); }
    size_t spareRow() const { return tile() + size_t{side} * side * 8; }
};

// Reads word rows `from` to `from + count - 1` of the tiles of the band from
// word row `firstRow` into linear word rows of the chunk from `to` on: of
// each tile the words from the first of those rows to the last of them
// (the whole tile for all its rows), in one read.
bool readTileRows(const DdsSource &source, const DdsPlan &plan, const BandLayout &band, uint32_t firstRow,
                  uint32_t from, uint32_t count, uint8_t *chunk, uint32_t to) {
    uint32_t first = 0, last = 0, unused = 0;
    ddsPvrtcTileRowSpan(band.side, from, &first, &unused);
    ddsPvrtcTileRowSpan(band.side, from + count - 1, &unused, &last);
    uint8_t *tile = chunk + band.tile();
    for (uint32_t t = 0; t < band.gridWidth / band.side; ++t) {
        const uint64_t offset = ddsPvrtcTileOffset(t, firstRow, band.side, band.gridWidth, band.gridHeight);
        if (!ddsRead(source, plan.dataOffset + offset + uint64_t{first} * 8, tile + size_t{first} * 8,
                     size_t{last - first + 1} * 8)) {
            return false;
        }
        ddsPvrtcTileToRows(tile, band.side, from, count, chunk + band.row(to) + size_t{t} * band.side * 8,
                           band.rowBytes);
    }
    return true;
}

}  // namespace

uint64_t ddsPvrtcChunkBytes(const DdsPlan &plan, uint32_t side) {
    // PVRTC1 images are Rgba: four bytes a pixel.
    const uint64_t spareRow = plan.height < 4 ? uint64_t{plan.width} * 4 : 0;
    return (uint64_t{side} + 2) * plan.sourceRowBytes + uint64_t{side} * side * 8 + spareRow;
}

bool ddsReadPvrtcBand(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk) {
    const BandLayout band(plan);
    const uint32_t first = index * band.side;
    // The grid wraps: above the first band lies the last, below the last the first.
    const uint32_t above = (first + band.gridHeight - band.side) % band.gridHeight;
    const uint32_t below = (first + band.side) % band.gridHeight;
    return readTileRows(source, plan, band, first, 0, band.side, chunk, 1) &&
           readTileRows(source, plan, band, above, band.side - 1, 1, chunk, 0) &&
           readTileRows(source, plan, band, below, 0, 1, chunk, band.side + 1);
}

void ddsDecodePvrtcBand(const DdsPlan &plan, const RowPlacement &rows, uint32_t index, uint8_t *chunk) {
    const BandLayout band(plan);
    const uint32_t first = index * band.side;
    const uint32_t count = std::min(band.side, plan.sourceRows - first);
    const bool twoBits = plan.blocks == BlockFormat::Pvrtc2;
    for (uint32_t n = 0; n < count; ++n) {
        // With rows reversed, from the band's last word row: the buffer fills upwards.
        const uint32_t i = rows.reverse ? count - 1 - n : n;
        const uint32_t top = 4 * (first + i);
        uint8_t *pixelRows[4];
        for (uint32_t r = 0; r < 4; ++r) {
            pixelRows[r] = top + r < plan.height ? rows.row(top + r) : chunk + band.spareRow();
        }
        ddsDecodePvrtcWordRow(chunk + band.row(i), chunk + band.row(i + 1), chunk + band.row(i + 2), band.gridWidth,
                              twoBits, pixelRows, plan.width, static_cast<int>(plan.pixelBytes));
    }
}
