#include "top_level.h"

#include <algorithm>
#include <cstring>

#include "blocks.h"
#include "uncompressed.h"
#include "wide_pixels.h"

namespace {

// The pixels that no whole block covers: columns from coveredWidth on, and
// rows from coveredHeight on.  An Rgb image gets them as zeros.  An Rgba
// image keeps them; when rows are reversed, they are swapped with their
// mirror rows now, before decoding, which leaves them where a flip of the
// whole buffer after decoding would: a pixel whose mirror is decoded is
// overwritten by the decoder anyway.
void placeUncoveredPixels(const DdsPlan &image, const RowPlacement &rows) {
    // Pixels are all decoded when the partial blocks are, and always.
    if (image.partialBlocks || image.format->coding != CodingBlocks) return;
    const uint32_t coveredWidth = image.width / 4 * 4;
    const uint32_t coveredHeight = image.height / 4 * 4;
    if (coveredWidth == image.width && coveredHeight == image.height) return;

    const size_t bytesPerPixel = ddsBytesPerPixel(image.type);
    const size_t stripOffset = coveredWidth * bytesPerPixel;
    const size_t stripBytes = rows.stride - stripOffset;
    if (image.type == Rgb) {
        for (uint32_t y = 0; y < image.height; ++y) {
            if (y >= coveredHeight) {
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
        if (bottom >= coveredHeight) {
            std::swap_ranges(a, a + rows.stride, b);
        } else {
            std::swap_ranges(a + stripOffset, a + rows.stride, b + stripOffset);
        }
    }
}

constexpr int BlockSide = 4;

// Decodes one block and copies its pixels inside the image, `columns` x
// `rows` of them, to their places.
void decodeClippedBlock(const DdsPlan &plan, const uint8_t *block, uint8_t *const destinations[4], size_t column,
                        uint32_t columns, uint32_t rows) {
    uint8_t decoded[BlockSide * BlockSide * 4];
    ddsDecodeBlock(plan.blocks, block, decoded, BlockSide * 4);
    const size_t bytesPerPixel = ddsBytesPerPixel(plan.type);
    for (uint32_t r = 0; r < rows; ++r) {
        uint8_t *destination = destinations[r] + column * bytesPerPixel;
        for (uint32_t c = 0; c < columns; ++c) {
            std::memcpy(destination + c * bytesPerPixel, decoded + (BlockSide * r + c) * 4, bytesPerPixel);
        }
    }
}

// A row of blocks: the whole blocks of a row that lies wholly inside the
// image through the block kernel, the blocks that cross the right or the
// bottom edge one at a time, clipped.
void decodeBlockRow(const DdsPlan &plan, const uint8_t *source, uint32_t sourceRow, const RowPlacement &rows) {
    const uint32_t top = BlockSide * sourceRow;
    const uint32_t rowsInside = std::min<uint32_t>(BlockSide, plan.height - top);
    uint8_t *destinations[BlockSide] = {};
    for (uint32_t r = 0; r < rowsInside; ++r) destinations[r] = rows.row(top + r);

    uint32_t wholeBlocks = 0;
    if (rowsInside == BlockSide) {
        wholeBlocks = std::min(plan.blocksPerRow, plan.width / BlockSide);
        ddsDecodeBlockRow(plan.blocks, source, wholeBlocks, destinations,
                          static_cast<int>(ddsBytesPerPixel(plan.type)));
    }
    const uint32_t blockBytes = plan.format->unitBytes;
    for (uint32_t b = wholeBlocks; b < plan.blocksPerRow; ++b) {
        const uint32_t left = BlockSide * b;
        decodeClippedBlock(plan, source + static_cast<size_t>(b) * blockBytes, destinations, left,
                           std::min<uint32_t>(BlockSide, plan.width - left), rowsInside);
    }
}

// Pixels per piece of a row converted on the stack before it is packed to
// three bytes a pixel.
constexpr uint32_t PiecePixels = 256;

// A row of pixels: converted straight into an Rgba row, or piece by piece
// through the stack and packed for an Rgb one.
void decodePixelRow(const DdsPlan &plan, const UncompressedConverter &converter, const uint8_t *source,
                    uint8_t *destination) {
    const bool wide = plan.format->coding == CodingWide;
    if (plan.type == Rgba) {
        if (wide) {
            ddsConvertWideRow(plan.format->wide, source, plan.width, destination);
        } else {
            ddsConvertRowPrepared(converter, source, plan.width, destination);
        }
        return;
    }
    uint8_t rgba[PiecePixels * 4];
    const uint32_t pixelBytes = plan.sourceRowBytes / plan.width;
    for (uint32_t x = 0; x < plan.width; x += PiecePixels) {
        const uint32_t count = std::min(PiecePixels, plan.width - x);
        const uint8_t *piece = source + static_cast<size_t>(x) * pixelBytes;
        if (wide) {
            ddsConvertWideRow(plan.format->wide, piece, count, rgba);
        } else {
            ddsConvertRowPrepared(converter, piece, count, rgba);
        }
        uint8_t *out = destination + static_cast<size_t>(x) * 3;
        for (uint32_t i = 0; i < count; ++i) std::memcpy(out + 3 * i, rgba + 4 * i, 3);
    }
}

void decodeSourceRow(const DdsPlan &plan, const UncompressedConverter &converter, const uint8_t *source,
                     uint32_t sourceRow, const RowPlacement &rows) {
    if (plan.format->coding == CodingBlocks) {
        decodeBlockRow(plan, source, sourceRow, rows);
    } else {
        decodePixelRow(plan, converter, source, rows.row(sourceRow));
    }
}

}  // namespace

void ddsStartLevel(const DdsPlan &plan, uint8_t *pixels, bool reverseRows, DdsLevelDecoder *level) {
    level->plan = &plan;
    // Uncompressed pixels go through a converter prepared once for the
    // image: its method and tables depend on the masks only.
    if (plan.format->coding == CodingMasks) {
        ddsPrepareConverter(ddsPrepareUncompressed(plan.pixels),
                            static_cast<uint64_t>(plan.width) * plan.height, &level->converter);
    }
    level->rows = RowPlacement{pixels, static_cast<size_t>(plan.width) * ddsBytesPerPixel(plan.type), plan.height,
                               reverseRows};
    placeUncoveredPixels(plan, level->rows);
}

uint32_t ddsChunkCount(const DdsPlan &plan) {
    return plan.sourceRows / plan.rowsPerChunk + (plan.sourceRows % plan.rowsPerChunk != 0 ? 1 : 0);
}

bool ddsReadChunk(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk) {
    const uint32_t first = index * plan.rowsPerChunk;
    const uint32_t count = std::min(plan.rowsPerChunk, plan.sourceRows - first);
    const uint64_t offset = plan.dataOffset + uint64_t{first} * plan.sourceRowBytes;
    return ddsRead(source, offset, chunk, static_cast<size_t>(count) * plan.sourceRowBytes);
}

void ddsDecodeChunk(const DdsLevelDecoder &level, uint32_t index, const uint8_t *chunk) {
    const DdsPlan &plan = *level.plan;
    const uint32_t first = index * plan.rowsPerChunk;
    const uint32_t count = std::min(plan.rowsPerChunk, plan.sourceRows - first);
    // With rows reversed, the chunk's last row lands lowest in the buffer:
    // decoding from it fills the chunk's part of the buffer upwards, as
    // memory is fastest written.
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t i = level.rows.reverse ? count - 1 - n : n;
        decodeSourceRow(plan, level.converter, chunk + static_cast<size_t>(i) * plan.sourceRowBytes, first + i,
                        level.rows);
    }
}

bool ddsDecodeTopLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *chunk, uint8_t *pixels,
                       bool reverseRows) {
    DdsLevelDecoder level;
    ddsStartLevel(plan, pixels, reverseRows, &level);
    const uint32_t chunks = ddsChunkCount(plan);
    for (uint32_t index = 0; index < chunks; ++index) {
        if (!ddsReadChunk(source, plan, index, chunk)) return false;
        ddsDecodeChunk(level, index, chunk);
    }
    return true;
}
