#include "top_level.h"

#include <algorithm>
#include <cstring>

#include "bc1_3/bc1_3.h"
#include "common/premultiplied.h"
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
void decodeBlockRow(const DdsLevelDecoder &level, const RowPlacement &rows, const uint8_t *source,
                    uint32_t sourceRow) {
    const DdsPlan &plan = *level.plan;
    const BlockShape shape = ddsBlockShape(plan.blocks);
    const uint32_t top = shape.height * sourceRow;
    const uint32_t rowsInside = std::min<uint32_t>(shape.height, plan.height - top);
    uint8_t *destinations[ddsMaxBlockSide] = {};
    for (uint32_t r = 0; r < rowsInside; ++r) destinations[r] = rows.row(top + r);

    uint32_t wholeBlocks = 0;
    if (rowsInside == shape.height) {
        wholeBlocks = std::min(plan.blocksPerRow, plan.width / shape.width);
        if (level.hdr != nullptr) {
            level.mappedKernel(*level.hdr, source, wholeBlocks, destinations);
        } else {
            level.kernel(source, wholeBlocks, destinations);
        }
    }
    for (uint32_t b = wholeBlocks; b < plan.blocksPerRow; ++b) {
        const uint32_t left = shape.width * b;
        ddsDecodeBlockInside(plan.blocks, source + size_t{b} * shape.bytes, destinations, size_t{left} * plan.pixelBytes,
                             std::min<uint32_t>(shape.width, plan.width - left), rowsInside, plan.pixelBytes, level.hdr);
    }
}

// A row of a pixel layout through its converter; a planar YUV source row
// (two luma rows, and their chroma row from `secondPlane`) makes two rows
// of the image.
void decodeLayoutRow(const DdsLevelDecoder &level, const RowPlacement &rows, const uint8_t *source,
                     const uint8_t *secondPlane, uint32_t sourceRow) {
    const bool planar = level.plan->secondPlaneRowBytes != 0;
    uint8_t *const destinations[2] = {rows.row(planar ? 2 * sourceRow : sourceRow),
                                      planar ? rows.row(2 * sourceRow + 1) : nullptr};
    level.layout.kernel(level.layout.state, source, secondPlane, level.plan->width, destinations);
}

// The cells of a cross, column and row, of the faces +X, -X, +Y, -Y, +Z,
// -Z: +Y above +Z, -Y below it, and -X, +Z, +X, -Z across the middle row.
constexpr uint32_t CrossColumn[ddsCubeFaces] = {2, 0, 1, 1, 1, 3};
constexpr uint32_t CrossRow[ddsCubeFaces] = {1, 1, 0, 2, 1, 1};

// The chunks of one image (a face of a cross).
uint32_t imageChunks(const DdsPlan &plan) {
    return plan.sourceRows / plan.rowsPerChunk + (plan.sourceRows % plan.rowsPerChunk != 0 ? 1 : 0);
}

// A cross: each face the file holds in its cell, every other cell
// (0, 0, 0, 0).  The empty cells of a row of cells that a face is in are
// cleared by that face's chunks, row by row as they decode it (on every
// decoding thread); a row of cells without a face is cleared now.
void placeCross(const DdsPlan &plan, uint8_t *pixels, bool reverseRows, DdsLevelDecoder *level) {
    const size_t stride = size_t{plan.outputWidth} * 4, cellBytes = size_t{plan.width} * 4;
    uint32_t filled[3] = {};  // bit c: a face fills column c of the row of cells
    for (uint32_t face = 0; face < ddsCubeFaces; ++face) {
        if ((plan.crossFaces >> face & 1) != 0) filled[CrossRow[face]] |= 1u << CrossColumn[face];
    }
    bool cleared[3] = {};  // a face of the row of cells clears its empty cells
    for (uint32_t part = 0; part < ddsFaceCount(plan.crossFaces); ++part) {
        const uint32_t face = ddsNthFace(plan.crossFaces, part), cellRow = CrossRow[face];
        level->rows[part] = RowPlacement{pixels + CrossColumn[face] * cellBytes, stride, plan.outputHeight,
                                         reverseRows, cellRow * plan.height};
        level->column[part] = CrossColumn[face];
        level->clearColumns[part] = cleared[cellRow] ? 0 : 0xFu & ~filled[cellRow];
        cleared[cellRow] = true;
    }
    const RowPlacement whole{pixels, stride, plan.outputHeight, reverseRows, 0};
    for (uint32_t y = 0; y < plan.outputHeight; ++y) {
        if (filled[y / plan.height] == 0) std::memset(whole.row(y), 0, stride);
    }
}

// The rows of the image, from *first to before *end, that chunk `index` of
// the image decodes.
void chunkImageRows(const DdsPlan &plan, uint32_t index, uint64_t *first, uint64_t *end) {
    const uint32_t perSourceRow = plan.format->coding == PixelCoding::Blocks ? ddsBlockShape(plan.blocks).height
                                  : plan.secondPlaneRowBytes != 0           ? 2u
                                                                            : 1u;
    *first = uint64_t{index} * plan.rowsPerChunk * perSourceRow;
    *end = std::min<uint64_t>(plan.height, *first + uint64_t{plan.rowsPerChunk} * perSourceRow);
}

// Clears the empty cells beside the rows of the face of `part` that chunk
// `index` decoded.
void clearBesideChunk(const DdsLevelDecoder &level, uint32_t part, uint32_t index) {
    const DdsPlan &plan = *level.plan;
    const uint32_t columns = level.clearColumns[part];
    if (columns == 0) return;
    uint64_t first = 0, end = 0;
    chunkImageRows(plan, index, &first, &end);
    const size_t cellBytes = size_t{plan.width} * 4;
    for (uint64_t y = first; y < end; ++y) {
        uint8_t *row = level.rows[part].row(static_cast<uint32_t>(y)) - level.column[part] * cellBytes;
        for (uint32_t column = 0; column < 4; ++column) {
            if ((columns >> column & 1) != 0) std::memset(row + column * cellBytes, 0, cellBytes);
        }
    }
}

// Premultiplied colour: undone in the rows that chunk `index` decoded, in
// the pixels the decode covers (the others keep what the buffer held).
void unpremultiplyChunk(const DdsPlan &plan, const RowPlacement &rows, uint32_t index) {
    uint64_t first = 0, end = 0;
    chunkImageRows(plan, index, &first, &end);
    for (uint64_t y = first; y < std::min<uint64_t>(end, plan.coveredHeight); ++y) {
        ddsUnpremultiplyRow(rows.row(static_cast<uint32_t>(y)), plan.coveredWidth);
    }
}

// The values of the plan's format that its choice maps: None unless an
// exposure or sRGB is asked for.
HdrValues mappedValues(const DdsPlan &plan) {
    if (plan.choice.exposure == 0 && !plan.choice.hdrSrgb) return HdrValues::None;
    return plan.format->coding == PixelCoding::Blocks ? ddsBlockHdrValues(plan.blocks) : ddsLayoutHdrValues(plan);
}

// A half-float or packed-float layout's image of at least as many pixels
// as the table has entries, imported without a preference: its values
// are looked up in a table of the plain rule's bytes, which is faster than
// converting each one and gives the same bytes.
bool halvesLookedUp(const DdsPlan &plan) {
    return plan.format->coding != PixelCoding::Blocks && ddsLayoutHdrValues(plan) == HdrValues::Halves &&
           uint64_t{plan.width} * plan.height >= ddsHdrEntries;
}

// The block kernel of the rows of whole blocks (none for PVRTC1's words,
// which pvrtc_bands decodes), or the layout's row converter, chosen once
// an image for the format, the host's pixel size and the processor; the
// mapped one, with the image's table, where the choice maps values or the
// plain rule's bytes are looked up.
void chooseRowDecoder(const DdsPlan &plan, DdsLevelDecoder *level) {
    level->kernel = nullptr;
    level->mappedKernel = nullptr;
    level->hdr = nullptr;
    const HdrValues values = mappedValues(plan);
    if (values != HdrValues::None) {
        ddsBuildHdrTable(plan.choice.exposure, plan.choice.hdrSrgb, values, &level->hdrTable);
        level->hdr = &level->hdrTable;
    } else if (halvesLookedUp(plan)) {
        ddsBuildPlainHalfTable(&level->hdrTable);
        level->hdr = &level->hdrTable;
    }
    const int pixelBytes = static_cast<int>(plan.pixelBytes);
    if (plan.format->coding != PixelCoding::Blocks) {
        ddsLayoutConverter(plan, &level->layout, level->hdr);
    } else if (level->hdr != nullptr) {
        level->mappedKernel = ddsMappedBlockRowKernel(plan.blocks, pixelBytes);
    } else if (plan.format->rows != RowLayout::WordGrid) {
        level->kernel = ddsBlockRowKernel(plan.blocks, pixelBytes);
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
    if (plan.cross) {
        placeCross(plan, pixels, reverseRows, level);
        return true;
    }
    level->rows[0] = RowPlacement{pixels, static_cast<size_t>(plan.width) * plan.pixelBytes, plan.height, reverseRows, 0};
    placeUncoveredPixels(plan, level->rows[0]);
    return true;
}

uint32_t ddsChunkCount(const DdsPlan &plan) {
    return imageChunks(plan) * (plan.cross ? ddsFaceCount(plan.crossFaces) : 1);
}

bool ddsReadChunk(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk) {
    if (plan.cross) {
        // The face's image, planned alike, where it starts.
        DdsPlan face = plan;
        face.cross = false;
        face.dataOffset = plan.faceOffsets[ddsNthFace(plan.crossFaces, index / imageChunks(plan))];
        face.secondPlaneOffset += face.dataOffset - plan.dataOffset;
        return ddsReadChunk(source, face, index % imageChunks(plan), chunk);
    }
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
    const uint32_t part = index / imageChunks(plan);
    const RowPlacement &rows = level.rows[part];
    index %= imageChunks(plan);
    if (plan.cross) clearBesideChunk(level, part, index);
    if (plan.format->rows == RowLayout::WordGrid) {
        ddsDecodePvrtcBand(plan, rows, index, chunk);
        return;  // PVRTC1 has no DX10 format, so no alpha mode: never premultiplied
    }
    const uint32_t first = index * plan.rowsPerChunk;
    const uint32_t count = std::min(plan.rowsPerChunk, plan.sourceRows - first);
    // With rows reversed, the chunk's last row lands lowest in the buffer:
    // decoding from it fills the chunk's part of the buffer upwards, as
    // memory is fastest written.
    const size_t firstPlaneBytes = plan.sourceRowBytes - plan.secondPlaneRowBytes;
    const uint8_t *secondPlane = chunk + count * firstPlaneBytes;
    const bool blocks = plan.format->coding == PixelCoding::Blocks;
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t i = rows.reverse ? count - 1 - n : n;
        if (blocks) {
            decodeBlockRow(level, rows, chunk + i * firstPlaneBytes, first + i);
        } else {
            decodeLayoutRow(level, rows, chunk + i * firstPlaneBytes, secondPlane + size_t{i} * plan.secondPlaneRowBytes, first + i);
        }
    }
    if (plan.unpremultiply) unpremultiplyChunk(plan, rows, index);
}

bool ddsChunkFitsType(const DdsPlan &plan, uint32_t index, const uint8_t *chunk) {
    if (!plan.confirmType) return true;
    const uint32_t first = index * plan.rowsPerChunk;
    return !ddsBc1RowsHaveTransparency(plan, chunk, first, std::min(plan.rowsPerChunk, plan.sourceRows - first));
}
