// Where the decoder's bytes come from: a length and reads at explicit
// offsets.  Nothing depends on a stream position and nothing is cached
// between reads, so a source made afresh for each request sees the file as
// it is now.  The plug-in makes one over an open file; tests and the fuzzer
// make one over bytes in memory.
#ifndef DDS_SOURCE_H
#define DDS_SOURCE_H

#include <cstddef>
#include <cstdint>

struct DdsSource {
    const void *context;  // the reader's own: a file, or the bytes of a memory source
    uint64_t length;      // bytes in the source when it was made
    // Reads `size` bytes at `offset` into `buffer`; true only when every
    // byte arrived.
    bool (*readAt)(const DdsSource &source, uint64_t offset, void *buffer, size_t size);
};

inline bool ddsRead(const DdsSource &source, uint64_t offset, void *buffer, size_t size) {
    return source.readAt(source, offset, buffer, size);
}

// A source over `size` bytes at `bytes`, which must outlive it.
DdsSource ddsMemorySource(const uint8_t *bytes, size_t size);

#endif
