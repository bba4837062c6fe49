// Prints the speed tiers the processor running this program offers the
// decoders, asked through the plug-in's own functions
// (dds/common/cpu_features.cpp): .ci/linux32.sh builds it beside the
// linux32 suite and runs it the way the suite runs, natively or under
// qemu-i386, so that the run shows which tiers the suite's tier tests held
// to the plain decoders (each tier runs there where this says yes).
#include <cstdio>

#include "common/cpu_features.h"

int main() {
    std::printf("SSE2 yes (the build's baseline), SSSE3 %s, AVX2 %s, AVX-512 %s\n", ddsCpuHasSsse3() ? "yes" : "no",
                ddsCpuHasAvx2() ? "yes" : "no", ddsCpuHasAvx512() ? "yes" : "no");
    return 0;
}
