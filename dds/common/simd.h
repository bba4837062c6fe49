// Which vector paths this build compiles in.  SSE2 where the compiler
// targets it (every x86-64 build, and 32-bit x86 builds, which are made for
// SSE2); SSSE3 and AVX2 beside it with GCC and clang, which compile single
// functions for them and take them only when the processor says so (no file
// is compiled for AVX2 as a whole, so that none of its instructions reach
// code that a processor without it runs).  A build configured with
// DDSIMAGE_SIMD=OFF (DDSIMAGE_NO_SIMD) compiles none of them: the portable
// paths alone, as on a processor without SSE2.
#ifndef DDS_SIMD_H
#define DDS_SIMD_H

#if defined(__SSE2__) && !defined(DDSIMAGE_NO_SIMD)
#define DDS_HAVE_SSE2 1
#endif

#if defined(DDS_HAVE_SSE2) && defined(__GNUC__)
#define DDS_HAVE_SSSE3 1
// A function compiled for SSSE3, called only where the processor has it.
#define DDS_TARGET_SSSE3 __attribute__((target("ssse3")))
#define DDS_HAVE_AVX2 1
// A function compiled for AVX2, called only where the processor has it
// and the system saves its registers.
#define DDS_TARGET_AVX2 __attribute__((target("avx2")))
#define DDS_HAVE_AVX512 1
// A function compiled for AVX-512 (foundation, byte and word, 256-bit
// forms) beside AVX2, called only where the processor has them and the
// system saves their registers.
#define DDS_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl")))
#endif

#endif
