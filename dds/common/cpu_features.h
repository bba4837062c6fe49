// What the processor that runs the plug-in offers beyond the build's
// baseline instruction set, asked once and remembered.  The decoders take
// their wider paths only when it says yes.
#ifndef DDS_CPU_FEATURES_H
#define DDS_CPU_FEATURES_H

#include <cstdint>

// The extensions the decoders use, each implying the ones before it.
enum class CpuExtension : uint8_t { None, Ssse3, Avx2, Avx512 };

// SSSE3: byte shuffles by a table in a register.
bool ddsCpuHasSsse3();

// AVX2: 256-bit integer vectors, with the system saving their registers.
bool ddsCpuHasAvx2();

// AVX-512 (foundation, byte and word, 256-bit forms) beside AVX2, with the
// system saving its registers.
bool ddsCpuHasAvx512();

// Lets the answers above say yes only up to `highest`, so that tests and
// measurements reach each tier on a processor that has them all; Avx512
// gives the processor's answers back.
void ddsAllowCpuExtensionsUpTo(CpuExtension highest);

// ddsAllowCpuExtensionsUpTo(Avx512) for true, (None) for false: the baseline
// paths alone, as on any processor.
void ddsAllowCpuExtensions(bool allowed);

#endif
