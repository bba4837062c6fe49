// Everything the importer must know about a file before it reports the
// image or writes a pixel: the header's format, the dimensions, the sizes
// that the file must supply, and the texture type.  A file that passes
// ddsInspectImage can be decoded without reading past any buffer and
// without any product of its sizes overflowing.
#ifndef DDS_IMAGE_CHECK_H
#define DDS_IMAGE_CHECK_H

#include <cstdint>
#include <cstdio>

#include "formats.h"
#include "header.h"

struct DdsImage {
    DdsHeader header;
    BlockFormat format;
    TextureType type;
    uint32_t width;          // 1 to 2^31 - 1, with width * height * 4 <= 2^31 - 1
    uint32_t height;
    uint32_t sourceRowBytes; // stride of the rows of blocks, or bytes of one row of pixels
    uint32_t sourceRows;     // rows of whole blocks (height / 4), or rows of pixels
};

// Bytes of one block of a block-compressed format.
inline uint32_t ddsBlockBytes(BlockFormat format) { return format == Dxt1 ? 8 : 16; }

inline bool ddsIsBlockFormat(BlockFormat format) {
    return format == Dxt1 || format == Dxt3 || format == Dxt5;
}

// Checks the header and the file's length and reads the first block when
// the type depends on it.  `format` is ddsClassifyFormat(header).  Refuses
// formats whose pixels are not decoded (Dxt2, Dxt4, Unsupported, bit counts
// other than 8, 16, 24, 32), dimensions of 0 or above 2^31 - 1, images
// whose four-byte pixels would not fit 2^31 - 1 bytes, block images with no
// whole 4 x 4 block, a declared top level smaller than what the decoder
// reads, and a file shorter than its declared top level.
bool ddsInspectImage(FILE *file, const DdsHeader &header, BlockFormat format, DdsImage *image);

#endif
