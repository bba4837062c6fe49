#include "cpu_features.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

struct CpuFeatures {
    bool ssse3;
    bool avx2;
};

#if defined(__i386__) || defined(__x86_64__)

// The XCR0 register: which register states the operating system saves.
unsigned long long enabledRegisterStates() {
    unsigned int low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return static_cast<unsigned long long>(high) << 32 | low;
}

CpuFeatures detect() {
    CpuFeatures features{false, false};
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    features.ssse3 = (ecx & bit_SSSE3) != 0;
    const bool osSavesYmm = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0 && (enabledRegisterStates() & 6) == 6;
    if (osSavesYmm && __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0) {
        features.avx2 = (ebx & bit_AVX2) != 0;
    }
    return features;
}

#else

CpuFeatures detect() { return CpuFeatures{false, false}; }

#endif

const CpuFeatures &cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}

std::atomic<bool> extensionsAllowed{true};

}  // namespace

bool ddsCpuHasSsse3() { return extensionsAllowed.load(std::memory_order_relaxed) && cpuFeatures().ssse3; }

bool ddsCpuHasAvx2() { return extensionsAllowed.load(std::memory_order_relaxed) && cpuFeatures().avx2; }

void ddsAllowCpuExtensions(bool allowed) { extensionsAllowed.store(allowed, std::memory_order_relaxed); }
