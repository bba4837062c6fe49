// The SSSE3 ATC block-row kernels (atc_ssse3.cpp).
#ifndef DDS_ATC_SSSE3_H
#define DDS_ATC_SSSE3_H

#include "atc/atc.h"

// The SSSE3 kernel for the format and pixel size (3 or 4); null where the
// build has no SSSE3 paths or the processor lacks SSSE3.
BlockRowKernel ddsAtcSsse3Kernel(AtcFormat format, int bytesPerPixel);

#endif
