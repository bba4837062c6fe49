// The image request: the top level's pixels into the host's buffer.

#include <cstdint>

#include "decode_threads.h"
#include "importer.h"
#include "open_file_table.h"
#include "parallel_decode.h"
#include "plan.h"
#include "top_level.h"

namespace {

// Host preference: 0 or absent hands rows back last file row first, any
// other value in file order.  Read afresh at every request.
constexpr char FlipPreference[] = "KER:FlipDDSImages";

// The host sized its buffer from what the query reported; a file that has
// changed since would not fit it.
bool fitsReport(const ReportedImage &reported, const DdsPlan &plan) {
    if (!reported.valid) return true;
    return static_cast<uint32_t>(reported.width) == plan.width &&
           static_cast<uint32_t>(reported.height) == plan.height && reported.type == plan.type;
}

// The decoding threads' chunk buffers, from qvMalloc on this thread, and
// released by it on every path out of the request, an exception's too.
class ChunkBuffers {
  public:
    // One buffer of `bytes` for each of `count` threads; `count` is 1 or
    // more, at most ddsMaxDecodeThreads.
    ChunkBuffers(uint32_t count, uint32_t bytes) {
        for (uint32_t i = 0; i < count; ++i) {
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

    // The buffers allocated: all of them, or those before the first refusal.
    uint32_t count() const { return count_; }
    uint8_t *const *buffers() const { return buffers_; }

  private:
    uint8_t *buffers_[ddsMaxDecodeThreads] = {};
    uint32_t count_ = 0;
};

// The threads for the plan's image: one for small images, else as many as
// the process may run on, each with a chunk of its own within
// ddsMaxParallelChunkBytes, and no more than there are chunks.
uint32_t threadsFor(const DdsPlan &plan) {
    uint32_t threads = ddsThreadsForImage(uint64_t{plan.width} * plan.height);
    const uint32_t fit = ddsMaxParallelChunkBytes / plan.chunkBytes;
    if (threads > fit) threads = fit;
    if (threads > ddsChunkCount(plan)) threads = ddsChunkCount(plan);
    return threads < 1 ? 1 : threads;
}

ImportStatus getImage(int handle, uint8_t *pixels) {
    int fileOrder = 0;
    qvModelingPrefGetInteger(FlipPreference, &fileOrder, 0);

    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr || pixels == nullptr) return ImportStatus::ReadFailed;

    // The file is planned afresh, as it is now, so that the request stands
    // on its own even when no query ran for this handle.
    DdsSource source;
    if (!ddsFileSource(&slot->file, &source)) return ImportStatus::ReadFailed;
    DdsPlan plan;
    if (ddsPlanImage(source, &plan) != DdsAccepted) return ImportStatus::ReadFailed;
    if (!fitsReport(slot->reported, plan)) return ImportStatus::ReadFailed;

    // A host that refuses memory is told so, whatever the others could do.
    const uint32_t threads = threadsFor(plan);
    const ChunkBuffers chunks(threads, plan.chunkBytes);
    if (chunks.count() != threads) return ImportStatus::ReadFailed;
    const bool decoded = ddsDecodeTopLevelParallel(source, plan, chunks.buffers(), chunks.count(), pixels, fileOrder == 0);
    return decoded ? ImportStatus::Ok : ImportStatus::ReadFailed;
}

}  // namespace

extern "C" int QVAPI ddsGetImage(void *, void *, int handle, void *, void *pixels) {
    return ddsCallback([&] { return getImage(handle, static_cast<uint8_t *>(pixels)); });
}
