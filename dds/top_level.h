// Decoding of a file's top mip level into the host's pixel buffer.
#ifndef DDS_TOP_LEVEL_H
#define DDS_TOP_LEVEL_H

#include <cstdint>
#include <cstdio>

#include "image_check.h"

// Reads the top level of an inspected file in chunks of rows and decodes
// each row straight into `pixels`: width x height pixels of
// ddsBytesPerPixel(image.type) bytes, rows of exactly width pixels.  With
// `reverseRows` the last row of the file lands in the first row of the
// buffer.
//
// Pixels outside the whole 4 x 4 blocks are not decoded: for an Rgb image
// they come out (0, 0, 0); for an Rgba image they keep the buffer's previous
// contents, and with `reverseRows` those contents move exactly where a flip
// of the whole buffer would put them.
//
// The only working memory is one chunk of at most ddsChunkBytes (or one
// row, when a row is larger), from qvMalloc and released before return.
// Uncompressed pixels also use an UncompressedConverter (about 5 KiB of
// tables) on the stack.
// Fails, returning false, only when that allocation or a read fails; the
// buffer may then be partly written.
bool ddsDecodeTopLevel(FILE *file, const DdsImage &image, uint8_t *pixels, bool reverseRows);

constexpr uint32_t ddsChunkBytes = 128 * 1024;

#endif
