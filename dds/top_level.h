// Decoding of a planned file's top mip level into the host's pixel buffer.
#ifndef DDS_TOP_LEVEL_H
#define DDS_TOP_LEVEL_H

#include <cstdint>

#include "plan.h"
#include "source.h"
#include "block_kernels.h"
#include "layout_kernels.h"

// The pieces of ddsDecodeTopLevel (parallel_decode.h), which decodes chunks
// on several threads: the level is read in chunks of plan.rowsPerChunk
// source rows, and each chunk decodes into rows of the buffer that no other
// chunk touches.

// Where the rows of an image go in the host's buffer: row y of the image
// is row firstRow + y of an output of `height` rows of `stride` bytes,
// counted from the bottom with `reverse`, from byte 0 of `pixels` (a
// cross's face: its cell's first column).
struct RowPlacement {
    uint8_t *pixels;
    size_t stride;
    uint32_t height;
    bool reverse;
    uint32_t firstRow;

    uint8_t *row(uint32_t y) const {
        const uint32_t target = reverse ? height - 1 - (firstRow + y) : firstRow + y;
        return pixels + static_cast<size_t>(target) * stride;
    }
};

// What every chunk of a plan needs; read-only once started.  A plan's
// chunks decode one image, or for a cross each face the file holds in
// turn, each face through its own placement.
struct DdsLevelDecoder {
    const DdsPlan *plan;
    BlockRowKernel kernel;     // block formats: the kernel of the rows of whole blocks
    MappedBlockRowKernel mappedKernel;  // instead, with `hdr`: the kernel that maps through it
    LayoutConverter layout;    // pixel layouts: the row kernel and its state
    RowPlacement rows[ddsCubeFaces];  // the image's, or each face's of a cross, in the order of the faces
    const DdsHdrTable *hdr;    // `hdrTable` when the plan's choice maps the format's values, else null
    DdsHdrTable hdrTable;
    // A cross: the cells of its row that a face's chunks clear as they
    // decode it (bit c: column c), and the face's own column.
    uint32_t clearColumns[ddsCubeFaces];
    uint32_t column[ddsCubeFaces];
};

// Prepares the decode of `plan` into `pixels`: chooses the kernel or the
// row converter (for a plan whose choice asks for an exposure or sRGB, of
// a format with values that they map, the mapped one, with the table built
// for the image: a cross's faces share it), reads the palette of a
// palette-indexed file from `source` (false when that read fails), and
// places the pixels that no block covers (see ddsDecodeTopLevel).
bool ddsStartLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows,
                   DdsLevelDecoder *level);

// The number of chunks of the plan: the image's, or those of every face of
// a cross, face after face.
uint32_t ddsChunkCount(const DdsPlan &plan);

// Reads chunk `index` into `chunk` (plan.chunkBytes bytes): its source
// rows, or for planar YUV its rows of each plane, from the image or the
// cross's face it belongs to; false when a read fails.
bool ddsReadChunk(const DdsSource &source, const DdsPlan &plan, uint32_t index, uint8_t *chunk);

// Decodes chunk `index`, read into `chunk`, into its rows of the buffer.
// The chunk is the caller's working buffer: a PVRTC1 band also writes
// into its spare row.
void ddsDecodeChunk(const DdsLevelDecoder &level, uint32_t index, uint8_t *chunk);

// Whether chunk `index`, read into `chunk`, fits the planned type: false
// for a plan marked confirmType (DXT1 or BC1 planned Rgb from the query's
// report) whose chunk has a transparent texel inside the image.  The chunk
// is in memory already, so this costs no read.
bool ddsChunkFitsType(const DdsPlan &plan, uint32_t index, const uint8_t *chunk);

#endif
