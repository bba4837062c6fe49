#include "astc/astc_ise.h"

#include "common/channel_rules.h"

namespace {

constexpr unsigned bit(unsigned value, unsigned n) { return value >> n & 1; }

// The five trits of an 8-bit group T, unpacked as ASTC defines it.
constexpr AstcTritTable buildTrits() {
    AstcTritTable table{};
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
constexpr AstcQuintTable buildQuints() {
    AstcQuintTable table{};
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

// Every value of the ranges from `first` on.
template <typename Table>
constexpr Table buildTable(unsigned first, unsigned ranges, unsigned (*value)(unsigned, unsigned)) {
    Table table{};
    for (unsigned range = first; range < ranges; ++range) {
        for (unsigned v = 0; v < kAstcRanges[range].levels; ++v) table.values[range][v] = static_cast<uint8_t>(value(range, v));
    }
    return table;
}

}  // namespace

extern const AstcTritTable kAstcTrits = buildTrits();
extern const AstcQuintTable kAstcQuints = buildQuints();
extern const AstcColourUnquantTable kAstcColourUnquant =
    buildTable<AstcColourUnquantTable>(kAstcSmallestColourRange, kAstcRangeCount, colourValue);
extern const AstcWeightUnquantTable kAstcWeightUnquant =
    buildTable<AstcWeightUnquantTable>(0, kAstcWeightRangeCount, weightValue);

void astcDecodeIse(const AstcBits &bits, unsigned start, unsigned range, unsigned count, uint8_t *values) {
    const AstcRange &r = kAstcRanges[range];
    const AstcBits stream = astcBitsBelow(bits, start + astcIseBitCount(range, count));
    unsigned position = start;
    auto take = [&stream, &position](unsigned n) {
        const uint32_t value = astcField(stream, position, n);
        position += n;
        return value;
    };
    // A group of values packed with a trit or quint digit each: every
    // value's plain bits, then `partBits[i]` bits of the group's packed
    // digits, which `digits` unpacks.
    auto groups = [&](const auto &digits, const unsigned *partBits, unsigned size) {
        for (unsigned first = 0; first < count; first += size) {
            uint32_t low[5], packed = 0;
            for (unsigned i = 0, shift = 0; i < size; shift += partBits[i], ++i) {
                low[i] = take(r.bits);
                packed |= take(partBits[i]) << shift;
            }
            for (unsigned i = 0; i < size && first + i < count; ++i)
                values[first + i] = static_cast<uint8_t>(uint32_t{digits[packed][i]} << r.bits | low[i]);
        }
    };
    // Five values a trit group (2, 2, 1, 2, 1 bits of T), three a quint
    // group (3, 2, 2 bits of Q).
    constexpr unsigned tritBits[5] = {2, 2, 1, 2, 1};
    constexpr unsigned quintBits[3] = {3, 2, 2};
    if (r.trits) {
        groups(kAstcTrits.trits, tritBits, 5);
    } else if (r.quints) {
        groups(kAstcQuints.quints, quintBits, 3);
    } else {
        for (unsigned i = 0; i < count; ++i) values[i] = static_cast<uint8_t>(take(r.bits));
    }
}
