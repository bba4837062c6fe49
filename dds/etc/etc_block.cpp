// The plain ETC2 and EAC block decoders: each pixel worked out on its own
// from the fields of the block, the rule that the block-row kernels are
// held to.

#include <cstddef>
#include <cstdint>

#include "etc/etc.h"
#include "etc/etc_tables.h"

namespace {

// Bits high down to low (inclusive) of a 64-bit word.
uint32_t bits(uint64_t word, unsigned high, unsigned low) {
    return static_cast<uint32_t>((word >> low) & ((uint64_t{1} << (high - low + 1)) - 1));
}

int signed3(uint32_t value) { return value >= 4 ? static_cast<int>(value) - 8 : static_cast<int>(value); }

uint8_t clamp255(int value) { return static_cast<uint8_t>(value < 0 ? 0 : value > 255 ? 255 : value); }


struct Color {
    int r, g, b;
};

struct Pixel {
    uint8_t r, g, b, a;
};

const Pixel Transparent = {0, 0, 0, 0};

Pixel opaque(Color c) { return {clamp255(c.r), clamp255(c.g), clamp255(c.b), 255}; }
Color plus(Color c, int d) { return {c.r + d, c.g + d, c.b + d}; }

// The 2-bit index of pixel x, y: its high bit at 16 + 4x + y, its low
// bit at 4x + y.
unsigned pixelIndex(uint64_t word, unsigned x, unsigned y) {
    const unsigned i = 4 * x + y;
    return bits(word, 16 + i, 16 + i) << 1 | bits(word, i, i);
}

enum class ColorMode { Individual, Differential, T, H, Planar };

// The differential bit (the opaque bit in punch-through blocks) chooses
// between individual and differential mode; a second base colour whose red,
// green or blue sum leaves 0..31 selects T, H or planar mode instead, tested
// in that order.  Punch-through blocks have no individual mode.
ColorMode colorMode(uint64_t word, bool punchThrough) {
    if (!punchThrough && bits(word, 33, 33) == 0) return ColorMode::Individual;
    auto outside = [&](unsigned high) {
        const int sum = static_cast<int>(bits(word, high, high - 4)) + signed3(bits(word, high - 5, high - 7));
        return sum < 0 || sum > 31;
    };
    if (outside(63)) return ColorMode::T;
    if (outside(55)) return ColorMode::H;
    if (outside(47)) return ColorMode::Planar;
    return ColorMode::Differential;
}

// Individual and differential modes: two subblocks (left and right halves,
// or with the flip bit top and bottom halves), each a base colour moved by
// a modifier of its table.  Without the opaque bit (punch-through), index
// 2 is transparent and index 0 adds nothing.
Pixel subblockPixel(uint64_t word, ColorMode mode, bool transparentIndex, unsigned x, unsigned y) {
    const bool second = bits(word, 32, 32) ? y >= 2 : x >= 2;
    Color base;
    if (mode == ColorMode::Individual) {
        const unsigned shift = second ? 0 : 4;
        base = {etcWiden(bits(word, 59 + shift, 56 + shift), 4), etcWiden(bits(word, 51 + shift, 48 + shift), 4),
                etcWiden(bits(word, 43 + shift, 40 + shift), 4)};
    } else {
        auto channel = [&](unsigned high) {
            const int value = static_cast<int>(bits(word, high, high - 4));
            return etcWiden(static_cast<uint32_t>(second ? value + signed3(bits(word, high - 5, high - 7)) : value), 5);
        };
        base = {channel(63), channel(55), channel(47)};
    }
    const uint32_t table = second ? bits(word, 36, 34) : bits(word, 39, 37);
    const unsigned index = pixelIndex(word, x, y);
    if (transparentIndex && index == 2) return Transparent;
    int modifier = kEtcModifiers[table][index & 1];
    if (transparentIndex && index == 0) modifier = 0;
    return opaque(plus(base, index & 2 ? -modifier : modifier));
}

// T and H modes: four paint colours from two 4-bit base colours and a
// distance.
void paintColors(uint64_t word, ColorMode mode, Color paint[4]) {
    if (mode == ColorMode::T) {
        const Color c1 = {etcWiden(bits(word, 60, 59) << 2 | bits(word, 57, 56), 4), etcWiden(bits(word, 55, 52), 4),
                          etcWiden(bits(word, 51, 48), 4)};
        const Color c2 = {etcWiden(bits(word, 47, 44), 4), etcWiden(bits(word, 43, 40), 4), etcWiden(bits(word, 39, 36), 4)};
        const int d = kEtcDistances[bits(word, 35, 34) << 1 | bits(word, 32, 32)];
        paint[0] = c1, paint[1] = plus(c2, d), paint[2] = c2, paint[3] = plus(c2, -d);
        return;
    }
    const uint32_t r1 = bits(word, 62, 59), g1 = bits(word, 58, 56) << 1 | bits(word, 52, 52);
    const uint32_t b1 = bits(word, 51, 51) << 3 | bits(word, 49, 47);
    const uint32_t r2 = bits(word, 46, 43), g2 = bits(word, 42, 39), b2 = bits(word, 38, 35);
    // The distance index's low bit: whether colour 1 is at least colour 2,
    // each taken as the number R << 16 | G << 8 | B.
    const bool firstNotSmaller = (r1 << 16 | g1 << 8 | b1) >= (r2 << 16 | g2 << 8 | b2);
    const int d = kEtcDistances[bits(word, 34, 34) << 2 | bits(word, 32, 32) << 1 | (firstNotSmaller ? 1u : 0u)];
    const Color c1 = {etcWiden(r1, 4), etcWiden(g1, 4), etcWiden(b1, 4)}, c2 = {etcWiden(r2, 4), etcWiden(g2, 4), etcWiden(b2, 4)};
    paint[0] = plus(c1, d), paint[1] = plus(c1, -d), paint[2] = plus(c2, d), paint[3] = plus(c2, -d);
}

// Planar mode: three 6:7:6 colours O, H and V spanning a plane,
// (x (H - O) + y (V - O) + 4 O + 2) >> 2 in each channel.  Always opaque.
Pixel planarPixel(uint64_t word, unsigned x, unsigned y) {
    const Color o = {etcWiden(bits(word, 62, 57), 6), etcWiden(bits(word, 56, 56) << 6 | bits(word, 54, 49), 7),
                     etcWiden(bits(word, 48, 48) << 5 | bits(word, 44, 43) << 3 | bits(word, 41, 39), 6)};
    const Color h = {etcWiden(bits(word, 38, 34) << 1 | bits(word, 32, 32), 6), etcWiden(bits(word, 31, 25), 7),
                     etcWiden(bits(word, 24, 19), 6)};
    const Color v = {etcWiden(bits(word, 18, 13), 6), etcWiden(bits(word, 12, 6), 7), etcWiden(bits(word, 5, 0), 6)};
    auto channel = [&](int oc, int hc, int vc) {
        return (static_cast<int>(x) * (hc - oc) + static_cast<int>(y) * (vc - oc) + 4 * oc + 2) >> 2;
    };
    return opaque({channel(o.r, h.r, v.r), channel(o.g, h.g, v.g), channel(o.b, h.b, v.b)});
}

Pixel colorPixel(uint64_t word, ColorMode mode, bool transparentIndex, unsigned x, unsigned y) {
    switch (mode) {
        case ColorMode::Individual:
        case ColorMode::Differential: return subblockPixel(word, mode, transparentIndex, x, y);
        case ColorMode::T:
        case ColorMode::H: {
            const unsigned index = pixelIndex(word, x, y);
            if (transparentIndex && index == 2) return Transparent;
            Color paint[4];
            paintColors(word, mode, paint);
            return opaque(paint[index]);
        }
        case ColorMode::Planar: break;
    }
    return planarPixel(word, x, y);
}

void decodeColor(const uint8_t *block, bool punchThrough, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const uint64_t word = ddsEtcWord(block);
    const ColorMode mode = colorMode(word, punchThrough);
    const bool transparentIndex = punchThrough && bits(word, 33, 33) == 0;
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            const Pixel p = colorPixel(word, mode, transparentIndex, x, y);
            uint8_t *out = blockOrigin + static_cast<ptrdiff_t>(y) * rowStride + 4 * x;
            out[0] = p.r, out[1] = p.g, out[2] = p.b, out[3] = p.a;
        }
    }
}

// EAC: base codeword (bits 63-56), multiplier (55-52), table (51-48) and
// the 3-bit index of pixel x, y at bits 47 - 3i down to 45 - 3i, i = 4x + y.
struct EacFields {
    int base, multiplier;
    const int *modifiers;
};

EacFields eacFields(uint64_t word) {
    return {static_cast<int>(bits(word, 63, 56)), static_cast<int>(bits(word, 55, 52)),
            kEacModifiers[bits(word, 51, 48)]};
}

int eacModifier(uint64_t word, const EacFields &f, unsigned x, unsigned y) {
    const unsigned i = 4 * x + y;
    return f.modifiers[bits(word, 47 - 3 * i, 45 - 3 * i)];
}

// The 8-bit alpha of RGBA blocks: base + modifier * multiplier, clamped.
uint8_t eacAlpha(uint64_t word, unsigned x, unsigned y) {
    const EacFields f = eacFields(word);
    return clamp255(f.base + eacModifier(word, f, x, y) * f.multiplier);
}

// The unsigned 11-bit value: base * 8 + 4 + modifier * multiplier * 8
// (the modifier alone for multiplier 0), clamped to 0..2047, as a byte.
uint8_t eac11(uint64_t word, unsigned x, unsigned y) {
    const EacFields f = eacFields(word);
    const int modifier = eacModifier(word, f, x, y);
    const int value = f.base * 8 + 4 + (f.multiplier == 0 ? modifier : modifier * f.multiplier * 8);
    return ddsEac11ToByte(value < 0 ? 0 : value > 2047 ? 2047 : value);
}

uint8_t *pixelAt(uint8_t *blockOrigin, ptrdiff_t rowStride, unsigned x, unsigned y) {
    return blockOrigin + static_cast<ptrdiff_t>(y) * rowStride + 4 * x;
}

void decodeRgba(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    decodeColor(block + 8, false, blockOrigin, rowStride);
    const uint64_t alpha = ddsEtcWord(block);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 4; ++x) pixelAt(blockOrigin, rowStride, x, y)[3] = eacAlpha(alpha, x, y);
}

void decodeR11(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const uint64_t word = ddsEtcWord(block);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            uint8_t *out = pixelAt(blockOrigin, rowStride, x, y);
            out[0] = out[1] = out[2] = eac11(word, x, y);
            out[3] = 255;
        }
    }
}

void decodeRg11(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const uint64_t red = ddsEtcWord(block), green = ddsEtcWord(block + 8);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            uint8_t *out = pixelAt(blockOrigin, rowStride, x, y);
            out[0] = eac11(red, x, y), out[1] = eac11(green, x, y), out[2] = 0, out[3] = 255;
        }
    }
}

}  // namespace

void ddsDecodeEtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    switch (format) {
        case BlockFormat::Etc2Rgb: return decodeColor(block, false, blockOrigin, rowStride);
        case BlockFormat::Etc2PunchThrough: return decodeColor(block, true, blockOrigin, rowStride);
        case BlockFormat::Etc2Rgba: return decodeRgba(block, blockOrigin, rowStride);
        case BlockFormat::EacR11: return decodeR11(block, blockOrigin, rowStride);
        case BlockFormat::EacRg11: return decodeRg11(block, blockOrigin, rowStride);
        default: return;
    }
}
