#include "astc/astc_layout.h"

#include "astc/astc_ise.h"
#include "astc/astc_texel.h"
#include "common/channel_rules.h"

namespace {

constexpr unsigned bitsOf(uint32_t value, unsigned start, unsigned count) {
    return (value >> start) & ((1u << count) - 1);
}

// The grid size of a mode whose bits 0 and 1 are not both zero: five
// layouts told apart by bits 2 and 3 (and 8), with A in bits 5-6 and B in
// bits 7-8 (or bit 7 alone).
constexpr void gridOfLowModes(uint32_t m, unsigned *width, unsigned *height) {
    const unsigned a = bitsOf(m, 5, 2), b = bitsOf(m, 7, 2);
    switch (bitsOf(m, 2, 2)) {
        case 0: *width = b + 4, *height = a + 2; break;
        case 1: *width = b + 8, *height = a + 2; break;
        case 2: *width = a + 2, *height = b + 8; break;
        default:
            if (bitsOf(m, 8, 1)) *width = bitsOf(m, 7, 1) + 2, *height = a + 2;
            else *width = a + 2, *height = bitsOf(m, 7, 1) + 6;
            break;
    }
}

// The grid size of a mode whose bits 0 and 1 are zero (and bits 2 and 3
// not): told apart by bits 7 and 8.  False for the reserved layouts.
constexpr bool gridOfHighModes(uint32_t m, unsigned *width, unsigned *height) {
    const unsigned a = bitsOf(m, 5, 2);
    switch (bitsOf(m, 7, 2)) {
        case 0: *width = 12, *height = a + 2; return true;
        case 1: *width = a + 2, *height = 12; return true;
        case 2: *width = a + 6, *height = bitsOf(m, 9, 2) + 6; return true;
        default:
            if (bitsOf(m, 6, 1)) return false;
            if (bitsOf(m, 5, 1)) *width = 10, *height = 6;
            else *width = 6, *height = 10;
            return true;
    }
}

// The endpoint range of a block: the largest whose integers fit in the
// bits left between the configuration and the weights, for each count of
// endpoint integers (2 to 18, by pairs) and each number of bits left (0 to
// 127); -1 where even 6 levels do not fit.
struct ColourRangeTable {
    int8_t ranges[10][128];
};
constexpr ColourRangeTable buildColourRanges() {
    ColourRangeTable table{};
    for (unsigned pairs = 1; pairs <= 9; ++pairs) {
        for (unsigned available = 0; available < 128; ++available) {
            int best = -1;
            for (unsigned range = kAstcSmallestColourRange; range < kAstcRangeCount; ++range)
                if (astcIseBitCount(range, 2 * pairs) <= available) best = static_cast<int>(range);
            table.ranges[pairs][available] = static_cast<int8_t>(best);
        }
    }
    return table;
}
constexpr ColourRangeTable ColourRanges = buildColourRanges();

// Decodes the 11 mode bits.  False for a reserved mode (void-extent blocks
// included), and for a grid of more than 64 weights or of fewer than 24 or
// more than 96 bits.
constexpr bool decodeBlockMode(uint32_t modeBits, AstcBlockMode *mode) {
    const uint32_t m = modeBits & 0x7FF;
    unsigned width = 0, height = 0, rangeBits = 0;
    bool highPrecision = bitsOf(m, 9, 1) != 0, dualPlane = bitsOf(m, 10, 1) != 0;
    if (bitsOf(m, 0, 2) != 0) {
        rangeBits = bitsOf(m, 4, 1) | bitsOf(m, 0, 2) << 1;
        gridOfLowModes(m, &width, &height);
    } else {
        rangeBits = bitsOf(m, 4, 1) | bitsOf(m, 2, 2) << 1;
        if (bitsOf(m, 2, 2) == 0 || !gridOfHighModes(m, &width, &height)) return false;
        if (bitsOf(m, 7, 2) == 2) highPrecision = dualPlane = false;  // bits 9 and 10 hold B there
    }
    // Range bits 2 to 7 pick 2, 3, 4, 5, 6, 8 levels, or with the precision
    // bit 10, 12, 16, 20, 24, 32.
    const unsigned range = rangeBits - 2 + (highPrecision ? 6u : 0u);
    const unsigned planes = dualPlane ? 2 : 1;
    const unsigned count = width * height * planes;
    if (count > 64) return false;
    const unsigned bits = astcIseBitCount(range, count);
    if (bits < 24 || bits > 96) return false;
    *mode = {static_cast<uint8_t>(width), static_cast<uint8_t>(height), static_cast<uint8_t>(range),
             static_cast<uint8_t>(planes), static_cast<uint8_t>(count), static_cast<uint8_t>(bits)};
    return true;
}

// decodeBlockMode's answer for each of the 2048 mode values.
struct BlockModeTable {
    AstcBlockMode modes[2048];
    bool legal[2048];
};

constexpr BlockModeTable buildBlockModes() {
    BlockModeTable table{};
    for (uint32_t m = 0; m < 2048; ++m) table.legal[m] = decodeBlockMode(m, &table.modes[m]);
    return table;
}

const BlockModeTable BlockModes = buildBlockModes();

// The layout of a block whose mode decoded to `mode` (a grid that fits the
// footprint).  The extra mode bits of partitions of different classes,
// then the second plane's channel, sit right under the weights.
bool parseLayout(const AstcBits &bits, const AstcBlockMode &mode, AstcBlockLayout *layout) {
    layout->mode = mode;
    layout->partitionCount = astcField(bits, 11, 2) + 1;
    if (mode.planes == 2 && layout->partitionCount == 4) return false;
    unsigned end = 128u - mode.weightBits;
    if (layout->partitionCount == 1) {
        layout->partitionSeed = 0;
        layout->cems[0] = static_cast<uint8_t>(astcField(bits, 13, 4));
        layout->colourStart = 17;
    } else {
        const unsigned count = layout->partitionCount;
        layout->partitionSeed = astcField(bits, 13, 10);
        layout->colourStart = 29;
        uint32_t field = astcField(bits, 23, 6);
        const unsigned selector = field & 3;
        if (selector == 0) {
            for (unsigned p = 0; p < count; ++p) layout->cems[p] = static_cast<uint8_t>(field >> 2);
        } else {
            // Each partition has a class bit C (its class is selector - 1 or
            // the next) and two low mode bits M: C0..C(n-1), then M0..M(n-1),
            // the ones past bit 28 taken from under the weights.
            const unsigned extra = 3 * count - 4;
            end -= extra;
            field |= astcField(bits, end, extra) << 6;
            for (unsigned p = 0; p < count; ++p) {
                const unsigned cemClass = selector - 1 + (field >> (2 + p) & 1);
                layout->cems[p] = static_cast<uint8_t>(cemClass << 2 | (field >> (2 + count + 2 * p) & 3));
            }
        }
    }
    layout->planeTwoChannel = -1;
    if (mode.planes == 2) {
        end -= 2;
        layout->planeTwoChannel = static_cast<int>(astcField(bits, end, 2));
    }
    unsigned values = 0;
    for (unsigned p = 0; p < layout->partitionCount; ++p) values += astcEndpointValueCount(layout->cems[p]);
    if (values > 18) return false;
    layout->colourCount = values;
    const int available = static_cast<int>(end) - static_cast<int>(layout->colourStart);
    const int range = available < 0 ? -1 : ColourRanges.ranges[values / 2][available];
    if (range < 0) return false;
    layout->colourRange = static_cast<unsigned>(range);
    return true;
}

}  // namespace

bool astcParseBlock(const AstcBits &bits, unsigned blockWidth, unsigned blockHeight, AstcBlockLayout *layout) {
    const uint32_t modeBits = astcField(bits, 0, 11);
    const AstcBlockMode &mode = BlockModes.modes[modeBits];
    if (!BlockModes.legal[modeBits] || mode.gridWidth > blockWidth || mode.gridHeight > blockHeight) return false;
    return parseLayout(bits, mode, layout);
}

bool astcVoidExtentColour(const AstcBits &bits, uint8_t rgba[4]) {
    if (astcField(bits, 10, 2) != 3) return false;
    const uint32_t lowS = astcField(bits, 12, 13), highS = astcField(bits, 25, 13);
    const uint32_t lowT = astcField(bits, 38, 13), highT = astcField(bits, 51, 13);
    const bool allOnes = (lowS & highS & lowT & highT) == 0x1FFF;
    if (!allOnes && (lowS >= highS || lowT >= highT)) return false;
    const bool hdr = astcField(bits, 9, 1) != 0;
    for (unsigned c = 0; c < 4; ++c) {
        const uint32_t value = astcField(bits, 64 + 16 * c, 16);
        if (hdr && astcHalfIsNan(value)) return false;
        rgba[c] = hdr ? ddsHalfToUnorm8(value) : astcUnormByte(value);
    }
    return true;
}
