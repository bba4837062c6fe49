#include "top_level.h"

#include <algorithm>
#include <cstring>

#include "bc1_3/bc1_3.h"
#include "pvrtc_bands.h"

namespace {

// The pixels that the decode does not cover: columns from coveredWidth on,
// and rows from coveredHeight on.  An Rgb image gets them as zeros.  An
// Rgba image keeps them; when rows are reversed, they are swapped with
// their mirror rows now, before decoding, which leaves them where a flip of
// the whole buffer after decoding would: a pixel whose mirror is decoded is
// overwritten by the decoder anyway.
void placeUncoveredPixels(const DdsPlan &image, const RowPlacement &rows) {
    if (image.coveredWidth == image.width && image.coveredHeight == image.height) return;
    const size_t stripOffset = size_t{image.coveredWidth} * image.pixelBytes;
    const size_t stripBytes = rows.stride - stripOffset;
    if (image.type == TextureType::Rgb) {
        for (uint32_t y = 0; y < image.height; ++y) {
            if (y >= image.coveredHeight) {
                std::memset(rows.row(y), 0, rows.stride);
            } else {
                std::memset(rows.row(y) + stripOffset, 0, stripBytes);
            }
        }
        return;
    }
    if (!rows.reverse) return;
    for (uint32_t top = 0; top < image.height / 2; ++top) {
        const uint32_t bottom = image.height - 1 - top;
        uint8_t *a = rows.pixels + static_cast<size_t>(top) * rows.stride;
        uint8_t *b = rows.pixels + static_cast<size_t>(bottom) * rows.stride;
        if (bottom >= image.coveredHeight) {
            std::swap_ranges(a, a + rows.stride, b);
        } else {
            std::swap_ranges(a + stripOffset, a + rows.stride, b + stripOffset);
        }
    }
}

// A row of blocks: the whole blocks of a row that lies wholly inside the
// image through the block kernel, the blocks that cross the right or the
// bottom edge one at a time, clipped.
void decodeBlockRow(const DdsLevelDecoder &level, const uint8_t *source, uint32_t sourceRow) {
    const DdsPlan &plan = *level.plan;
    const BlockShape shape = ddsBlockShape(plan.blocks);
    const uint32_t top = shape.height * sourceRow;
    const uint32_t rowsInside = std::min<uint32_t>(shape.height, plan.height - top);
    uint8_t *destinations[ddsMaxBlockSide] = {};
    for (uint32_t r = 0; r < rowsInside; ++r) destinations[r] = level.rows.row(top + r);

    uint32_t wholeBlocks = 0;
    if (rowsInside == shape.height) {
        wholeBlocks = std::min(plan.blocksPerRow, plan.width / shape.width);
        level.kernel(source, wholeBlocks, destinations);
    }
    for (uint32_t b = wholeBlocks; b < plan.blocksPerRow; ++b) {
        const uint32_t left = shape.width * b;
        ddsDecodeBlockInside(plan.blocks, source + size_t{b} * shape.bytes, destinations, size_t{left} * plan.pixelBytes,
                             std::min<uint32_t>(shape.width, plan.width - left), rowsInside, plan.pixelBytes);
    }
}

// A row of a pixel layout through its converter; a planar YUV source row
// (two luma rows, and their chroma row from `secondPlane`) makes two rows
// of the image.
void decodeLayoutRow(const DdsLevelDecoder &level, const uint8_t *source, const uint8_t *secondPlane,
                     uint32_t sourceRow) {
    const bool planar = level.plan->secondPlaneRowBytes != 0;
    uint8_t *const rows[2] = {level.rows.row(planar ? 2 * sourceRow : sourceRow),
                              planar ? level.rows.row(2 * sourceRow + 1) : nullptr};
    level.layout.kernel(level.layout.state, source, secondPlane, level.plan->width, rows);
}

void decodeSourceRow(const DdsLevelDecoder &level, const uint8_t *source, const uint8_t *secondPlane,
                     uint32_t sourceRow) {
    if (level.plan->format->coding == PixelCoding::Blocks) {
        decodeBlockRow(level, source, sourceRow);
    } else {
        decodeLayoutRow(level, source, secondPlane, sourceRow);
    }
}

// The block kernel of the rows of whole blocks (none for PVRTC1's words,
// which pvrtc_bands decodes), or the layout's row converter, chosen once
// an image for the format, the host's pixel size and the processor.
void chooseRowDecoder(const DdsPlan &plan, DdsLevelDecoder *level) {
    level->kernel = nullptr;
    if (plan.format->coding != PixelCoding::Blocks) {
        ddsLayoutConverter(plan, &level->layout);
    } else if (plan.format->rows != RowLayout::WordGrid) {
        level->kernel = ddsBlockRowKernel(plan.blocks, static_cast<int>(plan.pixelBytes));
    }
}

}  // namespace

bool ddsStartLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows,
                   DdsLevelDecoder *level) {
    level->plan = &plan;
    chooseRowDecoder(plan, level);
    if (plan.format->coding == PixelCoding::Palette &&
        !ddsReadPalette(source, plan.paletteOffset, &level->layout.state.palette)) {
        return false;
    }
    level->rows = RowPlacement{pixels, static_cast<size_t>(plan.width) * plan.pixelBytes, plan.height, reverseRows};
    placeUncoveredPixels(plan, level->rows);
    return true;
}

uint32_t ddsChunkCount(const DdsPlan &plan) {
    return plan.sourceRows / plan.rowsPerChunk + (plan.sourceRows % plan.rowsPerChunk != 0 ? 1 : 0);
}

bool ddsReadChunk(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk) {
    if (plan.format->rows == RowLayout::WordGrid) return ddsReadPvrtcBand(source, plan, index, chunk);
    const uint32_t first = index * plan.rowsPerChunk;
    const uint32_t count = std::min(plan.rowsPerChunk, plan.sourceRows - first);
    const uint32_t firstPlaneBytes = plan.sourceRowBytes - plan.secondPlaneRowBytes;
    const uint64_t offset = plan.dataOffset + uint64_t{first} * firstPlaneBytes;
    if (!ddsRead(source, offset, chunk, static_cast<size_t>(count) * firstPlaneBytes)) return false;
    if (plan.secondPlaneRowBytes == 0) return true;
    return ddsRead(source, plan.secondPlaneOffset + uint64_t{first} * plan.secondPlaneRowBytes,
                   chunk + static_cast<size_t>(count) * firstPlaneBytes,
                   static_cast<size_t>(count) * plan.secondPlaneRowBytes);
}

void ddsDecodeChunk(const DdsLevelDecoder &level, uint32_t index, uint8_t *chunk) {
    const DdsPlan &plan = *level.plan;
    if (plan.format->rows == RowLayout::WordGrid) {
        ddsDecodePvrtcBand(plan, level.rows, index, chunk);
        return;
    }
    const uint32_t first = index * plan.rowsPerChunk;
    const uint32_t count = std::min(plan.rowsPerChunk, plan.sourceRows - first);
    // With rows reversed, the chunk's last row lands lowest in the buffer:
    // decoding from it fills the chunk's part of the buffer upwards, as
    // memory is fastest written.
    const size_t firstPlaneBytes = plan.sourceRowBytes - plan.secondPlaneRowBytes;
    const uint8_t *secondPlane = chunk + count * firstPlaneBytes;
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t i = level.rows.reverse ? count - 1 - n : n;
        decodeSourceRow(level, chunk + i * firstPlaneBytes, secondPlane + size_t{i} * plan.secondPlaneRowBytes,
                        first + i);
    }
}

bool ddsChunkFitsType(const DdsPlan &plan, uint32_t index, const uint8_t *chunk) {
    if (!plan.confirmType) return true;
    const uint32_t first = index * plan.rowsPerChunk;
    return !ddsBc1RowsHaveTransparency(plan, chunk, first, std::min(plan.rowsPerChunk, plan.sourceRows - first));
}
