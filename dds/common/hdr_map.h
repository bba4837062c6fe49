// The host's HDR preferences, written once: how a BC6H, float,
// packed-float or shared-exponent colour value becomes a byte when the
// import is asked for an exposure or the sRGB transfer function, and the
// table of bytes, built once an image, that every path looks them up in.
// Alpha is never mapped; with neither preference set nothing here is used
// and every byte is the plain rule's (channel_rules.h, wide/wide.h).
#ifndef DDS_COMMON_HDR_MAP_H
#define DDS_COMMON_HDR_MAP_H

#include <algorithm>
#include <cstdint>

// The rule: the value v times 2^(exposure / 100) (exposure in hundredths
// of a stop), through the sRGB transfer function when `srgb` (12.92 x up
// to 0.0031308, else 1.055 x^(1/2.4) - 0.055), clamped to [0, 1] and
// rounded to 8 bits, halves up; NaN, -0 and negative values give 0, +inf
// 255.  In double precision.  Exposures beyond 200 stops either way give
// what 200 stops give: no float or half is small or large enough to tell
// them apart (every positive float times 2^200 is above 1, every finite
// one times 2^-200 below 1/510).
uint8_t ddsHdrByte(double value, int32_t exposure, bool srgb);

// The values an image's table maps: half floats (BC6H, half-float and
// packed-float layouts), or 32-bit floats (float layouts and fields, and
// the shared-exponent layout, whose values are exact floats).  None: the
// image's values are not mapped (no preference set, or no HDR values).
enum class HdrValues : uint8_t { None, Halves, Floats };

// The table's entries: one for each half with the sign bit clear, +0 to
// the largest NaN.
constexpr uint32_t ddsHdrEntries = 0x8000;

// The entries of a table's segments (below).
constexpr uint32_t ddsHdrSegments = 64;

// The byte of every non-negative half h by the rule: for Halves of h's
// value itself, for Floats of h's value times 2^-shift, where the shift
// puts the values whose bytes lie between 0 and 255 (2^-13 / s to 1 / s
// for a scale s of 2^(exposure / 100)) into the halves 2^-6 to 2^8.  A
// float then takes the entry of its exponent and top ten mantissa bits,
// the half of its value times 2^shift with the other 13 bits dropped: its
// value is at most 2^-10 of itself above the entry's, so its byte is
// within 1 of the rule's (exactly it for floats of at most 11 significant
// bits).  Floats below the halves give 0, above them 255, as the rule
// does.  32 KiB, built once an image.
struct DdsHdrTable {
    uint8_t bytes[ddsHdrEntries];
    int32_t floatOffset;  // Floats: a float's bits >> 13, less this, is its entry
    double scale;         // 2^(exposure / 100), and sRGB: for the subnormal floats the entries leave out
    bool srgb;
    bool scaled;          // Halves without sRGB: each entry is ddsHdrScaledByte(its half's value, halfScale)
    float halfScale;
    // Halves with sRGB (their segments, below): whether the entries are the
    // segments' bytes, the segment of entry 0, and each entry's base and
    // slope in 1/128ths of a byte.
    bool segmented;
    uint16_t segmentsBelow;
    uint16_t segmentBase[ddsHdrSegments];
    uint16_t segmentSlope[ddsHdrSegments];
};

// Halves with sRGB, where this is within 1 of the rule for every finite
// half (at exposures from 200 stops down to about 8.6 up; above them the
// smallest halves' segments reach the bend of the sRGB curve): the
// table's bytes come from straight lines, one for each segment of 256
// halves (the halves of one top byte), and the AVX-512 tier computes them
// from the same lines.  Segment s (a half's bits >> 8) takes entry
// s - segmentsBelow, at least 0 and at most 63 (the segments below the
// first entry's give 0, those beyond the last 255), and a half's byte is
// ddsHdrLineByte of its entry's base and slope and its low byte.  Each
// line joins the rule's values, 255 x, before rounding and unclamped above
// 1, at the half that begins its segment and the one that begins the
// next, plus 1/2.
inline uint32_t ddsHdrSegmentEntry(const DdsHdrTable &table, uint32_t segment) {
    return std::min(segment < table.segmentsBelow ? 0 : segment - table.segmentsBelow, ddsHdrSegments - 1);
}

// (base + (slope x low >> 8)) >> 7, the sum at most 0xFFFF, at most 255.
inline uint32_t ddsHdrLineByte(uint32_t base, uint32_t slope, uint32_t low) {
    return std::min(std::min(base + (slope * low >> 8), 0xFFFFu) >> 7, 255u);
}

// Halves without sRGB, the table's entries and what the AVX2 tier computes
// in their place: v (a half's value, exact as a float) times `halfScale`
// (255 x 2^(exposure / 100) as a float, kept between 2^-100 and 2^100,
// where every half's byte is 0 or 255 already), plus 1/2, truncated, in
// float arithmetic; 255 at and above 255.  The product is within 2^-23 of
// its own value, relative, so the byte is within 1 of the rule's.
inline uint8_t ddsHdrScaledByte(float value, float halfScale) {
    const float scaled = value * halfScale;
    if (!(scaled < 255.0f)) return 255;
    const float rounded = scaled + 0.5f;
    return static_cast<uint8_t>(rounded);
}

// Builds `table` for `values` (Halves or Floats): every entry the rule's
// byte, exactly, but for halves without sRGB ddsHdrScaledByte's, and for
// halves with sRGB the segments' bytes where they are within 1 of it.
void ddsBuildHdrTable(int32_t exposure, bool srgb, HdrValues values, DdsHdrTable *table);

// The plain rule's byte of every non-negative half (ddsHalfToUnorm8), for
// the half-float and packed-float layouts imported without a preference:
// a large image's values are looked up faster than converted one by one.
void ddsBuildPlainHalfTable(DdsHdrTable *table);

// The byte of half float `half` (16 bits) from a table of Halves, or
// from its bytes.
inline uint8_t ddsHdrHalfByte(const uint8_t *bytes, uint32_t half) { return (half & 0x8000) != 0 ? 0 : bytes[half]; }
inline uint8_t ddsHdrHalfByte(const DdsHdrTable &table, uint32_t half) { return ddsHdrHalfByte(table.bytes, half); }

// The byte of the float of bits `bits` from a table of Floats.  +inf is
// 255 and negative values, -0 and NaN 0 at any exposure (below 120 stops
// down +inf's entry would be a finite half's); +0 is 0, and the other
// subnormal floats, below every entry, go through the rule.
uint8_t ddsHdrSubnormalByte(const DdsHdrTable &table, uint32_t bits);
inline uint8_t ddsHdrFloatByte(const DdsHdrTable &table, uint32_t bits) {
    if (bits >= 0x7F800000u) return bits == 0x7F800000u ? 255 : 0;
    if (bits < 0x00800000u) return bits == 0 ? 0 : ddsHdrSubnormalByte(table, bits);
    const int32_t entry = static_cast<int32_t>(bits >> 13) - table.floatOffset;
    return table.bytes[entry < 0 ? 0 : entry > 0x7C00 ? 0x7C00 : entry];
}

#endif
