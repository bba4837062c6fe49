// What the processor that runs the plug-in offers beyond the build's
// baseline instruction set, asked once and remembered.  The block decoders
// take their wider paths only when these say yes.
#ifndef DDS_CPU_FEATURES_H
#define DDS_CPU_FEATURES_H

// SSSE3: byte shuffles by a table in a register.
bool ddsCpuHasSsse3();

// AVX2, with the operating system saving the 256-bit registers.
bool ddsCpuHasAvx2();

// With false, both of the above answer false from then on, so that the
// baseline paths run on any processor; true gives the processor's answers
// back.  For tests and measurements.
void ddsAllowCpuExtensions(bool allowed);

#endif
