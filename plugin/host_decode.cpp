#include "host_decode.h"

#include "decode_threads.h"
#include "parallel_decode.h"
#include "qvapi.h"
#include "top_level.h"

namespace {

// The decoding threads' chunk buffers, from qvMalloc on this thread, and
// released by it on every path out of the request, an exception's too.
class ChunkBuffers {
  public:
    // One buffer of `bytes` for each of `count` threads, and never more
    // than ddsMaxDecodeThreads, whatever `count` says.
    ChunkBuffers(uint32_t count, uint32_t bytes) : wanted_(count < ddsMaxDecodeThreads ? count : ddsMaxDecodeThreads) {
        for (uint32_t i = 0; i < wanted_; ++i) {
            buffers_[i] = static_cast<uint8_t *>(qvMalloc(static_cast<int>(bytes)));
            if (buffers_[i] == nullptr) return;
            count_ = i + 1;
        }
    }
    ~ChunkBuffers() {
        for (uint32_t i = 0; i < count_; ++i) qvFree(buffers_[i]);
    }
    ChunkBuffers(const ChunkBuffers &) = delete;
    ChunkBuffers &operator=(const ChunkBuffers &) = delete;

    // Whether every buffer asked for was allocated.
    bool complete() const { return count_ == wanted_; }
    // The buffers allocated: all of them, or those before the first refusal.
    uint32_t count() const { return count_; }
    uint8_t *const *buffers() const { return buffers_; }

  private:
    uint8_t *buffers_[ddsMaxDecodeThreads] = {};
    uint32_t wanted_;
    uint32_t count_ = 0;
};

// The threads for the plan's image: one for small images, else as many as
// the process may run on, each with a chunk of its own within
// ddsMaxParallelChunkBytes, and no more than there are chunks.
uint32_t threadsFor(const DdsPlan &plan) {
    uint32_t threads = ddsThreadsForImage(uint64_t{plan.outputWidth} * plan.outputHeight);
    const uint32_t fit = ddsMaxParallelChunkBytes / plan.chunkBytes;
    if (threads > fit) threads = fit;
    if (threads > ddsChunkCount(plan)) threads = ddsChunkCount(plan);
    return threads < 1 ? 1 : threads;
}

}  // namespace

bool ddsDecodeForHost(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows) {
    // A host that refuses memory is told so, whatever fewer threads could do.
    const ChunkBuffers chunks(threadsFor(plan), plan.chunkBytes);
    if (!chunks.complete()) return false;
    return ddsDecodeTopLevel(source, plan, chunks.buffers(), chunks.count(), pixels, reverseRows);
}
