#include "parallel_decode.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "top_level.h"

namespace {

// A chunk read and waiting for a worker.
struct ReadChunk {
    uint32_t index;
    uint8_t *buffer;
};

// The hand-over between the reading thread and the workers: chunks read
// and waiting, in reading order, and buffers free to read into.
class Pipeline {
  public:
    explicit Pipeline(const DdsLevelDecoder &level) : level_(level) {}

    void addFree(uint8_t *buffer) {
        std::lock_guard<std::mutex> lock(mutex_);
        free_.push_back(buffer);
    }

    // A free buffer for the reader.  While none is free, the reader decodes
    // a waiting chunk itself rather than wait: its buffer is then free.
    uint8_t *takeFree() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (!free_.empty()) {
                uint8_t *buffer = free_.back();
                free_.pop_back();
                return buffer;
            }
            if (taken_ < handed_) {
                const ReadChunk chunk = ready_[taken_++];
                lock.unlock();
                ddsDecodeChunk(level_, chunk.index, chunk.buffer);
                lock.lock();
                free_.push_back(chunk.buffer);
                continue;
            }
            freed_.wait(lock);
        }
    }

    void hand(uint32_t index, uint8_t *buffer) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_.push_back(ReadChunk{index, buffer});
            ++handed_;
        }
        readied_.notify_one();
    }

    // No more chunks: the workers stop once the waiting ones are decoded,
    // or at once when `failed`.
    void finish(bool failed) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            finished_ = true;
            failed_ = failed;
        }
        readied_.notify_all();
    }

    void work() {
        for (;;) {
            ReadChunk chunk;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                readied_.wait(lock, [this] { return taken_ < handed_ || finished_; });
                if (failed_ || taken_ == handed_) return;
                chunk = ready_[taken_++];
            }
            ddsDecodeChunk(level_, chunk.index, chunk.buffer);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                free_.push_back(chunk.buffer);
            }
            freed_.notify_one();
        }
    }

  private:
    const DdsLevelDecoder &level_;
    std::mutex mutex_;
    std::condition_variable readied_;
    std::condition_variable freed_;
    std::vector<uint8_t *> free_;
    std::vector<ReadChunk> ready_;  // every chunk handed over; taken_ of them are taken
    size_t handed_ = 0;
    size_t taken_ = 0;
    bool finished_ = false;
    bool failed_ = false;
};

// Starts up to `count` workers; as many as the system lets it.
void startWorkers(Pipeline &pipeline, uint32_t count, std::vector<std::thread> *threads) {
    for (uint32_t i = 0; i < count; ++i) {
        try {
            threads->emplace_back([&pipeline] { pipeline.work(); });
        } catch (...) {
            return;  // no more threads: the ones started do the work
        }
    }
}

}  // namespace

bool ddsDecodeTopLevelParallel(const DdsSource &source, const DdsPlan &plan, uint8_t *const *chunks,
                               uint32_t chunkCount, uint8_t *pixels, bool reverseRows, uint32_t threads) {
    if (threads < 2 || chunkCount < 2) return ddsDecodeTopLevel(source, plan, chunks[0], pixels, reverseRows);

    // The workers wait for the first chunk, which is handed over only once
    // the level is started below.
    DdsLevelDecoder level{};
    Pipeline pipeline(level);
    for (uint32_t i = 0; i < chunkCount; ++i) pipeline.addFree(chunks[i]);
    std::vector<std::thread> threadList;
    // This thread reads and decodes too: it starts one worker fewer.
    const uint32_t decoders = threads < ddsMaxDecodeThreads ? threads : ddsMaxDecodeThreads;
    startWorkers(pipeline, decoders - 1, &threadList);
    if (threadList.empty()) return ddsDecodeTopLevel(source, plan, chunks[0], pixels, reverseRows);
    ddsStartLevel(plan, pixels, reverseRows, &level);

    bool ok = true;
    const uint32_t total = ddsChunkCount(plan);
    for (uint32_t index = 0; index < total && ok; ++index) {
        uint8_t *buffer = pipeline.takeFree();
        ok = ddsReadChunk(source, plan, index, buffer);
        if (ok) pipeline.hand(index, buffer);
    }
    pipeline.finish(!ok);
    // The reading done, this thread decodes beside the workers until no
    // chunk waits.
    pipeline.work();
    for (std::thread &thread : threadList) thread.join();
    return ok;
}
