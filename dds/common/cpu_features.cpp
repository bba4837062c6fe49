#include "common/cpu_features.h"

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

CpuFeatures detect() {
    CpuFeatures features{false, false};
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    features.ssse3 = (ecx & bit_SSSE3) != 0;
    // AVX2 needs the instructions and the system's saving of the 256-bit
    // registers: XGETBV's bits 1 and 2 (SSE and AVX state).
    const bool osSavesAvx = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0;
    if (!osSavesAvx || __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return features;
    unsigned int xcr0 = 0, xcr0High = 0;
    __asm__("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
    features.avx2 = (ebx & bit_AVX2) != 0 && (xcr0 & 6) == 6;
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
