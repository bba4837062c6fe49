#include "common/cpu_features.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

struct CpuFeatures {
    bool ssse3;
};

#if defined(__i386__) || defined(__x86_64__)

CpuFeatures detect() {
    CpuFeatures features{false};
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    features.ssse3 = (ecx & bit_SSSE3) != 0;
    return features;
}

#else

CpuFeatures detect() { return CpuFeatures{false}; }

#endif

const CpuFeatures &cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}

std::atomic<bool> extensionsAllowed{true};

}  // namespace

bool ddsCpuHasSsse3() { return extensionsAllowed.load(std::memory_order_relaxed) && cpuFeatures().ssse3; }

void ddsAllowCpuExtensions(bool allowed) { extensionsAllowed.store(allowed, std::memory_order_relaxed); }
