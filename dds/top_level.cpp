#include "top_level.h"

#include <algorithm>
#include <cstring>

#include "blocks.h"
#include "file_io.h"
#include "qvapi.h"
#include "uncompressed.h"

namespace {

// Where the rows of the image go in the host's buffer.
struct RowPlacement {
    uint8_t *pixels;
    size_t stride;
    uint32_t height;
    bool reverse;

    uint8_t *row(uint32_t y) const {
        const uint32_t target = reverse ? height - 1 - y : y;
        return pixels + static_cast<size_t>(target) * stride;
    }
};

// The pixels that no whole block covers: columns from coveredWidth on, and
// rows from coveredHeight on.  An Rgb image gets them as zeros.  An Rgba
// image keeps them; when rows are reversed, they are swapped with their
// mirror rows now, before decoding, which leaves them where a flip of the
// whole buffer after decoding would: a pixel whose mirror is decoded is
// overwritten by the decoder anyway.
void placeUncoveredPixels(const DdsImage &image, const RowPlacement &rows) {
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

void decodeSourceRow(const DdsImage &image, const UncompressedConverter &converter, const uint8_t *source,
                     uint32_t sourceRow, const RowPlacement &rows) {
    if (image.format == Uncompressed) {
        ddsConvertRowPrepared(converter, source, image.width, rows.row(sourceRow));
        return;
    }
    uint8_t *const destinations[4] = {rows.row(4 * sourceRow), rows.row(4 * sourceRow + 1),
                                      rows.row(4 * sourceRow + 2), rows.row(4 * sourceRow + 3)};
    ddsDecodeBlockRow(image.format, source, image.width / 4, destinations,
                      static_cast<int>(ddsBytesPerPixel(image.type)));
}

}  // namespace

bool ddsDecodeTopLevel(FILE *file, const DdsImage &image, uint8_t *pixels, bool reverseRows) {
    const uint32_t rowBytes = image.sourceRowBytes;
    const uint32_t rowsPerChunk = std::min(image.sourceRows, std::max(1u, ddsChunkBytes / rowBytes));
    // rowsPerChunk * rowBytes is at most the chunk size or one row, and a
    // row is part of an image of at most 2^31 - 1 bytes.
    auto *chunk = static_cast<uint8_t *>(qvMalloc(static_cast<int>(rowsPerChunk * rowBytes)));
    if (chunk == nullptr) return false;

    // Uncompressed pixels go through a converter prepared once for the
    // image: its method and tables depend on the masks only.
    UncompressedConverter converter;
    if (image.format == Uncompressed) {
        ddsPrepareConverter(ddsPrepareUncompressed(image.header.pixelFormat),
                            static_cast<uint64_t>(image.width) * image.height, &converter);
    }

    const RowPlacement rows{pixels, static_cast<size_t>(image.width) * ddsBytesPerPixel(image.type),
                            image.height, reverseRows};
    placeUncoveredPixels(image, rows);

    bool ok = ddsSeek(file, DdsDataOffset);
    for (uint32_t first = 0; ok && first < image.sourceRows; first += rowsPerChunk) {
        const uint32_t count = std::min(rowsPerChunk, image.sourceRows - first);
        ok = ddsReadExactly(file, chunk, static_cast<size_t>(count) * rowBytes);
        // With rows reversed, the chunk's last row lands lowest in the
        // buffer: decoding from it fills the chunk's part of the buffer
        // upwards, as memory is fastest written.
        for (uint32_t n = 0; ok && n < count; ++n) {
            const uint32_t i = rows.reverse ? count - 1 - n : n;
            decodeSourceRow(image, converter, chunk + static_cast<size_t>(i) * rowBytes, first + i, rows);
        }
    }
    qvFree(chunk);
    return ok;
}
