// The sixteen colour endpoint modes, LDR and HDR: how a partition's
// unquantised endpoint integers become its endpoints.

#include "astc/astc_endpoints.h"

#include <cstddef>
#include <utility>

#include "astc/astc_ise.h"
#include "common/channel_rules.h"

namespace {

// Endpoints while they are worked out: plain ints, LDR bytes or HDR
// 12-bit values, possibly out of range until clamped.
struct Rgba {
    int c[4];
};

int clampTo(int value, int high) { return value < 0 ? 0 : value > high ? high : value; }

// floor(value / 2) for any sign (a right shift of a negative value is not
// portable C++17).
int halfFloor(int value) { return value >= 0 ? value / 2 : -((1 - value) / 2); }

// Moves the top bit of `a` into `b` (shifting b down) and leaves in `a` its
// bits 1 to 6 as a signed offset, -32 to 31.
void bitTransferSigned(int &a, int &b) {
    b = b >> 1 | (a & 0x80);
    a = (a >> 1) & 0x3F;
    if (a & 0x20) a -= 0x40;
}

// Pulls red and green towards blue: extra precision near grey.
Rgba blueContract(int r, int g, int b, int a) { return {{halfFloor(r + b), halfFloor(g + b), b, a}}; }

void clampUnorm8(Rgba &e0, Rgba &e1) {
    for (int c = 0; c < 4; ++c) e0.c[c] = clampTo(e0.c[c], 255), e1.c[c] = clampTo(e1.c[c], 255);
}

// RGB(A) direct (modes 8 and 12): the endpoints swapped and blue-contracted
// when the second one is darker.
void rgbDirect(const int *v, int a0, int a1, Rgba &e0, Rgba &e1) {
    if (v[1] + v[3] + v[5] >= v[0] + v[2] + v[4]) {
        e0 = {{v[0], v[2], v[4], a0}};
        e1 = {{v[1], v[3], v[5], a1}};
    } else {
        e0 = blueContract(v[1], v[3], v[5], a1);
        e1 = blueContract(v[0], v[2], v[4], a0);
    }
}

// RGB(A) base + offset (modes 9 and 13); alpha's pair in v[6], v[7] when
// `alpha`, else opaque.
void rgbBaseOffset(int *v, bool alpha, Rgba &e0, Rgba &e1) {
    for (int i = 0; i < (alpha ? 8 : 6); i += 2) bitTransferSigned(v[i + 1], v[i]);
    const int a0 = alpha ? v[6] : 255, a1 = alpha ? v[6] + v[7] : 255;
    if (v[1] + v[3] + v[5] >= 0) {
        e0 = {{v[0], v[2], v[4], a0}};
        e1 = {{v[0] + v[1], v[2] + v[3], v[4] + v[5], a1}};
    } else {
        e0 = blueContract(v[0] + v[1], v[2] + v[3], v[4] + v[5], a1);
        e1 = blueContract(v[0], v[2], v[4], a0);
    }
    clampUnorm8(e0, e1);
}

// Decodes the LDR modes to bytes; false for an HDR mode.
bool ldrEndpoints(unsigned cem, int *v, Rgba &e0, Rgba &e1) {
    switch (cem) {
        case 0:  // luminance, direct
            e0 = {{v[0], v[0], v[0], 255}};
            e1 = {{v[1], v[1], v[1], 255}};
            return true;
        case 1: {  // luminance, base + offset
            const int l0 = v[0] >> 2 | (v[1] & 0xC0);
            const int l1 = l0 + (v[1] & 0x3F) > 255 ? 255 : l0 + (v[1] & 0x3F);
            e0 = {{l0, l0, l0, 255}};
            e1 = {{l1, l1, l1, 255}};
            return true;
        }
        case 4:  // luminance + alpha, direct
            e0 = {{v[0], v[0], v[0], v[2]}};
            e1 = {{v[1], v[1], v[1], v[3]}};
            return true;
        case 5:  // luminance + alpha, base + offset
            bitTransferSigned(v[1], v[0]);
            bitTransferSigned(v[3], v[2]);
            e0 = {{v[0], v[0], v[0], v[2]}};
            e1 = {{v[0] + v[1], v[0] + v[1], v[0] + v[1], v[2] + v[3]}};
            clampUnorm8(e0, e1);
            return true;
        case 6:  // RGB, base + scale
        case 10:  // RGB, base + scale, two alphas
            e0 = {{v[0] * v[3] >> 8, v[1] * v[3] >> 8, v[2] * v[3] >> 8, cem == 10 ? v[4] : 255}};
            e1 = {{v[0], v[1], v[2], cem == 10 ? v[5] : 255}};
            return true;
        case 8: rgbDirect(v, 255, 255, e0, e1); return true;
        case 9: rgbBaseOffset(v, false, e0, e1); return true;
        case 12: rgbDirect(v, v[6], v[7], e0, e1); return true;
        case 13: rgbBaseOffset(v, true, e0, e1); return true;
        default: return false;
    }
}

// HDR luminance, large range (mode 2).
void hdrLuminanceLarge(const int *v, Rgba &e0, Rgba &e1) {
    const bool ordered = v[1] >= v[0];
    const int y0 = ordered ? v[0] << 4 : (v[1] << 4) + 8, y1 = ordered ? v[1] << 4 : (v[0] << 4) - 8;
    e0 = {{y0, y0, y0, 0}};
    e1 = {{y1, y1, y1, 0}};
}

// HDR luminance, small range (mode 3): a base and a positive offset,
// the top bit of v0 choosing how the bits of v1 are shared between them.
void hdrLuminanceSmall(const int *v, Rgba &e0, Rgba &e1) {
    int y0, d;
    if (v[0] & 0x80) {
        y0 = (v[1] & 0xE0) << 4 | (v[0] & 0x7F) << 2;
        d = (v[1] & 0x1F) << 2;
    } else {
        y0 = (v[1] & 0xF0) << 4 | (v[0] & 0x7F) << 1;
        d = (v[1] & 0x0F) << 1;
    }
    const int y1 = clampTo(y0 + d, 0xFFF);
    e0 = {{y0, y0, y0, 0}};
    e1 = {{y1, y1, y1, 0}};
}

// A spare bit of the HDR RGB modes: under the bit allocations in
// `allocations` (bit k for allocation k), bit `bit` of endpoint integer
// `value` becomes bit `at` of part `part`.
struct SpareBit {
    uint8_t allocations, part, value, bit, at;
};

template <size_t N>
void placeSpareBits(const SpareBit (&spares)[N], int allocation, const int *v, int *parts) {
    for (const SpareBit &s : spares)
        if (s.allocations >> allocation & 1) parts[s.part] |= (v[s.value] >> s.bit & 1) << s.at;
}

// Mode 7's parts: red, green, blue, scale.
constexpr SpareBit ScaleSpareBits[] = {
    {0x30, 1, 1, 6, 6}, {0x3A, 1, 1, 5, 5},  {0x30, 2, 2, 6, 6}, {0x3A, 2, 2, 5, 5},  {0x3D, 3, 3, 5, 5},  {0x2D, 3, 3, 6, 6},
    {0x04, 3, 3, 7, 7}, {0x3B, 0, 3, 7, 6},  {0x04, 0, 2, 5, 6}, {0x10, 0, 3, 6, 7},  {0x0F, 0, 2, 6, 7},  {0x05, 0, 1, 5, 8},
    {0x0A, 0, 1, 6, 8}, {0x05, 0, 1, 6, 9},  {0x02, 0, 3, 5, 9}, {0x01, 0, 2, 5, 10}, {0x02, 0, 3, 6, 10},
};

// Mode 11's parts: a, b0, b1, c.
constexpr SpareBit DirectSpareBits[] = {
    {0xA4, 0, 2, 6, 9}, {0x08, 0, 4, 6, 9}, {0x50, 0, 4, 5, 9}, {0x50, 0, 5, 5, 10}, {0xA0, 0, 3, 6, 10},
    {0xC0, 0, 4, 6, 11}, {0x04, 3, 3, 6, 6}, {0xE8, 3, 5, 6, 6}, {0x20, 3, 4, 6, 7}, {0x5B, 1, 2, 6, 6},
    {0x5B, 2, 3, 6, 6}, {0x12, 1, 4, 6, 7}, {0x12, 2, 5, 6, 7},
};

// HDR RGB, base + scale (mode 7): a base colour with the major component in
// red, and a scale subtracted from it for endpoint 0.  Four bits spread
// over v0 to v2 give the major component and one of six bit allocations,
// which decides where the spare bits X0 to X6 go.
void hdrRgbScale(const int *v, Rgba &e0, Rgba &e1) {
    const int modeValue = (v[0] & 0xC0) >> 6 | (v[1] & 0x80) >> 5 | (v[2] & 0x80) >> 4;
    int major, mode;
    if ((modeValue & 0xC) != 0xC) {
        major = modeValue >> 2;
        mode = modeValue & 3;
    } else if (modeValue != 0xF) {
        major = modeValue & 3;
        mode = 4;
    } else {
        major = 0;
        mode = 5;
    }
    int parts[4] = {v[0] & 0x3F, v[1] & 0x1F, v[2] & 0x1F, v[3] & 0x1F};
    placeSpareBits(ScaleSpareBits, mode, v, parts);
    // Up to the top of 12 bits.
    constexpr int shifts[6] = {1, 1, 2, 3, 4, 5};
    int red = parts[0] << shifts[mode], green = parts[1] << shifts[mode], blue = parts[2] << shifts[mode];
    const int scale = parts[3] << shifts[mode];
    // The minor components are stored as differences from the major one.
    if (mode != 5) {
        green = red - green;
        blue = red - blue;
    }
    if (major == 1) std::swap(red, green);
    if (major == 2) std::swap(red, blue);
    e1 = {{clampTo(red, 0xFFF), clampTo(green, 0xFFF), clampTo(blue, 0xFFF), 0}};
    e0 = {{clampTo(red - scale, 0xFFF), clampTo(green - scale, 0xFFF), clampTo(blue - scale, 0xFFF), 0}};
}

// HDR RGB, direct (mode 11, also the colour of modes 14 and 15): either
// both endpoints stated outright (major component bits both set), or a
// major component a with differences b0, b1 (minor components), c (endpoint
// 0 from endpoint 1) and d0, d1, under one of eight bit allocations.
void hdrRgbDirect(const int *v, Rgba &e0, Rgba &e1) {
    const int major = (v[4] & 0x80) >> 7 | (v[5] & 0x80) >> 6;
    if (major == 3) {
        e0 = {{v[0] << 4, v[2] << 4, (v[4] & 0x7F) << 5, 0}};
        e1 = {{v[1] << 4, v[3] << 4, (v[5] & 0x7F) << 5, 0}};
        return;
    }
    const int mode = (v[1] & 0x80) >> 7 | (v[2] & 0x80) >> 6 | (v[3] & 0x80) >> 5;
    int parts[4] = {v[0] | (v[1] & 0x40) << 2, v[2] & 0x3F, v[3] & 0x3F, v[1] & 0x3F};
    placeSpareBits(DirectSpareBits, mode, v, parts);
    constexpr unsigned dBits[8] = {7, 6, 7, 6, 5, 6, 5, 6};
    // Up to the top of 12 bits (d0 and d1 may be negative: multiplied).
    const int scale = 1 << ((mode >> 1) ^ 3);
    const int a = parts[0] * scale, b0 = parts[1] * scale, b1 = parts[2] * scale, c = parts[3] * scale;
    const int d0 = ddsSignExtend(static_cast<uint32_t>(v[4]), dBits[mode]) * scale;
    const int d1 = ddsSignExtend(static_cast<uint32_t>(v[5]), dBits[mode]) * scale;
    e1 = {{clampTo(a, 0xFFF), clampTo(a - b0, 0xFFF), clampTo(a - b1, 0xFFF), 0}};
    e0 = {{clampTo(a - c, 0xFFF), clampTo(a - b0 - c - d0, 0xFFF), clampTo(a - b1 - c - d1, 0xFFF), 0}};
    if (major == 1) {
        std::swap(e0.c[0], e0.c[1]);
        std::swap(e1.c[0], e1.c[1]);
    } else if (major == 2) {
        std::swap(e0.c[0], e0.c[2]);
        std::swap(e1.c[0], e1.c[2]);
    }
}

// HDR alpha (mode 15): stated outright (both mode bits set), or a base and
// a signed difference sharing v6 and v7's bits, in 12-bit logarithmic form.
void hdrAlpha(int v6, int v7, int &a0, int &a1) {
    const int mode = (v6 >> 7 & 1) | (v7 >> 6 & 2);
    v6 &= 0x7F;
    v7 &= 0x7F;
    if (mode == 3) {
        a0 = v6 << 5;
        a1 = v7 << 5;
        return;
    }
    v6 |= (v7 << (mode + 1)) & 0x780;
    v7 &= 0x3F >> mode;
    v7 ^= 0x20 >> mode;
    v7 -= 0x20 >> mode;
    v6 <<= 4 - mode;
    v7 *= 1 << (4 - mode);
    a0 = v6;
    a1 = clampTo(v7 + v6, 0xFFF);
}

// Decodes the HDR modes to 12-bit values; an alpha left at -1 is LDR.
void hdrEndpoints(unsigned cem, const int *v, Rgba &e0, Rgba &e1, bool &alphaHdr) {
    alphaHdr = true;
    switch (cem) {
        case 2: hdrLuminanceLarge(v, e0, e1); break;
        case 3: hdrLuminanceSmall(v, e0, e1); break;
        case 7: hdrRgbScale(v, e0, e1); break;
        default: hdrRgbDirect(v, e0, e1); break;
    }
    if (cem == 14) {
        // Alpha as LDR bytes, interpolated as in the LDR modes.
        e0.c[3] = v[6];
        e1.c[3] = v[7];
        alphaHdr = false;
    } else if (cem == 15) {
        hdrAlpha(v[6], v[7], e0.c[3], e1.c[3]);
    } else {
        // Opaque: 0x780 is 1.0 in the 12-bit logarithmic form.
        e0.c[3] = e1.c[3] = 0x780;
    }
}

// The endpoints as 16-bit values: a 12-bit HDR value times 16, an LDR
// byte times 257.  Called with constant flags, so that the LDR modes, nearly
// every block, get a copy without a choice in it.
inline void storeEndpoints(const Rgba &e0, const Rgba &e1, bool hdrColour, bool hdrAlpha, AstcEndpoints *endpoints) {
    for (unsigned c = 0; c < 4; ++c) {
        const bool hdr = c < 3 ? hdrColour : hdrAlpha;
        endpoints->low[c] = static_cast<uint16_t>(hdr ? e0.c[c] << 4 : e0.c[c] * 257);
        endpoints->high[c] = static_cast<uint16_t>(hdr ? e1.c[c] << 4 : e1.c[c] * 257);
        endpoints->hdr[c] = hdr;
    }
}

// Decodes the endpoints of mode `cem` from its unquantised values.
void decodeEndpoints(unsigned cem, const uint8_t *values, AstcEndpoints *endpoints) {
    int v[8];
    for (unsigned i = 0; i < astcEndpointValueCount(cem); ++i) v[i] = values[i];
    Rgba e0, e1;
    if (ldrEndpoints(cem, v, e0, e1)) return storeEndpoints(e0, e1, false, false, endpoints);
    bool alphaHdr = false;
    hdrEndpoints(cem, v, e0, e1, alphaHdr);
    storeEndpoints(e0, e1, true, alphaHdr, endpoints);
}

}  // namespace

void astcReadEndpoints(const AstcBits &bits, const AstcBlockLayout &layout, AstcEndpoints endpoints[4]) {
    uint8_t values[18 + 4];
    astcDecodeColourValues(bits, layout, values);
    for (unsigned p = 0, first = 0; p < layout.partitionCount; ++p) {
        decodeEndpoints(layout.cems[p], values + first, &endpoints[p]);
        first += astcEndpointValueCount(layout.cems[p]);
    }
}
