#include "decode_threads.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include "parallel_decode.h"

namespace {

std::atomic<uint32_t> threadsOverride{0};
std::atomic<uint64_t> minimumPixels{ddsParallelMinimumPixels};

}  // namespace

uint32_t ddsDecodeThreads() {
    const uint32_t forced = threadsOverride.load(std::memory_order_relaxed);
    if (forced != 0) return forced;
    if (const char *value = std::getenv("DDSIMAGE_THREADS")) {
        char *end = nullptr;
        const long threads = std::strtol(value, &end, 10);
        if (end != value && *end == '\0' && threads >= 1 && threads <= static_cast<long>(ddsMaxDecodeThreads)) {
            return static_cast<uint32_t>(threads);
        }
    }
    const unsigned processors = std::thread::hardware_concurrency();
    if (processors == 0) return 1;
    return processors < ddsMaxDecodeThreads ? processors : ddsMaxDecodeThreads;
}

void ddsSetDecodeThreadsForTesting(uint32_t threads, uint64_t pixels) {
    threadsOverride.store(threads, std::memory_order_relaxed);
    minimumPixels.store(pixels, std::memory_order_relaxed);
}

uint32_t ddsThreadsForImage(uint64_t pixels) {
    if (pixels < minimumPixels.load(std::memory_order_relaxed)) return 1;
    return ddsDecodeThreads();
}
