// What the processor that runs the plug-in offers beyond the build's
// baseline instruction set, asked once and remembered.  The decoders take
// their wider paths only when it says yes.
#ifndef DDS_CPU_FEATURES_H
#define DDS_CPU_FEATURES_H

// SSSE3: byte shuffles by a table in a register.
bool ddsCpuHasSsse3();

// AVX2: 256-bit integer vectors, with the system saving their registers.
bool ddsCpuHasAvx2();

// With false, ddsCpuHasSsse3 and ddsCpuHasAvx2 answer false from then on, so that the
// baseline paths run on any processor; true gives the processor's answer
// back.  For tests and measurements.
void ddsAllowCpuExtensions(bool allowed);

#endif
