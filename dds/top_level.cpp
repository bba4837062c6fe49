#include "top_level.h"

#include <algorithm>
#include <cstring>

#include "bc1_3/bc1_3.h"
#include "masks/masks.h"
#include "pvrtc_bands.h"
#include "wide/fields.h"
#include "wide/wide.h"
#include "yuv/yuv.h"

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

// Decodes one block and copies its pixels inside the image, `columns` x
// `rows` of them, to their places.
void decodeClippedBlock(const DdsPlan &plan, const uint8_t *block, uint8_t *const *destinations, size_t column,
                        uint32_t columns, uint32_t rows) {
    const BlockShape shape = ddsBlockShape(plan.blocks);
    uint8_t decoded[ddsMaxBlockSide * ddsMaxBlockSide * 4];
    ddsDecodeBlock(plan.blocks, block, decoded, shape.width * 4);
    for (uint32_t r = 0; r < rows; ++r) {
        uint8_t *destination = destinations[r] + column * plan.pixelBytes;
        for (uint32_t c = 0; c < columns; ++c) {
            std::memcpy(destination + c * plan.pixelBytes, decoded + (shape.width * r + c) * 4, plan.pixelBytes);
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
        decodeClippedBlock(plan, source + static_cast<size_t>(b) * shape.bytes, destinations, left,
                           std::min<uint32_t>(shape.width, plan.width - left), rowsInside);
    }
}

// Pixels per piece of a row converted on the stack before it is packed to
// three bytes a pixel.
constexpr uint32_t PiecePixels = 256;

// A row of pixels: converted straight into an Rgba row, or piece by piece
// through the stack and packed for an Rgb one.
void decodePixelRow(const DdsLevelDecoder &level, const uint8_t *source, uint8_t *destination) {
    const DdsPlan &plan = *level.plan;
    const bool wide = plan.format->coding == PixelCoding::Wide;
    auto convert = [&](const uint8_t *pixels, uint32_t count, uint8_t *rgba) {
        if (wide) {
            ddsConvertWideRow(plan.format->wide, pixels, count, rgba);
        } else {
            ddsConvertRowPrepared(level.converter, pixels, count, rgba);
        }
    };
    if (plan.type == TextureType::Rgba) {
        convert(source, plan.width, destination);
        return;
    }
    uint8_t rgba[PiecePixels * 4];
    const uint32_t sourcePixelBytes = plan.sourceRowBytes / plan.width;
    for (uint32_t x = 0; x < plan.width; x += PiecePixels) {
        const uint32_t count = std::min(PiecePixels, plan.width - x);
        convert(source + static_cast<size_t>(x) * sourcePixelBytes, count, rgba);
        uint8_t *out = destination + static_cast<size_t>(x) * 3;
        for (uint32_t i = 0; i < count; ++i) std::memcpy(out + 3 * i, rgba + 4 * i, 3);
    }
}

// A row of the layouts whose converters write the host's pixel size
// themselves; a planar YUV source row (two luma rows and their chroma row,
// from `secondPlane`) makes two rows of the image.
void decodeLayoutRow(const DdsLevelDecoder &level, const uint8_t *source, const uint8_t *secondPlane,
                     uint32_t sourceRow) {
    const DdsPlan &plan = *level.plan;
    const DdsFormat &format = *plan.format;
    uint8_t *destination = level.rows.row(sourceRow);
    switch (format.coding) {
        case PixelCoding::Fields:
            ddsConvertFieldRow(plan.fields, source, plan.width, destination, plan.pixelBytes);
            break;
        case PixelCoding::Bits: ddsConvertBitRow(source, plan.width, destination, plan.pixelBytes); break;
        case PixelCoding::Palette:
            ddsConvertPaletteRow(format.palette, level.palette, source, plan.width, destination);
            break;
        default:
            if (ddsYuvIsPlanar(format.yuv)) {
                ddsConvertYuvPlanes(format.yuv, source, secondPlane, plan.width, level.rows.row(2 * sourceRow),
                                    level.rows.row(2 * sourceRow + 1));
            } else {
                ddsConvertYuvRow(format.yuv, source, plan.width, destination, plan.pixelBytes);
            }
            break;
    }
}

void decodeSourceRow(const DdsLevelDecoder &level, const uint8_t *source, const uint8_t *secondPlane,
                     uint32_t sourceRow) {
    switch (level.plan->format->coding) {
        case PixelCoding::Blocks: decodeBlockRow(level, source, sourceRow); break;
        case PixelCoding::Masks:
        case PixelCoding::Wide: decodePixelRow(level, source, level.rows.row(sourceRow)); break;
        default: decodeLayoutRow(level, source, secondPlane, sourceRow); break;
    }
}

}  // namespace

bool ddsStartLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows,
                   DdsLevelDecoder *level) {
    level->plan = &plan;
    if (plan.format->coding == PixelCoding::Palette && !ddsReadPalette(source, plan.paletteOffset, &level->palette)) {
        return false;
    }
    level->kernel = plan.format->coding == PixelCoding::Blocks
                        ? ddsBlockRowKernel(plan.blocks, static_cast<int>(plan.pixelBytes))
                        : nullptr;
    // Uncompressed pixels go through a converter prepared once for the
    // image: its method and tables depend on the masks only.
    if (plan.format->coding == PixelCoding::Masks) {
        ddsPrepareConverter(ddsPrepareUncompressed(plan.pixels),
                            static_cast<uint64_t>(plan.width) * plan.height, &level->converter);
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

bool ddsDecodeTopLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *chunk, uint8_t *pixels,
                       bool reverseRows) {
    DdsLevelDecoder level;
    if (!ddsStartLevel(source, plan, pixels, reverseRows, &level)) return false;
    const uint32_t chunks = ddsChunkCount(plan);
    for (uint32_t index = 0; index < chunks; ++index) {
        if (!ddsReadChunk(source, plan, index, chunk) || !ddsChunkFitsType(plan, index, chunk)) return false;
        ddsDecodeChunk(level, index, chunk);
    }
    return true;
}
