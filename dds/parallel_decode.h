// Decoding a level on several threads: the calling thread reads chunks in
// order, worker threads decode them into their rows of the host's buffer.
#ifndef DDS_PARALLEL_DECODE_H
#define DDS_PARALLEL_DECODE_H

#include <cstdint>

#include "plan.h"
#include "source.h"

// The most threads a decode starts.
constexpr uint32_t ddsMaxDecodeThreads = 8;

// Decodes the level exactly as ddsDecodeTopLevel does, on up to `threads`
// threads: the calling thread reads the chunks, in order, into the
// `chunkCount` buffers of plan.chunkBytes bytes at `chunks` (at most that
// many chunks are in flight), and threads - 1 workers decode them; the
// calling thread decodes a waiting chunk itself whenever no buffer is free
// to read into, and once everything is read.  Rows of different chunks
// never overlap, so the buffer needs no lock.  The workers are started and
// joined inside the call; a worker that cannot be started leaves the work
// to fewer, down to the calling thread alone.  A failed read stops every
// thread and returns false; the buffer may then be partly written.
// Nothing here calls the host.
bool ddsDecodeTopLevelParallel(const DdsSource &source, const DdsPlan &plan, uint8_t *const *chunks,
                               uint32_t chunkCount, uint8_t *pixels, bool reverseRows, uint32_t threads);

#endif
