// Decoding the top level: every thread, the calling one included, claims
// the next chunk that nobody has taken, reads it into its own buffer and
// decodes it into its rows of the host's buffer.
#ifndef DDS_PARALLEL_DECODE_H
#define DDS_PARALLEL_DECODE_H

#include <cstdint>

#include "plan.h"
#include "source.h"

// The most threads a decode runs on, the calling one included.
constexpr uint32_t ddsMaxDecodeThreads = 8;

// Reads the top level of a planned file in chunks of plan.rowsPerChunk
// source rows and decodes each row straight into `pixels`: width x height
// pixels of ddsBytesPerPixel(plan.type) bytes, rows of exactly width
// pixels.  With `reverseRows` the last row of the file lands in the first
// row of the buffer.
//
// When the plan reads the partial edge blocks, every pixel is written.
// Otherwise pixels outside the whole blocks are not decoded: for an Rgb
// image they come out (0, 0, 0); for an Rgba image they keep the buffer's
// previous contents, and with `reverseRows` those contents move exactly
// where a flip of the whole buffer would put them.
//
// It runs on `bufferCount` threads (at most ddsMaxDecodeThreads; more count
// as that many): the calling thread and bufferCount - 1 workers, each
// reading and decoding through its own buffer of plan.chunkBytes bytes at
// `buffers`.  A thread that is held up holds up only its own chunk: the
// others go on claiming the rest.  Rows of different chunks never overlap,
// so the buffer needs no lock.  The workers are started and joined inside
// the call; a worker that cannot be started leaves the work to fewer, down
// to the calling thread alone.  Nothing is allocated beyond what starting
// them takes: pixel layouts use a LayoutConverter on the stack (about 6 KiB:
// mask tables, or a palette's 1 KiB, read once).
//
// A failed read, a chunk that does not fit the planned type (DXT1 or BC1
// planned Rgb from the query's report, with a transparent texel: the file
// has changed since), or anything thrown while a chunk is read or decoded
// stops every thread from claiming or decoding another chunk and returns
// false; nothing thrown there leaves its thread.  The buffer may then be
// partly written.  Nothing here calls the host.
bool ddsDecodeTopLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *const *buffers, uint32_t bufferCount,
                       uint8_t *pixels, bool reverseRows);

// What the tests can make happen inside a decode: a hook called before
// each worker thread is started and before each chunk is decoded.  What it
// throws at a worker's start is taken as the system refusing that thread,
// at a chunk as a failure of the decode.
enum class DdsDecodeEvent { WorkerStart, Chunk };
using DdsDecodeHook = void (*)(DdsDecodeEvent event);

// For the tests: every decode calls `hook` at its events; null, as by
// default, calls nothing.  Set it while no decode runs.
void ddsSetDecodeHookForTesting(DdsDecodeHook hook);

#endif
