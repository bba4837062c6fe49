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

// The chunks the level streams through, from qvMalloc on this thread: one,
// or for a large image on several threads a few in flight, within
// ddsMaxParallelChunkBytes.  Each is at most ddsChunkBytes or one source
// row, within the host's signed 32-bit sizes.
uint32_t chunksFor(const DdsPlan &plan, uint32_t threads) {
    if (threads < 2) return 1;
    uint32_t count = threads + 2;
    const uint32_t fit = ddsMaxParallelChunkBytes / plan.chunkBytes;
    if (count > fit) count = fit;
    if (count > ddsChunkCount(plan)) count = ddsChunkCount(plan);
    return count < 2 ? 1 : count;
}

// Decodes the level with this thread reading and, for a large image, worker
// threads decoding.  Every chunk is released on every path.
bool decodeInto(const DdsSource &source, const DdsPlan &plan, uint8_t *pixels, bool reverseRows) {
    const uint32_t threads = ddsThreadsForImage(uint64_t{plan.width} * plan.height);
    const uint32_t count = chunksFor(plan, threads);
    uint8_t *chunks[ddsMaxDecodeThreads + 2] = {};
    bool allocated = true;
    for (uint32_t i = 0; i < count && allocated; ++i) {
        chunks[i] = static_cast<uint8_t *>(qvMalloc(static_cast<int>(plan.chunkBytes)));
        allocated = chunks[i] != nullptr;
    }
    bool decoded = false;
    if (allocated) {
        decoded = count > 1 ? ddsDecodeTopLevelParallel(source, plan, chunks, count, pixels, reverseRows, threads)
                            : ddsDecodeTopLevel(source, plan, chunks[0], pixels, reverseRows);
    }
    for (uint8_t *chunk : chunks) {
        if (chunk != nullptr) qvFree(chunk);
    }
    return decoded;
}

}  // namespace

extern "C" int QVAPI ddsGetImage(void *, void *, int handle, void *, void *pixels) {
    int fileOrder = 0;
    qvModelingPrefGetInteger(FlipPreference, &fileOrder, 0);

    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr || pixels == nullptr) return ReadFailed;

    // The file is planned afresh, as it is now, so that the request stands
    // on its own even when no query ran for this handle.
    DdsSource source;
    if (!ddsFileSource(&slot->file, &source)) return ReadFailed;
    DdsPlan plan;
    if (ddsPlanImage(source, &plan) != DdsAccepted) return ReadFailed;
    if (!fitsReport(slot->reported, plan)) return ReadFailed;

    return decodeInto(source, plan, static_cast<uint8_t *>(pixels), fileOrder == 0) ? Ok : ReadFailed;
}
