// The image request's decode: the working chunks from the host's allocator
// on the calling thread, and as many decoding threads as the image pays
// for.
#ifndef PLUGIN_HOST_DECODE_H
#define PLUGIN_HOST_DECODE_H

#include <cstdint>

#include "plan.h"
#include "source.h"

// Decodes the planned level into `pixels` (the host's buffer) on the
// threads ddsThreadsForImage allows, at most one a chunk, each with a chunk
// of plan.chunkBytes from qvMalloc, all of them within
// ddsMaxParallelChunkBytes.  False when an allocation, a read or the
// decode fails (something thrown inside it included); every chunk is
// released on every path before it returns, an exception's too.
bool ddsDecodeForHost(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows);

#endif
