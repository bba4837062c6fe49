// The sixteen colour endpoint modes: how a partition's unquantised endpoint
// integers (bytes) become its two RGBA endpoints.
#ifndef DDS_ASTC_ENDPOINTS_H
#define DDS_ASTC_ENDPOINTS_H

#include <cstdint>

#include "astc/astc_bits.h"
#include "astc/astc_layout.h"

// A partition's endpoints as the 16-bit values that are interpolated:
// an LDR channel's byte v as v * 257, an HDR channel's 12-bit logarithmic
// value shifted up by 4.  `hdr` tells which channels are HDR.
struct AstcEndpoints {
    uint16_t low[4], high[4];  // endpoint 0 and endpoint 1, R, G, B, A
    bool hdr[4];
};

// Reads the endpoint integers of a block laid out as `layout`, unquantised
// to bytes, and decodes each partition's endpoints from its mode's share of
// them, in partition order.
void astcReadEndpoints(const AstcBits &bits, const AstcBlockLayout &layout, AstcEndpoints endpoints[4]);

// True for the HDR modes 2, 3, 7, 11, 14, 15.
inline bool astcIsHdrMode(unsigned cem) {
    return cem == 2 || cem == 3 || cem == 7 || cem == 11 || cem == 14 || cem == 15;
}

#endif
