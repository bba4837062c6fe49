#include "decode_threads.h"

#include <atomic>
#include <cstdlib>

#include "parallel_decode.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sched.h>
#endif

namespace {

std::atomic<uint32_t> threadsOverride{0};
std::atomic<uint64_t> minimumPixels{ddsParallelMinimumPixels};

uint32_t atMostMaximum(uint32_t threads) { return threads < ddsMaxDecodeThreads ? threads : ddsMaxDecodeThreads; }

// The processors this process may run on: its affinity, which a host or a
// user may have narrowed below the machine's count.
uint32_t usableProcessors() {
#if defined(_WIN32)
    DWORD_PTR process = 0, system = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) return 1;
    uint32_t count = 0;
    for (; process != 0; process &= process - 1) ++count;
    return count;
#else
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
    return static_cast<uint32_t>(CPU_COUNT(&set));
#endif
}

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
    const uint32_t processors = usableProcessors();
    return processors == 0 ? 1 : atMostMaximum(processors);
}

void ddsSetDecodeThreadsForTesting(uint32_t threads, uint64_t pixels) {
    threadsOverride.store(threads, std::memory_order_relaxed);
    minimumPixels.store(pixels, std::memory_order_relaxed);
}

uint32_t ddsThreadsForImage(uint64_t pixels) {
    if (pixels < minimumPixels.load(std::memory_order_relaxed)) return 1;
    return ddsDecodeThreads();
}
