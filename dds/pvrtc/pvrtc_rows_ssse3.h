// The SSSE3 PVRTC1 word rows (pvrtc_rows_ssse3.cpp).
#ifndef DDS_PVRTC_ROWS_SSSE3_H
#define DDS_PVRTC_ROWS_SSSE3_H

#include <cstdint>

// ddsDecodePvrtcWordRow with SSSE3.  Returns false, writing nothing, where
// the build has no SSSE3 paths or the processor lacks SSSE3.
bool ddsDecodePvrtcWordRowSsse3(const uint8_t *above, const uint8_t *row, const uint8_t *below, uint32_t gridWidth,
                                bool twoBitsPerPixel, uint8_t *const rows[4], uint32_t pixelColumns,
                                int bytesPerPixel);

#endif
