#include "astc/astc_ise.h"

#include <cstddef>
#include <utility>

#include "common/channel_rules.h"

namespace {

constexpr unsigned bit(unsigned value, unsigned n) { return value >> n & 1; }

// The five trits packed in each 8-bit value, and the three quints packed in
// each 7-bit value.
struct TritTable {
    uint8_t trits[256][5];
};
struct QuintTable {
    uint8_t quints[128][3];
};

// The five trits of an 8-bit group T, unpacked as ASTC defines it.
constexpr TritTable buildTrits() {
    TritTable table{};
    for (unsigned t = 0; t < 256; ++t) {
        unsigned c = 0, t3 = 0, t4 = 0;
        if ((t >> 2 & 7) == 7) {
            c = (t >> 5 & 7) << 2 | (t & 3);
            t4 = t3 = 2;
        } else {
            c = t & 0x1F;
            if ((t >> 5 & 3) == 3) {
                t4 = 2;
                t3 = bit(t, 7);
            } else {
                t4 = bit(t, 7);
                t3 = t >> 5 & 3;
            }
        }
        unsigned t0 = 0, t1 = 0, t2 = 0;
        if ((c & 3) == 3) {
            t2 = 2;
            t1 = bit(c, 4);
            t0 = bit(c, 3) << 1 | (bit(c, 2) & ~bit(c, 3) & 1);
        } else if ((c >> 2 & 3) == 3) {
            t2 = 2;
            t1 = 2;
            t0 = c & 3;
        } else {
            t2 = bit(c, 4);
            t1 = c >> 2 & 3;
            t0 = bit(c, 1) << 1 | (bit(c, 0) & ~bit(c, 1) & 1);
        }
        const unsigned values[5] = {t0, t1, t2, t3, t4};
        for (unsigned i = 0; i < 5; ++i) table.trits[t][i] = static_cast<uint8_t>(values[i]);
    }
    return table;
}

// The three quints of a 7-bit group Q.
constexpr QuintTable buildQuints() {
    QuintTable table{};
    for (unsigned q = 0; q < 128; ++q) {
        unsigned q0 = 0, q1 = 0, q2 = 0;
        if ((q >> 1 & 3) == 3 && (q >> 5 & 3) == 0) {
            q2 = bit(q, 0) << 2 | (bit(q, 4) & ~bit(q, 0) & 1) << 1 | (bit(q, 3) & ~bit(q, 0) & 1);
            q1 = q0 = 4;
        } else {
            unsigned c = 0;
            if ((q >> 1 & 3) == 3) {
                q2 = 4;
                c = (q >> 3 & 3) << 3 | (~q >> 5 & 3) << 1 | bit(q, 0);
            } else {
                q2 = q >> 5 & 3;
                c = q & 0x1F;
            }
            if ((c & 7) == 5) {
                q1 = 4;
                q0 = c >> 3 & 3;
            } else {
                q1 = c >> 3 & 3;
                q0 = c & 7;
            }
        }
        table.quints[q][0] = static_cast<uint8_t>(q0);
        table.quints[q][1] = static_cast<uint8_t>(q1);
        table.quints[q][2] = static_cast<uint8_t>(q2);
    }
    return table;
}

// The bit pattern B of the unquantisation of trit and quint values: a
// string, highest bit first, of '0' and letters, letter 'a' + n standing
// for bit n of the value's plain low bits.
constexpr unsigned patternValue(const char *pattern, unsigned low) {
    unsigned result = 0;
    for (const char *p = pattern; *p != '\0'; ++p) {
        result <<= 1;
        if (*p != '0') result |= bit(low, static_cast<unsigned>(*p - 'a'));
    }
    return result;
}

// For each trit and quint range: the B pattern and the multiplier C of
// endpoint values (9-bit arithmetic) and of weights (7-bit arithmetic).
struct Unquantisation {
    const char *colourPattern;
    unsigned colourMultiplier;
    const char *weightPattern;
    unsigned weightMultiplier;
};
constexpr Unquantisation unquantisationOf(unsigned range) {
    switch (range) {
        case 4: return {"000000000", 204, "0000000", 50};
        case 6: return {"000000000", 113, "0000000", 28};
        case 7: return {"b000b0bb0", 93, "b000b0b", 23};
        case 9: return {"b0000bb00", 54, "b0000b0", 13};
        case 10: return {"cb000cbcb", 44, "cb000cb", 11};
        case 12: return {"cb0000cbc", 26, "", 0};
        case 13: return {"dcb000dcb", 22, "", 0};
        case 15: return {"dcb0000dc", 13, "", 0};
        case 16: return {"edcb000ed", 11, "", 0};
        case 18: return {"edcb0000e", 6, "", 0};
        case 19: return {"fedcb000f", 5, "", 0};
        default: return {"", 0, "", 0};
    }
}

// A colour endpoint value v of `range` as a byte: plain bits replicated,
// or a trit or quint value unquantised by its pattern.
constexpr unsigned colourValue(unsigned range, unsigned v) {
    const AstcRange &r = kAstcRanges[range];
    const Unquantisation u = unquantisationOf(range);
    const unsigned low = v & ((1u << r.bits) - 1), high = v >> r.bits;
    if (!r.trits && !r.quints) return ddsReplicateBits(v, r.bits, 8);
    const unsigned a = bit(low, 0) ? 0x1FF : 0;
    const unsigned t = (high * u.colourMultiplier + patternValue(u.colourPattern, low)) ^ a;
    return (a & 0x80) | t >> 2;
}

// A weight v of `range` from 0 to 64: 0..63 as the format unquantises it,
// then moved to 0..64 so that interpolation divides by 64.
constexpr unsigned weightValue(unsigned range, unsigned v) {
    const AstcRange &r = kAstcRanges[range];
    const Unquantisation u = unquantisationOf(range);
    const unsigned low = v & ((1u << r.bits) - 1), high = v >> r.bits;
    unsigned result = 0;
    if (!r.trits && !r.quints) {
        result = ddsReplicateBits(v, r.bits, 6);
    } else if (r.bits == 0) {
        // Values without plain bits: trits 0, 32, 63; quints 0, 16, 32, 47, 63.
        result = r.trits ? (high == 0 ? 0u : high == 1 ? 32u : 63u) : (high * 16 - (high >= 3 ? 1 : 0));
    } else {
        const unsigned a = bit(low, 0) ? 0x7F : 0;
        const unsigned t = (high * u.weightMultiplier + patternValue(u.weightPattern, low)) ^ a;
        result = (a & 0x20) | t >> 2;
    }
    return result > 32 ? result + 1 : result;
}

// A stored endpoint value of each range as a byte (0 to 255); a stored
// weight of each weight range as 0 to 64.
struct ColourUnquantTable {
    uint8_t values[kAstcRangeCount][256];
};
struct WeightUnquantTable {
    uint8_t values[kAstcWeightRangeCount][32];
};

// Every value of the ranges from `first` on.
template <typename Table>
constexpr Table buildTable(unsigned first, unsigned ranges, unsigned (*value)(unsigned, unsigned)) {
    Table table{};
    for (unsigned range = first; range < ranges; ++range) {
        for (unsigned v = 0; v < kAstcRanges[range].levels; ++v) table.values[range][v] = static_cast<uint8_t>(value(range, v));
    }
    return table;
}

const TritTable Trits = buildTrits();
const QuintTable Quints = buildQuints();
const ColourUnquantTable ColourUnquant = buildTable<ColourUnquantTable>(kAstcSmallestColourRange, kAstcRangeCount, colourValue);
const WeightUnquantTable WeightUnquant = buildTable<WeightUnquantTable>(0, kAstcWeightRangeCount, weightValue);

// Fields read off the low end of a 128-bit stream.
inline void skipBits(AstcBits &stream, unsigned count) {
    stream.low = stream.low >> count | stream.high << (64 - count);
    stream.high >>= count;
}

// `count` values of range `Range` from bit 0 of `stream` (the sequence's
// end cleared), each mapped through `unquantised` (a weight or endpoint
// table of that range).  Writes up to 4 values past `count` (a whole last
// group).
template <unsigned Range>
void readValues(AstcBits stream, unsigned count, const uint8_t *unquantised, uint8_t *out) {
    constexpr AstcRange r = kAstcRanges[Range];
    constexpr unsigned b = r.bits;
    constexpr uint64_t mask = (1u << b) - 1;
    if constexpr (r.trits != 0) {
        for (unsigned i = 0; i < count; i += 5) {
            const uint64_t g = stream.low;
            const unsigned t = static_cast<unsigned>((g >> b & 3) | (g >> (2 * b + 2) & 3) << 2 |
                                                     (g >> (3 * b + 4) & 1) << 4 | (g >> (4 * b + 5) & 3) << 5 |
                                                     (g >> (5 * b + 7) & 1) << 7);
            constexpr unsigned plainAt[5] = {0, b + 2, 2 * b + 4, 3 * b + 5, 4 * b + 7};
            for (unsigned k = 0; k < 5; ++k)
                out[i + k] = unquantised[uint64_t{Trits.trits[t][k]} << b | (g >> plainAt[k] & mask)];
            skipBits(stream, 5 * b + 8);
        }
    } else if constexpr (r.quints != 0) {
        for (unsigned i = 0; i < count; i += 3) {
            const uint64_t g = stream.low;
            const unsigned q =
                static_cast<unsigned>((g >> b & 7) | (g >> (2 * b + 3) & 3) << 3 | (g >> (3 * b + 5) & 3) << 5);
            constexpr unsigned plainAt[3] = {0, b + 3, 2 * b + 5};
            for (unsigned k = 0; k < 3; ++k)
                out[i + k] = unquantised[uint64_t{Quints.quints[q][k]} << b | (g >> plainAt[k] & mask)];
            skipBits(stream, 3 * b + 7);
        }
    } else {
        for (unsigned i = 0; i < count; ++i) {
            out[i] = unquantised[stream.low & mask];
            skipBits(stream, b);
        }
    }
}

using ValueReader = void (*)(AstcBits, unsigned, const uint8_t *, uint8_t *);

template <size_t... R>
constexpr auto valueReaders(std::index_sequence<R...>) {
    struct Readers {
        ValueReader readers[sizeof...(R)];
    };
    return Readers{{&readValues<R>...}};
}
constexpr auto ValueReaders = valueReaders(std::make_index_sequence<kAstcRangeCount>());

}  // namespace

void astcDecodeColourValues(const AstcBits &bits, const AstcBlockLayout &layout, uint8_t *values) {
    AstcBits stream = astcBitsBelow(bits, layout.colourStart + astcIseBitCount(layout.colourRange, layout.colourCount));
    skipBits(stream, layout.colourStart);
    ValueReaders.readers[layout.colourRange](stream, layout.colourCount, ColourUnquant.values[layout.colourRange], values);
}

void astcDecodeWeights(const AstcBits &bits, const AstcBlockMode &mode, uint8_t *weights) {
    ValueReaders.readers[mode.weightRange](astcBitsBelow(astcReversed(bits), mode.weightBits), mode.weightCount,
                                           WeightUnquant.values[mode.weightRange], weights);
}
