// BC6H and BC7: the plain decoders are in bc6h.h and bc7.h; fast.cpp holds
// their speed tiers.
#ifndef DDS_BC6_7_H
#define DDS_BC6_7_H

#include "bc6_7/bc6h.h"
#include "bc6_7/bc7.h"
#include "common/kernels.h"

// The kernels of BC6H (unsigned and signed) and BC7: in portable C++ on
// 64-bit words, and with palettes interpolated in SSE2 lanes.  Null for
// another format, or a build without SSE2.
BlockRowKernel ddsBptcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBptcKernelSse2(BlockFormat format, int bytesPerPixel);

#endif
