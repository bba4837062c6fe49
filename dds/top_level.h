// Decoding of a planned file's top mip level into the host's pixel buffer.
#ifndef DDS_TOP_LEVEL_H
#define DDS_TOP_LEVEL_H

#include <cstdint>

#include "plan.h"
#include "source.h"

// Reads the top level of a planned file in chunks of rows through `chunk`
// (plan.chunkBytes bytes, the caller's) and decodes each row straight into
// `pixels`: width x height pixels of ddsBytesPerPixel(plan.type) bytes,
// rows of exactly width pixels.  With `reverseRows` the last row of the
// file lands in the first row of the buffer.
//
// When the plan reads the partial edge blocks, every pixel is written.
// Otherwise pixels outside the whole 4 x 4 blocks are not decoded: for an
// Rgb image they come out (0, 0, 0); for an Rgba image they keep the
// buffer's previous contents, and with `reverseRows` those contents move
// exactly where a flip of the whole buffer would put them.
//
// Uncompressed pixels also use an UncompressedConverter (about 5 KiB of
// tables) on the stack; nothing else is allocated.  Fails, returning false,
// only when a read fails; the buffer may then be partly written.
bool ddsDecodeTopLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *chunk, uint8_t *pixels,
                       bool reverseRows);

#endif
