#include "common/cpu_features.h"

#include <atomic>

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

struct CpuFeatures {
    bool ssse3;
    bool avx2;
    bool avx512;
};

#if defined(__i386__) || defined(__x86_64__)

// The state components the system saves on a context switch (XCR0): bit 1
// the SSE registers, bit 2 the upper halves of the AVX ones, bits 5 to 7
// the AVX-512 mask registers, upper halves and upper sixteen registers.
uint32_t savedStateComponents() {
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    (void)high;
    return low;
}

CpuFeatures detect() {
    CpuFeatures features{false, false, false};
    unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return features;
    features.ssse3 = (ecx & bit_SSSE3) != 0;
    // AVX2 needs the processor's AVX and AVX2, and a system that has turned
    // on XGETBV (OSXSAVE) and saves the YMM registers.
    const bool osSaves = (ecx & bit_OSXSAVE) != 0 && (ecx & bit_AVX) != 0 && (savedStateComponents() & 6) == 6;
    if (!osSaves || __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) == 0) return features;
    features.avx2 = (ebx & bit_AVX2) != 0;
    // AVX-512: the foundation, byte and word, and 256-bit forms, and the
    // system saving the mask and 512-bit registers.
    const uint32_t avx512 = bit_AVX512F | bit_AVX512BW | bit_AVX512VL;
    features.avx512 = features.avx2 && (ebx & avx512) == avx512 && (savedStateComponents() & 0xE6) == 0xE6;
    return features;
}

#else

CpuFeatures detect() { return CpuFeatures{false, false, false}; }

#endif

const CpuFeatures &cpuFeatures() {
    static const CpuFeatures features = detect();
    return features;
}

std::atomic<CpuExtension> highestAllowed{CpuExtension::Avx512};

bool allowed(CpuExtension extension) {
    return static_cast<uint8_t>(highestAllowed.load(std::memory_order_relaxed)) >= static_cast<uint8_t>(extension);
}

}  // namespace

bool ddsCpuHasSsse3() { return allowed(CpuExtension::Ssse3) && cpuFeatures().ssse3; }

bool ddsCpuHasAvx2() { return allowed(CpuExtension::Avx2) && cpuFeatures().avx2; }

bool ddsCpuHasAvx512() { return allowed(CpuExtension::Avx512) && cpuFeatures().avx512; }

void ddsAllowCpuExtensionsUpTo(CpuExtension highest) { highestAllowed.store(highest, std::memory_order_relaxed); }

void ddsAllowCpuExtensions(bool allowed) { ddsAllowCpuExtensionsUpTo(allowed ? CpuExtension::Avx512 : CpuExtension::None); }
