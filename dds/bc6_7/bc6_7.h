// BC6H and BC7: the plain decoders are in bc6h.h and bc7.h; fast.cpp,
// bc7_avx2.cpp and bc6h_avx2.cpp hold their speed tiers.
#ifndef DDS_BC6_7_H
#define DDS_BC6_7_H

#include "bc6_7/bc6h.h"
#include "bc6_7/bc7.h"
#include "common/kernels.h"

// The kernels of BC6H (unsigned and signed) and BC7, null for another
// format: in portable C++ on 64-bit words, with palettes interpolated in
// SSE2 lanes, and with AVX2 (whole palettes a few instructions, every
// pixel's index at once; bc6h_avx2.cpp, bc7_avx2.cpp).  The SSE2 and AVX2
// ones are compiled only where the build has the extension.
BlockRowKernel ddsBptcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBptcKernelSse2(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBc6hKernelAvx2(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBc7KernelAvx2(BlockFormat format, int bytesPerPixel);

// BC6H's kernels of the same tiers with the image's HDR table: each
// palette entry's half looked up in it (48 lookups a block) where the
// kernels above turn it into a byte by arithmetic (with AVX2 and an
// exposure alone, the table's arithmetic, ddsHdrScaledByte).  Null for another
// format; the SSE2 and AVX2 ones compiled only where the build has the
// extension.
MappedBlockRowKernel ddsBc6hMappedKernelPortable(BlockFormat format, int bytesPerPixel);
MappedBlockRowKernel ddsBc6hMappedKernelSse2(BlockFormat format, int bytesPerPixel);
MappedBlockRowKernel ddsBc6hMappedKernelAvx2(BlockFormat format, int bytesPerPixel);

#endif
