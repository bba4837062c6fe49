// Decoding a level on several threads: every thread, the calling one
// included, claims the next chunk that nobody has taken, reads it into its
// own buffer and decodes it into its rows of the host's buffer.
#ifndef DDS_PARALLEL_DECODE_H
#define DDS_PARALLEL_DECODE_H

#include <cstdint>

#include "plan.h"
#include "source.h"

// The most threads a decode runs on, the calling one included.
constexpr uint32_t ddsMaxDecodeThreads = 8;

// Decodes the level exactly as ddsDecodeTopLevel does, on `bufferCount`
// threads (at most ddsMaxDecodeThreads): the calling thread and
// bufferCount - 1 workers, each reading and decoding through its own
// buffer of plan.chunkBytes bytes at `buffers`.  A thread that is held up
// holds up only its own chunk: the others go on claiming the rest.  Rows of
// different chunks never overlap, so the buffer needs no lock.  The workers
// are started and joined inside the call, and nothing is allocated beyond
// what starting them takes; a worker that cannot be started leaves the
// work to fewer, down to the calling thread alone.  A failed read, or a
// chunk that does not fit the planned type (ddsChunkFitsType), stops every
// thread from claiming or decoding another chunk and returns false; the
// buffer may then be partly written.  Nothing here calls the host, and
// nothing it calls throws.
bool ddsDecodeTopLevelParallel(const DdsSource &source, const DdsPlan &plan, uint8_t *const *buffers,
                               uint32_t bufferCount, uint8_t *pixels, bool reverseRows);

#endif
