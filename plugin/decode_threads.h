// How many threads the image request decodes on, and from what size.
#ifndef PLUGIN_DECODE_THREADS_H
#define PLUGIN_DECODE_THREADS_H

#include <cstdint>

// The most working memory the image request takes from qvMalloc when it
// decodes on several threads: its chunks in flight.
constexpr uint32_t ddsMaxParallelChunkBytes = 1024 * 1024;

// Images of at least this many pixels decode in parallel.
constexpr uint64_t ddsParallelMinimumPixels = uint64_t{1} << 20;

// The decoding threads for a request: DDSIMAGE_THREADS from the
// environment (1 forces the calling thread alone) when it is a number from
// 1 to 8, else the processors this process may run on (its affinity), at
// most 8.
uint32_t ddsDecodeThreads();

// Overrides, for the tests and the fuzzer: `threads` replaces
// ddsDecodeThreads(), 0 gives it back; `minimumPixels` replaces
// ddsParallelMinimumPixels.  More than 8 threads pass through, so that the
// tests reach the bounds of the chunk buffers and of the workers.
void ddsSetDecodeThreadsForTesting(uint32_t threads, uint64_t minimumPixels);

// Whether an image of `pixels` pixels decodes on several threads, and the
// threads.
uint32_t ddsThreadsForImage(uint64_t pixels);

#endif
