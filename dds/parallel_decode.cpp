#include "parallel_decode.h"

#include <atomic>
#include <thread>

#include "top_level.h"

namespace {

std::atomic<DdsDecodeHook> decodeHook{nullptr};

// Calls the tests' hook, if any: one load a chunk or a thread.
void announce(DdsDecodeEvent event) {
    if (const DdsDecodeHook hook = decodeHook.load(std::memory_order_relaxed)) hook(event);
}

// What the threads of one decode share: the next chunk to claim, and
// whether a read has failed (or a chunk did not fit the planned type, or
// something was thrown).
struct ChunkClaims {
    const DdsSource &source;
    const DdsLevelDecoder &level;
    uint32_t chunkCount;
    std::atomic<uint32_t> next{0};
    std::atomic<bool> failed{false};

    // Claims, reads and decodes chunks through `buffer` until none is left
    // or one has failed.
    void claimChunks(uint8_t *buffer) {
        for (;;) {
            if (failed.load(std::memory_order_relaxed)) return;
            const uint32_t index = next.fetch_add(1, std::memory_order_relaxed);
            if (index >= chunkCount) return;
            if (!ddsReadChunk(source, *level.plan, index, buffer) || !ddsChunkFitsType(*level.plan, index, buffer) ||
                failed.load(std::memory_order_relaxed)) {
                failed.store(true, std::memory_order_relaxed);
                return;
            }
            announce(DdsDecodeEvent::Chunk);
            ddsDecodeChunk(level, index, buffer);
        }
    }

    // claimChunks, where anything thrown fails the decode on the thread
    // that threw it: leaving a worker, it would end the process; leaving
    // the calling thread, it would skip the joins of the workers.
    void work(uint8_t *buffer) noexcept {
        try {
            claimChunks(buffer);
        } catch (...) {
            failed.store(true, std::memory_order_relaxed);
        }
    }
};

}  // namespace

bool ddsDecodeTopLevel(const DdsSource &source, const DdsPlan &plan, uint8_t *const *buffers, uint32_t bufferCount,
                       uint8_t *pixels, bool reverseRows) {
    DdsLevelDecoder level;
    if (!ddsStartLevel(source, plan, pixels, reverseRows, &level)) return false;
    ChunkClaims claims{source, level, ddsChunkCount(plan)};
    const uint32_t threads = bufferCount < ddsMaxDecodeThreads ? bufferCount : ddsMaxDecodeThreads;

    // Default-constructed threads own nothing; each worker is started in
    // its slot, and one that the system refuses leaves the slot empty.
    std::thread workers[ddsMaxDecodeThreads - 1];
    for (uint32_t i = 1; i < threads; ++i) {
        try {
            announce(DdsDecodeEvent::WorkerStart);
            workers[i - 1] = std::thread([&claims, buffer = buffers[i]] { claims.work(buffer); });
        } catch (...) {
            break;  // no more threads: the ones started and this one do the work
        }
    }
    claims.work(buffers[0]);
    for (std::thread &worker : workers) {
        if (worker.joinable()) worker.join();
    }
    return !claims.failed.load(std::memory_order_relaxed);
}

void ddsSetDecodeHookForTesting(DdsDecodeHook hook) { decodeHook.store(hook, std::memory_order_relaxed); }
