#include "common/hdr_map.h"

#include "common/channel_rules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

// The exposure the rule computes with: beyond 200 stops the bytes do not
// change (hdr_map.h), and 2^(exposure / 100) stays a finite double.
constexpr int32_t LargestExposure = 20000;

int32_t limitedExposure(int32_t exposure) {
    return exposure < -LargestExposure ? -LargestExposure : exposure > LargestExposure ? LargestExposure : exposure;
}

double scaleOf(int32_t exposure) { return std::exp2(limitedExposure(exposure) / 100.0); }

// The sRGB transfer function of x at or above 0, going on above 1.
double srgbCurve(double x) { return x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1.0 / 2.4) - 0.055; }

// The rule's byte of an exposed value `x` (the value times the scale).
uint8_t exposedByte(double x, bool srgb) {
    if (!(x > 0.0)) return 0;  // NaN, -0, 0 and negative values
    if (srgb) x = srgbCurve(x);
    if (!(x < 1.0)) return 255;  // 1 and above, +inf
    return static_cast<uint8_t>(std::floor(255.0 * x + 0.5));
}


// The smallest value whose exposed byte is at least `byte` (1 to 255), by
// the inverse of the rule: where to start looking for it.
double thresholdOf(uint32_t byte, bool srgb, double scale) {
    const double y = (byte - 0.5) / 255.0;
    const double x = !srgb ? y : y <= 0.04045 ? y / 12.92 : std::pow((y + 0.055) / 1.055, 2.4);
    return x / scale;
}

// What a table's entries are built from: entry h stands for the value of
// half h times 2^-shift, exposed by `scale`.
struct Entries {
    double scale;
    int shift;
    bool srgb;
    double subnormalStep;  // 2^(-24 - shift), the value of half 1
    bool scaled;           // ddsHdrScaledByte with halfScale
    float halfScale;

    // The value of finite non-negative half `half` (below 0x7C00) times
    // 2^-shift, exactly: a normal half's exponent and mantissa moved into a
    // double's (the shift keeps it far inside the double's range).
    double value(uint32_t half) const {
        if (half < 0x400) return static_cast<double>(half) * subnormalStep;
        const uint64_t exponent = static_cast<uint64_t>(static_cast<int64_t>(half >> 10) - 15 - shift + 1023);
        const uint64_t bits = exponent << 52 | static_cast<uint64_t>(half & 0x3FF) << 42;
        double result;
        std::memcpy(&result, &bits, sizeof result);
        return result;
    }
    uint8_t byte(uint32_t half) const {
        return scaled ? ddsHdrScaledByte(static_cast<float>(value(half)), halfScale) : exposedByte(value(half) * scale, srgb);
    }
};

// The first finite half from `from` on whose value is at least `threshold`
// (0x7C00 when none is).
uint32_t firstAtLeast(const Entries &entries, uint32_t from, double threshold) {
    uint32_t low = from, high = 0x7C00;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if (entries.value(middle) < threshold) low = middle + 1;
        else high = middle;
    }
    return low;
}

// The first finite half from `from` on whose byte is at least `byte`: the
// rule's bytes rise with the half's bits, so the inverse's guess is moved
// down while the half before it reaches the byte too, and up while it does
// not reach it (rounding can put the guess a half off).
uint32_t firstReaching(const Entries &entries, uint32_t from, uint32_t byte) {
    uint32_t half = firstAtLeast(entries, from, thresholdOf(byte, entries.srgb, entries.scale));
    while (half > from && entries.byte(half - 1) >= byte) --half;
    while (half < 0x7C00 && entries.byte(half) < byte) ++half;
    return half;
}

// floor(a / b) for b > 0.
int32_t floorDivide(int32_t a, int32_t b) { return a / b - (a % b < 0 ? 1 : 0); }

// The rule's value of half `half` before rounding, 255 x, unclamped above
// 1 (the sRGB curve goes on above it).
double srgbValue(const Entries &entries, uint32_t half) { return 255.0 * srgbCurve(entries.value(half) * entries.scale); }

// Whether every half of segment `segment` has its byte on its line within
// 1 of its entry's (Write: and then takes it).  A level line is one byte,
// and the entries rise with the halves, so their first and last tell.
template <bool Write>
bool onLine(DdsHdrTable *table, uint32_t segment) {
    const uint32_t entry = ddsHdrSegmentEntry(*table, segment);
    const uint32_t base = table->segmentBase[entry], slope = table->segmentSlope[entry];
    uint8_t *bytes = table->bytes + segment * 256;
    if (slope == 0) {
        const uint32_t level = ddsHdrLineByte(base, 0, 0);
        if constexpr (Write) std::memset(bytes, static_cast<int>(level), 256);
        return bytes[0] + 1u >= level && bytes[255] <= level + 1;
    }
    uint32_t far = 0;  // the halves more than 1 off
    for (uint32_t low = 0; low < 256; ++low) {
        const uint32_t byte = ddsHdrLineByte(base, slope, low);
        far += byte + 1 - bytes[low] > 2;  // wraps below 0
        if constexpr (Write) bytes[low] = static_cast<uint8_t>(byte);
    }
    return far == 0;
}

// The segments of a table of halves with sRGB whose entries hold the rule's
// bytes (hdr_map.h): the entries from the segment before the first one
// whose bytes are not all 0, each a line through the rule's values at its
// two ends, or 0 or 255 where the segment's bytes all are; where every
// finite half's byte on them is within 1 of its entry, the entries become
// those bytes.
void segmentTable(const Entries &entries, DdsHdrTable *table) {
    constexpr uint32_t finiteSegments = 0x7C00 >> 8;
    uint32_t first = 0;
    while (first < finiteSegments && table->bytes[first * 256 + 255] == 0) ++first;
    table->segmentsBelow = static_cast<uint16_t>(first == 0 ? 0 : first - 1);
    for (uint32_t entry = 0; entry < ddsHdrSegments; ++entry) {
        const uint32_t segment = table->segmentsBelow + entry, start = segment * 256;
        double base = 0.0, slope = 0.0;  // in bytes
        if (entry == ddsHdrSegments - 1 || segment >= finiteSegments || table->bytes[start] == 255) {
            base = 255.0;
        } else if (table->bytes[start + 255] != 0) {
            base = srgbValue(entries, start);
            slope = srgbValue(entries, start + 256) - base;
        }
        table->segmentBase[entry] = static_cast<uint16_t>(std::min(base * 128.0 + 64.5, 65535.0));
        table->segmentSlope[entry] = static_cast<uint16_t>(std::min(slope * 128.0 + 0.5, 65535.0));
    }
    for (uint32_t segment = 0; segment < finiteSegments; ++segment) {
        if (!onLine<false>(table, segment)) return;
    }
    for (uint32_t segment = 0; segment < finiteSegments; ++segment) onLine<true>(table, segment);
    table->segmented = true;
}

}  // namespace

uint8_t ddsHdrByte(double value, int32_t exposure, bool srgb) { return exposedByte(value * scaleOf(exposure), srgb); }

void ddsBuildHdrTable(int32_t exposure, bool srgb, HdrValues values, DdsHdrTable *table) {
    // Floats: a shift of 8 + floor(exposure / 100) takes the value 1 / s,
    // 2^-(exposure / 100), to between 2^7 and 2^8.
    const int shift = values == HdrValues::Floats ? 8 + floorDivide(limitedExposure(exposure), 100) : 0;
    const double scale = scaleOf(exposure);
    const double halfScale = std::min(std::max(255.0 * scale, std::ldexp(1.0, -100)), std::ldexp(1.0, 100));
    const Entries entries{scale, shift, srgb, std::ldexp(1.0, -24 - shift), values == HdrValues::Halves && !srgb,
                          static_cast<float>(halfScale)};
    table->floatOffset = (112 - shift) * 1024;  // a float's exponent bias 127 less a half's 15, and the shift
    table->scale = scale;
    table->srgb = srgb;
    table->scaled = entries.scaled;
    table->halfScale = entries.halfScale;
    // Each byte from the first half that reaches it to the first that
    // reaches the next; +inf 255, NaN 0.
    uint32_t start = 0;
    for (uint32_t byte = 0; byte < 256; ++byte) {
        const uint32_t end = byte == 255 ? 0x7C00 : firstReaching(entries, start, byte + 1);
        std::memset(table->bytes + start, static_cast<int>(byte), end - start);
        start = end;
    }
    table->bytes[0x7C00] = 255;
    std::memset(table->bytes + 0x7C01, 0, ddsHdrEntries - 0x7C01);
    table->segmented = false;
    if (values == HdrValues::Halves && srgb) segmentTable(entries, table);
}

void ddsBuildPlainHalfTable(DdsHdrTable *table) {
    for (uint32_t half = 0; half < ddsHdrEntries; ++half) table->bytes[half] = ddsHalfToUnorm8(half);
    table->floatOffset = 0;
    table->scale = 1.0;
    table->srgb = false;
    table->scaled = false;
    table->halfScale = 255.0f;
    table->segmented = false;
}

uint8_t ddsHdrSubnormalByte(const DdsHdrTable &table, uint32_t bits) {
    return exposedByte(std::ldexp(static_cast<double>(bits), -149) * table.scale, table.srgb);
}
