// The plan of an import: everything the importer must know about a file
// before it reports the image or writes a pixel, made by one function from
// the header and the file's length.  A file with a plan can be decoded
// without reading past any buffer and without any product of its sizes
// overflowing.
#ifndef DDS_PLAN_H
#define DDS_PLAN_H

#include <cstdint>

#include "format_table.h"
#include "formats.h"
#include "header.h"
#include "refusal.h"
#include "source.h"
#include "texture.h"

// The chunk that the level streams through holds this many bytes, or one
// source row when a row is larger.
constexpr uint32_t ddsChunkBytes = 128 * 1024;

// PVRTC1 levels stream through bands of word rows of at most this many
// bytes (or one word row when a row is larger), with the word rows above
// and below and one tile beside them (pvrtc_bands.h).
constexpr uint32_t ddsPvrtcBandBytes = 256 * 1024;

// The one size limit: the host allocates with a signed 32-bit size, so no
// image, level or buffer may be larger.
constexpr uint64_t ddsMaxHostBytes = 0x7FFFFFFF;

struct DdsPlan {
    DdsHeader header;          // valid unless the header could not be read
    bool hasDx10;              // the header announces the DX10 record...
    DdsHeaderDx10 dx10;        // ...which holds this, once read
    const DdsFormat *format;   // row of the format table; null when refused before it was found
    BlockFormat blocks;        // the block kernel: the row's, or its normal-map variant
    DdsPixelFormat pixels;     // mask-coded pixels: the bit count, masks and alpha flag that convert them
    FieldLayout fields;        // field-coded pixels: the row's fields, or for the bump flags the header's masks
    TextureType type;
    uint32_t pixelBytes;       // bytes of a pixel in the host's buffer: 3 for Rgb, 4 for Rgba
    bool unpremultiply;        // an Rgba image whose colour is premultiplied by alpha: undone as it is decoded
    uint32_t width;            // 1 to 2^31 - 1, with width * height * 4 <= 2^31 - 1
    uint32_t height;
    uint32_t coveredWidth;     // the pixels the decode writes: all of them, or for block rows that
    uint32_t coveredHeight;    // hold only the whole blocks, the whole blocks' columns and rows
    uint64_t dataOffset;       // where the image starts: after the header's records and the row's prefix
    uint64_t dataBytes;        // bytes of the file from dataOffset on
    uint64_t levelBytes;       // bytes the file must hold from dataOffset on: the declared level
    uint32_t sourceRowBytes;   // a stored row of blocks, or of pixels
    uint32_t sourceRows;       // stored rows that are decoded
    uint32_t blocksPerRow;     // blocks in a stored row (block formats)
    bool partialBlocks;        // the rows hold the blocks that cross the right and bottom edges
    uint32_t rowsPerChunk;     // source rows read at a time (a word grid: a power of two, the band's)
    uint32_t chunkBytes;       // rowsPerChunk * sourceRowBytes, or a word grid's band's: the working chunk
    uint64_t paletteOffset;    // where the row's prefix starts (a palette's 256 entries), right after the header
    // Planar YUV: a source row is two rows of the luma plane, which starts
    // at dataOffset, and one row of the plane of U, V pairs, which starts
    // at secondPlaneOffset and gives secondPlaneRowBytes of sourceRowBytes.
    // A chunk holds its rows of the first plane, then those of the second.
    // 0 for every other format.
    uint64_t secondPlaneOffset;
    uint32_t secondPlaneRowBytes;
    // DXT1 and BC1 planned by ddsPlanReportedImage as Rgb without their
    // blocks being read: the decode fails at a block it reads that has a
    // transparent texel inside the image.
    bool confirmType;
    DdsImageChoice choice;     // what the import was asked for
    DdsTexture texture;        // what the file holds
    DdsImageIndex image;       // the image planned: for a cross, the first face the file holds
    // A cube map as a cross (choice.cubeCross on a cube map): the faces of
    // the chosen element and level, each width x height and planned alike,
    // in one Rgba image of outputWidth = 4 width by outputHeight = 3 height;
    // crossFaces has bit f for each face the file holds, whose image starts
    // at faceOffsets[f].  Otherwise the output is the image itself.
    bool cross;
    uint32_t crossFaces;
    uint64_t faceOffsets[ddsCubeFaces];
    uint32_t outputWidth;
    uint32_t outputHeight;
};

// Reads the header (offset 4), the DX10 record when the header announces
// one, and, for DXT1 and BC1, whose type depends on their blocks, the
// blocks of the image (on the stack, a piece at a time, stopping at the
// first transparent texel) from `source`, and plans the import of the image
// `choice` asks for (texture.h: by default the first image: for an array
// its first element, for a cube map its first face, for a volume the first
// slice of the top level), or of a cube map's cross.
// Returns DdsRefusal::Accepted, or why the file is refused; the plan is then
// filled only as far as the planning got (the header once it was read).
//
// The first image is read as it always has been.  Block rows: a file whose
// width or height is not a multiple of 4 normally stores every block that
// touches the image, the last ones partly outside it.  Such rows are read
// and every block decoded, clipped to the image, when the bytes after the
// header hold that full level and a linear size, where a legacy header
// gives one, does not declare less.  Otherwise the rows hold only the whole
// blocks, tightly packed, and only those are decoded.  A DX10 file's linear
// size is not read: writers disagree about it, and the format gives every
// size.  Every other image lies where the sizes before it put it and holds
// every block that touches it; the linear size is not read for it (writers
// give the top level's, or the whole chain's).  Only the image planned (or
// the cross's faces) must be in the file: what comes after is not checked.
//
// Rows whose format holds every block (ETC, EAC, ATC, ASTC) must hold
// every block that touches the image.  A word grid's stored row (PVRTC1) is
// a row of words of the padded grid; its chunks are bands of word rows
// (pvrtc_bands.h).
//
// Nothing of the level is read but DXT1 and BC1's blocks: a palette is
// read by the image request (ddsStartLevel).
DdsRefusal ddsPlanImage(const DdsSource &source, DdsPlan *plan, const DdsImageChoice &choice = DdsImageChoice{});

// Plans as ddsPlanImage, for an image request after a query that reported
// `reported`.  When that is Rgb, a DXT1 or BC1 image whose first block is
// in four-colour mode is planned Rgb without its other blocks being read
// (an opaque image's scan reads them all, and the decode reads them anyway)
// and marked confirmType.  Everything else is planned exactly as
// ddsPlanImage plans it: an Rgba image's scan stops at its first
// transparent texel.
DdsRefusal ddsPlanReportedImage(const DdsSource &source, TextureType reported, DdsPlan *plan,
                                const DdsImageChoice &choice = DdsImageChoice{});

// Sets the source rows read at a time (a word grid: a power of two no
// larger than the grid) and the chunk they need; false, changing nothing,
// when that chunk would pass the host's limit.
bool ddsSetChunkRows(DdsPlan *plan, uint32_t rows);

// A level of a format as its row layout stores it, in 64 bits: the stored
// rows that hold the image (a word grid also stores rows below them), the
// bytes of each, and the bytes of the whole level.
struct DdsLevelRows {
    uint64_t rows;
    uint64_t rowBytes;
    uint64_t bytes;
};

// The level of `width` x `height` pixels (width x height at most 2^29) of
// `format`, holding every block that touches it; planes need an even
// height.
DdsLevelRows ddsLevelRows(const DdsFormat &format, uint32_t width, uint32_t height);

#endif
