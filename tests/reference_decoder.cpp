#include "reference_decoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace reference {

namespace {

uint32_t littleEndian(const uint8_t *bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

uint8_t byte(int value) { return static_cast<uint8_t>(value); }

// 255 * numerator / denominator, rounded half up.  A mix of 5- or 6-bit
// fields is at least 1 / (2 * 189) away from a half unless it is one, and a
// double holds the halves exactly.
uint8_t rounded(int numerator, int denominator) {
    return byte(static_cast<int>(std::floor(255.0 * numerator / denominator + 0.5)));
}

bool isDxt(Format format) { return format <= Format::Dxt5; }
size_t blockBytes(Format format) { return format == Format::Dxt1 ? 8 : 16; }

// The eight values of a channel block at `bytes`, in pixel order.
std::array<uint8_t, 16> channelBlock(const uint8_t *bytes) {
    const std::array<uint8_t, 8> table = alphaTable(bytes[0], bytes[1]);
    const uint64_t indices = littleEndian(bytes + 2, 3) | static_cast<uint64_t>(littleEndian(bytes + 5, 3)) << 24;
    std::array<uint8_t, 16> values;
    for (int k = 0; k < 16; ++k) values[static_cast<size_t>(k)] = table[static_cast<size_t>((indices >> (3 * k)) & 7)];
    return values;
}

// Colour divided by alpha: round(255 c / a) with halves up, clamped to
// 255; nothing is left of a pixel whose alpha is 0.
Pixel unpremultiplied(Pixel p) {
    if (p[3] == 0) return {0, 0, 0, 0};
    for (size_t c = 0; c < 3; ++c) {
        const double exact = 255.0 * p[c] / p[3];
        const double nearest = std::floor(exact + 0.5);
        p[c] = byte(static_cast<int>(std::min(255.0, nearest)));
    }
    return p;
}

// The blue of a unit normal whose red and green bytes are r and g.
uint8_t normalBlue(uint8_t r, uint8_t g) {
    const double x = r / 127.5 - 1.0, y = g / 127.5 - 1.0;
    return byte(static_cast<int>(std::round((std::sqrt(std::max(0.0, 1.0 - x * x - y * y)) + 1.0) * 127.5)));
}

// The pixel layouts that are not masks, in the terms of their headers.
// Fields are listed from bit 0 up: s = signed, u = unsigned, f = float,
// each with its width, x = bits that are skipped, z = the blue of a normal
// from the two signed fields before it.  One value is grey; two are red
// and green over blue 0; only four carry alpha.
enum class Family { Fields, Bits, Pairs, Packed, Planes, Palette, BumpDuDv, BumpLuminance };

struct Spec {
    uint32_t dxgi;  // the DX10 record's format, or 0...
    uint32_t code;  // ...and the FourCC field's value
    Family family;
    const char *text;
};

const Spec specs[] = {
    {31, 0, Family::Fields, "s8 s8 s8 s8"}, {51, 0, Family::Fields, "s8 s8"}, {63, 0, Family::Fields, "s8"},
    {13, 0, Family::Fields, "s16 s16 s16 s16"}, {37, 0, Family::Fields, "s16 s16"}, {58, 0, Family::Fields, "s16"},
    {32, 0, Family::Fields, "s8 s8 s8 s8"}, {52, 0, Family::Fields, "s8 s8"}, {64, 0, Family::Fields, "s8"},
    {14, 0, Family::Fields, "s16 s16 s16 s16"}, {38, 0, Family::Fields, "s16 s16"}, {59, 0, Family::Fields, "s16"},
    {12, 0, Family::Fields, "u16 u16 u16 u16"}, {36, 0, Family::Fields, "u16 u16"}, {57, 0, Family::Fields, "u16"},
    {3, 0, Family::Fields, "u32 u32 u32 u32"}, {4, 0, Family::Fields, "s32 s32 s32 s32"},
    {7, 0, Family::Fields, "u32 u32 u32"}, {8, 0, Family::Fields, "s32 s32 s32"}, {17, 0, Family::Fields, "u32 u32"},
    {18, 0, Family::Fields, "s32 s32"}, {42, 0, Family::Fields, "u32"}, {43, 0, Family::Fields, "s32"},
    {55, 0, Family::Fields, "u16"}, {40, 0, Family::Fields, "f32"}, {45, 0, Family::Fields, "u24 x8"},
    {46, 0, Family::Fields, "u24 x8"}, {20, 0, Family::Fields, "f32 x32"}, {21, 0, Family::Fields, "f32 x32"},
    {47, 0, Family::Fields, "x24 u8"}, {22, 0, Family::Fields, "x32 u8 x24"}, {66, 0, Family::Bits, ""},
    {68, 0, Family::Pairs, "RGBG"}, {69, 0, Family::Pairs, "GRGB"}, {107, 0, Family::Pairs, "YUY2"},
    {108, 0, Family::Pairs, "Y210"}, {109, 0, Family::Pairs, "Y216"}, {100, 0, Family::Packed, "AYUV"},
    {101, 0, Family::Packed, "Y410"}, {102, 0, Family::Packed, "Y416"}, {103, 0, Family::Planes, "NV12"},
    {104, 0, Family::Planes, "P010"}, {105, 0, Family::Planes, "P016"},
    {0, 60, Family::Fields, "s8 s8"}, {0, 63, Family::Fields, "s8 s8 s8 s8"}, {0, 64, Family::Fields, "s16 s16"},
    {0, 110, Family::Fields, "s16 s16 s16 s16"}, {0, 117, Family::Fields, "s8 s8 z"},
    {0, 61, Family::Fields, "s5 s5 u6"}, {0, 62, Family::Fields, "s8 s8 u8 x8"},
    {0, 67, Family::Fields, "s10 s10 s10 u2"}, {0, 80, Family::Fields, "u16"}, {0, 118, Family::Bits, ""},
    {0, 41, Family::Palette, "P8"}, {0, 40, Family::Palette, "A8P8"}, {0, fourCC("YUY2"), Family::Pairs, "YUY2"},
    {0, fourCC("UYVY"), Family::Pairs, "UYVY"}, {0, fourCC("RGBG"), Family::Pairs, "RGBG"},
    {0, fourCC("GRGB"), Family::Pairs, "GRGB"},
};

const Spec paletteFlag{0, 0, Family::Palette, "P8"}, paletteAlphaFlags{0, 0, Family::Palette, "A8P8"};
const Spec bumpDuDv{0, 0, Family::BumpDuDv, ""}, bumpLuminance{0, 0, Family::BumpLuminance, ""};

// The layout a header names, or null.
const Spec *specOf(const DdsFields &fields, const Dx10Fields *dx10) {
    const uint32_t flags = fields.pixelFlags;
    for (const Spec &spec : specs) {
        if (dx10 != nullptr ? spec.dxgi == dx10->dxgiFormat : (flags & 0x4) && spec.dxgi == 0 && spec.code == fields.fourCC)
            return &spec;
    }
    if (dx10 != nullptr || (flags & 0x4)) return nullptr;
    if (flags & 0x20) return (flags & 0x1) && fields.rgbBitCount == 16 ? &paletteAlphaFlags : &paletteFlag;
    const uint32_t bits = fields.rgbBitCount;
    if (!(flags & 0xC0000) || bits == 0 || bits > 32 || bits % 8 != 0) return nullptr;
    return (flags & 0x80000) ? &bumpDuDv : &bumpLuminance;
}

double twoTo(int n) { return std::ldexp(1.0, n); }

uint8_t unsignedRule(uint64_t v, int n) { return byte(static_cast<int>(std::floor(255.0 * static_cast<double>(v) / (twoTo(n) - 1) + 0.5))); }

// v from its n raw bits, -2^(n-1) as -(2^(n-1) - 1).
double signedValue(uint64_t raw, int n) {
    const double half = twoTo(n - 1), v = static_cast<double>(raw) >= half ? static_cast<double>(raw) - 2 * half : static_cast<double>(raw);
    return std::max(v, 1 - half);
}

uint8_t signedRule(uint64_t raw, int n) {
    if (n < 2) return 128;
    return byte(static_cast<int>(std::floor(128.0 + 127.0 * signedValue(raw, n) / (twoTo(n - 1) - 1) + 0.5)));
}

uint8_t floatRule(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, 4);
    if (std::isnan(f)) return 0;
    return byte(static_cast<int>(std::floor(std::clamp(static_cast<double>(f), 0.0, 1.0) * 255.0 + 0.5)));
}

// `count` bits of `bytes` from bit `at`, bit k in byte k / 8.
uint64_t bitsAt(const uint8_t *bytes, int at, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint64_t{(bytes[(at + i) / 8] >> ((at + i) % 8)) & 1u} << i;
    return value;
}

// The red, green, blue and alpha of `values` by the count rule.
Pixel fromValues(const std::vector<uint8_t> &v) {
    if (v.size() == 1) return {v[0], v[0], v[0], 255};
    return {v[0], v[1], v.size() > 2 ? v[2] : uint8_t{0}, v.size() > 3 ? v[3] : uint8_t{255}};
}

Pixel fieldsPixel(const char *text, const uint8_t *p) {
    std::vector<uint8_t> values;
    std::vector<double> raw;
    int at = 0;
    for (const char *t = text; *t != '\0';) {
        const char kind = *t++;
        char *end = nullptr;
        const int n = static_cast<int>(std::strtol(t, &end, 10));
        for (t = end; *t == ' ';) ++t;
        const uint64_t field = bitsAt(p, at, n);
        at += n;
        if (kind == 'x') continue;
        if (kind == 's') raw.push_back(signedValue(field, n));
        if (kind == 'z') {
            const double x = raw[0] / 127, y = raw[1] / 127;
            values.push_back(byte(static_cast<int>(std::floor(128 + 127 * std::sqrt(std::max(0.0, 1 - x * x - y * y)) + 0.5))));
        } else {
            values.push_back(kind == 's' ? signedRule(field, n) : kind == 'u' ? unsignedRule(field, n) : floatRule(static_cast<uint32_t>(field)));
        }
    }
    return fromValues(values);
}

int fieldsBits(const char *text) {
    int bits = 0;
    for (const char *t = text; *t != '\0'; ++t) {
        if (std::isdigit(static_cast<unsigned char>(*t)) && !std::isdigit(static_cast<unsigned char>(t[-1]))) bits += std::atoi(t);
    }
    return bits;
}

// A bump pixel: each non-zero mask a field as wide as the mask spans.
Pixel bumpPixel(const DdsFields &f, bool luminance, const uint8_t *p) {
    const uint32_t pixel = littleEndian(p, static_cast<int>(f.rgbBitCount / 8));
    auto field = [&](uint32_t mask, char kind) -> uint8_t {
        if (mask == 0) return 0;
        int low = 0, high = 31;
        while (!((mask >> low) & 1)) ++low;
        while (!((mask >> high) & 1)) --high;
        const uint64_t value = (pixel & mask) >> low;
        return kind == 's' ? signedRule(value, high - low + 1) : unsignedRule(value, high - low + 1);
    };
    if (luminance) return {field(f.rMask, 's'), field(f.gMask, 's'), field(f.bMask, 'u'), 255};
    return {field(f.rMask, 's'), field(f.gMask, 's'), field(f.bMask, 's'),
            f.aMask == 0 ? uint8_t{255} : field(f.aMask, (f.pixelFlags & 1) ? 'u' : 's')};
}

Pixel yuvPixel(double y, double u, double v, double k, uint8_t alpha) {
    const double c = y - 16 * k, d = u - 128 * k, e = v - 128 * k;
    auto channel = [k](double sum) { return byte(static_cast<int>(std::clamp(std::floor(sum / (256 * k) + 0.5), 0.0, 255.0))); };
    return {channel(298 * c + 409 * e), channel(298 * c - 100 * d - 208 * e), channel(298 * c + 516 * d), alpha};
}

int layoutType(const Spec &spec, const DdsFields &f) {
    const std::string text = spec.text;
    const bool fourFields = std::count(text.begin(), text.end(), ' ') + 1 - std::count(text.begin(), text.end(), 'x') == 4;
    const bool alpha = spec.family == Family::Packed || spec.family == Family::Palette ||
                       (spec.family == Family::BumpDuDv && f.aMask != 0) || (spec.family == Family::Fields && fourFields);
    return alpha ? Rgba : Rgb;
}

// Pixels of the pair, packed, planar and palette layouts.
std::vector<Pixel> samplePixels(const Spec &spec, size_t w, size_t h, const std::vector<uint8_t> &d) {
    const std::string name = spec.text;
    const bool wide = name == "Y210" || name == "Y216" || name == "P010" || name == "P016";
    const double k = name == "Y210" || name == "P010" ? 4 : wide ? 256 : 1;
    const int shift = name == "Y210" || name == "P010" ? 6 : 0;
    auto sample = [&](size_t i) { return static_cast<double>(wide ? littleEndian(&d[2 * i], 2) >> shift : d[i]); };
    std::vector<Pixel> out(w * h);
    if (spec.family == Family::Pairs) {
        const size_t pairs = (w + 1) / 2;
        if (d.size() < pairs * h * 4 * (wide ? 2 : 1)) return {};
        for (size_t y = 0; y < h; ++y) {
            for (size_t x = 0; x < w; ++x) {
                const size_t s = (y * pairs + x / 2) * 4;
                const double s0 = sample(s), s1 = sample(s + 1), s2 = sample(s + 2), s3 = sample(s + 3);
                const bool second = x % 2 == 1;
                Pixel &p = out[y * w + x];
                if (name == "RGBG") p = {byte(int(s0)), byte(int(second ? s3 : s1)), byte(int(s2)), 255};
                else if (name == "GRGB") p = {byte(int(s1)), byte(int(second ? s2 : s0)), byte(int(s3)), 255};
                else if (name == "UYVY") p = yuvPixel(second ? s3 : s1, s0, s2, k, 255);
                else p = yuvPixel(second ? s2 : s0, s1, s3, k, 255);
            }
        }
    } else if (spec.family == Family::Packed) {
        const size_t bytes = name == "Y416" ? 8 : 4;
        if (d.size() < w * h * bytes) return {};
        for (size_t i = 0; i < w * h; ++i) {
            const uint8_t *p = &d[i * bytes];
            if (name == "AYUV") out[i] = yuvPixel(p[2], p[1], p[0], 1, p[3]);
            if (name == "Y410") out[i] = yuvPixel(double(bitsAt(p, 10, 10)), double(bitsAt(p, 0, 10)), double(bitsAt(p, 20, 10)), 4, unsignedRule(bitsAt(p, 30, 2), 2));
            if (name == "Y416") out[i] = yuvPixel(double(bitsAt(p, 16, 16)), double(bitsAt(p, 0, 16)), double(bitsAt(p, 32, 16)), 256, unsignedRule(bitsAt(p, 48, 16), 16));
        }
    } else if (spec.family == Family::Planes) {
        if (w % 2 != 0 || h % 2 != 0 || d.size() < w * h * 3 / 2 * (wide ? 2 : 1)) return {};
        for (size_t y = 0; y < h; ++y) {
            for (size_t x = 0; x < w; ++x) {
                const size_t chroma = w * h + y / 2 * w + x / 2 * 2;
                out[y * w + x] = yuvPixel(sample(y * w + x), sample(chroma), sample(chroma + 1), k, 255);
            }
        }
    } else {  // palettes: 256 entries of R, G, B, A, then the indices
        const bool alpha = name == "A8P8";
        if (d.size() < 1024 + w * h * (alpha ? 2 : 1)) return {};
        for (size_t i = 0; i < w * h; ++i) {
            const size_t index = d[1024 + (alpha ? 2 * i : i)];
            out[i] = {d[4 * index], d[4 * index + 1], d[4 * index + 2], alpha ? d[1024 + 2 * i + 1] : d[4 * index + 3]};
        }
    }
    return out;
}

}  // namespace

std::vector<Pixel> layoutPixels(const DdsFields &f, const Dx10Fields *dx10, const std::vector<uint8_t> &data, int *type) {
    const Spec *spec = specOf(f, dx10);
    if (spec == nullptr) return {};
    if (type != nullptr) *type = layoutType(*spec, f);
    const size_t w = f.width, h = f.height;
    if (spec->family != Family::Fields && spec->family != Family::Bits && spec->family != Family::BumpDuDv &&
        spec->family != Family::BumpLuminance)
        return samplePixels(*spec, w, h, data);
    const size_t bits = spec->family == Family::Bits ? 1 : spec->family == Family::Fields ? size_t(fieldsBits(spec->text)) : f.rgbBitCount;
    const size_t rowBytes = (w * bits + 7) / 8;
    if (data.size() < rowBytes * h) return {};
    std::vector<Pixel> out(w * h);
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            const uint8_t *p = &data[y * rowBytes + x * bits / 8];
            Pixel &px = out[y * w + x];
            if (spec->family == Family::Bits) {
                const uint8_t v = ((p[0] >> (7 - x % 8)) & 1) ? 255 : 0;
                px = {v, v, v, 255};
            } else {
                px = spec->family == Family::Fields ? fieldsPixel(spec->text, p) : bumpPixel(f, spec->family == Family::BumpLuminance, p);
            }
        }
    }
    return out;
}

Pixel exactYuv(uint32_t y, uint32_t u, uint32_t v, uint32_t k) {
    const double luma = (y - 16.0 * k) / (219.0 * k), pb = (u - 128.0 * k) / (224.0 * k), pr = (v - 128.0 * k) / (224.0 * k);
    auto channel = [](double x) { return byte(static_cast<int>(std::floor(255 * std::clamp(x, 0.0, 1.0) + 0.5))); };
    return {channel(luma + 1.402 * pr), channel(luma - 0.344136 * pb - 0.714136 * pr), channel(luma + 1.772 * pb), 255};
}

Format formatOf(const DdsFields &fields, const Dx10Fields *dx10) {
    if (specOf(fields, dx10) != nullptr) return Format::Layout;
    const bool normalMap = (fields.pixelFlags & 0x80000000u) != 0;
    if (dx10 != nullptr) {
        const bool premultiplied = (dx10->miscFlags2 & 7) == 2;
        switch (dx10->dxgiFormat) {
            case 71: return Format::Dxt1;
            case 74: return premultiplied ? Format::Dxt2 : Format::Dxt3;
            case 77: return premultiplied ? Format::Dxt4 : Format::Dxt5;
            case 83: return normalMap ? Format::Bc5Normal : Format::Bc5;
            default: return Format::None;
        }
    }
    bool uncompressed = false;
    if (fields.pixelFlags & 0x4) {
        const char *names[] = {"DXT1", "DXT2", "DXT3", "DXT4", "DXT5"};
        for (int i = 0; i < 5; ++i) {
            const char *n = names[i];
            if (fields.fourCC == (uint32_t{uint8_t(n[0])} | uint32_t{uint8_t(n[1])} << 8 | uint32_t{uint8_t(n[2])} << 16 |
                                  uint32_t{uint8_t(n[3])} << 24))
                return static_cast<Format>(i);
        }
        if (fields.fourCC == fourCC("ATI2")) return normalMap ? Format::Bc5Normal : Format::Bc5;
        uncompressed = fields.fourCC == 0;
    } else {
        uncompressed = (fields.pixelFlags & 0x40) != 0;
    }
    if (!uncompressed) return Format::None;
    const uint32_t bits = fields.rgbBitCount;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 ? Format::Uncompressed : Format::None;
}

std::array<Pixel, 4> palette(uint16_t color0, uint16_t color1, bool alwaysFour) {
    const int largest[3] = {31, 63, 31};
    const int fields0[3] = {color0 >> 11, (color0 >> 5) & 0x3F, color0 & 0x1F};
    const int fields1[3] = {color1 >> 11, (color1 >> 5) & 0x3F, color1 & 0x1F};
    std::array<Pixel, 4> entries;
    // Weights of the two endpoints and their sum, for each entry.
    const bool four = color0 > color1 || alwaysFour;
    const int weights[4][2] = {{1, 0}, {0, 1}, {four ? 2 : 1, 1}, {1, 2}};
    for (size_t e = 0; e < 4; ++e) {
        const int w0 = weights[e][0], w1 = weights[e][1];
        for (size_t c = 0; c < 3; ++c) {
            entries[e][c] = rounded(w0 * fields0[c] + w1 * fields1[c], (w0 + w1) * largest[c]);
        }
        entries[e][3] = 255;
    }
    if (!four) entries[3] = {0, 0, 0, 0};
    return entries;
}

std::array<uint8_t, 8> alphaTable(uint8_t alpha0, uint8_t alpha1) {
    const int a0 = alpha0;
    const int a1 = alpha1;
    std::array<uint8_t, 8> table;
    table[0] = alpha0;
    table[1] = alpha1;
    if (a0 > a1) {
        table[2] = byte((6 * a0 + 1 * a1) / 7);
        table[3] = byte((5 * a0 + 2 * a1) / 7);
        table[4] = byte((4 * a0 + 3 * a1) / 7);
        table[5] = byte((3 * a0 + 4 * a1) / 7);
        table[6] = byte((2 * a0 + 5 * a1) / 7);
        table[7] = byte((1 * a0 + 6 * a1) / 7);
    } else {
        table[2] = byte((4 * a0 + 1 * a1) / 5);
        table[3] = byte((3 * a0 + 2 * a1) / 5);
        table[4] = byte((2 * a0 + 3 * a1) / 5);
        table[5] = byte((1 * a0 + 4 * a1) / 5);
        table[6] = 0;
        table[7] = 255;
    }
    return table;
}

std::array<Pixel, 16> block(Format format, const uint8_t *bytes) {
    std::array<Pixel, 16> pixels;
    if (format == Format::Bc5 || format == Format::Bc5Normal) {
        const std::array<uint8_t, 16> red = channelBlock(bytes), green = channelBlock(bytes + 8);
        for (size_t k = 0; k < 16; ++k) {
            pixels[k] = {red[k], green[k], format == Format::Bc5Normal ? normalBlue(red[k], green[k]) : uint8_t{0}, 255};
        }
        return pixels;
    }
    const uint8_t *colorBlock = format == Format::Dxt1 ? bytes : bytes + 8;
    const std::array<Pixel, 4> colors = palette(static_cast<uint16_t>(littleEndian(colorBlock, 2)),
                                                static_cast<uint16_t>(littleEndian(colorBlock + 2, 2)),
                                                format != Format::Dxt1);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const int index = (colorBlock[4 + r] >> (2 * c)) & 3;
            pixels[static_cast<size_t>(4 * r + c)] = colors[static_cast<size_t>(index)];
        }
    }
    if (format == Format::Dxt2 || format == Format::Dxt3) {
        for (int r = 0; r < 4; ++r) {
            const uint32_t row = littleEndian(bytes + 2 * r, 2);
            for (int c = 0; c < 4; ++c) {
                const uint32_t nibble = (row >> (4 * c)) & 0xF;
                pixels[static_cast<size_t>(4 * r + c)][3] = static_cast<uint8_t>(nibble * 17);
            }
        }
    }
    if (format == Format::Dxt4 || format == Format::Dxt5) {
        const std::array<uint8_t, 16> alpha = channelBlock(bytes);
        for (size_t k = 0; k < 16; ++k) pixels[k][3] = alpha[k];
    }
    if (format == Format::Dxt2 || format == Format::Dxt4) {
        for (Pixel &p : pixels) p = unpremultiplied(p);
    }
    return pixels;
}

uint8_t maskedChannel(uint32_t mask, uint32_t pixel) {
    if (mask == 0) return 0;
    int shift = 0;
    while (shift < 32 && ((mask >> shift) & 1) == 0) ++shift;
    const uint32_t largest = mask >> shift;
    const float scale = static_cast<float>(255.0 / static_cast<double>(largest));
    const double product = static_cast<double>(scale) * static_cast<double>((pixel & mask) >> shift);
    return static_cast<uint8_t>(static_cast<uint32_t>(std::trunc(product)));
}

Pixel uncompressedPixel(const DdsFields &fields, const uint8_t *bytes) {
    const uint32_t p = littleEndian(bytes, static_cast<int>(fields.rgbBitCount / 8));
    const bool alphaValid = (fields.pixelFlags & 0x1) != 0 && fields.aMask != 0;
    return {maskedChannel(fields.rMask, p), maskedChannel(fields.gMask, p), maskedChannel(fields.bMask, p),
            alphaValid ? maskedChannel(fields.aMask, p) : uint8_t{255}};
}

bool holdsPartialBlocks(const DdsFields &fields, size_t dataBytes) {
    const size_t size = blockBytes(formatOf(fields));
    const size_t wholeLevel = (size_t{fields.width} + 3) / 4 * ((size_t{fields.height} + 3) / 4) * size;
    const bool linearSize =
        (fields.pixelFlags & 0x4) && (fields.flags & 0x80000) && fields.pitchOrLinearSize != 0;
    const bool declaresLess = linearSize && fields.pitchOrLinearSize < wholeLevel;
    return dataBytes >= wholeLevel && !declaresLess;
}

size_t blocksPerStoredRow(const DdsFields &fields, size_t dataBytes) {
    return holdsPartialBlocks(fields, dataBytes) ? (size_t{fields.width} + 3) / 4 : fields.width / 4;
}

namespace {

// The decoded pixels of a file in file order, and which of them the
// importer writes: every pixel, or for block rows that hold only the whole
// blocks, those of the whole blocks.  Empty when `data` is too short.
struct Decoded {
    std::vector<Pixel> pixels;
    std::vector<bool> written;
};

Decoded decode(const DdsFields &fields, const std::vector<uint8_t> &data, Format format, const Dx10Fields *dx10) {
    const size_t width = fields.width, height = fields.height;
    if (format == Format::Layout) {
        Decoded d{layoutPixels(fields, dx10, data, nullptr), {}};
        d.written.assign(d.pixels.size(), true);
        return d;
    }
    Decoded d{std::vector<Pixel>(width * height, Pixel{0, 0, 0, 0}), std::vector<bool>(width * height, false)};
    if (format == Format::Uncompressed) {
        const size_t pixelBytes = fields.rgbBitCount / 8;
        if (data.size() < width * height * pixelBytes) return {};
        for (size_t i = 0; i < width * height; ++i) {
            d.pixels[i] = uncompressedPixel(fields, &data[i * pixelBytes]);
            d.written[i] = true;
        }
        return d;
    }
    // Rows that hold the partial blocks have them decoded, clipped.  Only
    // the legacy DXT formats read a linear size.
    const size_t size = blockBytes(format);
    const bool partial = isDxt(format) && dx10 == nullptr ? holdsPartialBlocks(fields, data.size())
                                        : data.size() >= (width + 3) / 4 * ((height + 3) / 4) * size;
    const size_t blocksPerRow = partial ? (width + 3) / 4 : width / 4;
    const size_t blockRows = partial ? (height + 3) / 4 : height / 4;
    if (data.size() < blockRows * blocksPerRow * size) return {};
    for (size_t by = 0; by < blockRows; ++by) {
        for (size_t bx = 0; bx < blocksPerRow; ++bx) {
            const std::array<Pixel, 16> decoded = block(format, &data[(by * blocksPerRow + bx) * size]);
            for (size_t r = 0; r < 4 && 4 * by + r < height; ++r) {
                for (size_t c = 0; c < 4 && 4 * bx + c < width; ++c) {
                    d.pixels[(4 * by + r) * width + 4 * bx + c] = decoded[4 * r + c];
                    d.written[(4 * by + r) * width + 4 * bx + c] = true;
                }
            }
        }
    }
    return d;
}

}  // namespace

int textureType(const DdsFields &fields, const std::vector<uint8_t> &data, const Dx10Fields *dx10) {
    const Format format = formatOf(fields, dx10);
    int layout = Rgba;
    if (format == Format::Layout) layoutPixels(fields, dx10, {}, &layout);
    if (format == Format::Layout) return layout;
    if (format == Format::Bc5 || format == Format::Bc5Normal) return Rgb;
    if (format != Format::Dxt1 || data.size() < 4) return Rgba;
    if (littleEndian(data.data(), 2) <= littleEndian(data.data() + 2, 2)) return Rgba;
    // In DXT1 only the transparent texel has alpha 0.
    const Decoded d = decode(fields, data, format, dx10);
    for (size_t i = 0; i < d.pixels.size(); ++i) {
        if (d.written[i] && d.pixels[i][3] == 0) return Rgba;
    }
    return Rgb;
}

std::vector<uint8_t> image(const DdsFields &fields, const std::vector<uint8_t> &data,
                           const std::vector<uint8_t> &previous, int preference, int *type, const Dx10Fields *dx10) {
    const Format format = formatOf(fields, dx10);
    if (format == Format::None || fields.width == 0 || fields.height == 0) return {};
    const size_t width = fields.width;
    const size_t height = fields.height;
    const int textureKind = textureType(fields, data, dx10);
    if (type != nullptr) *type = textureKind;

    // Step 1: the starting RGBA image, in the buffer's own row order.
    std::vector<Pixel> pixels(width * height, Pixel{0, 0, 0, 0});
    if (textureKind == Rgba) {
        if (previous.size() != width * height * 4) return {};
        for (size_t i = 0; i < pixels.size(); ++i) {
            for (size_t c = 0; c < 4; ++c) pixels[i][c] = previous[4 * i + c];
        }
    }

    // Step 2: every decoded pixel at its place in file order.
    const Decoded decoded = decode(fields, data, format, dx10);
    if (decoded.pixels.empty()) return {};
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (decoded.written[i]) pixels[i] = decoded.pixels[i];
    }

    // Step 3: the whole image upside down unless the preference asks for
    // file order.
    if (preference == 0) {
        for (size_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
            for (size_t x = 0; x < width; ++x) {
                std::swap(pixels[top * width + x], pixels[bottom * width + x]);
            }
        }
    }

    // Step 4: the host's pixel size.
    const size_t channels = textureKind == Rgb ? 3 : 4;
    std::vector<uint8_t> result;
    result.reserve(pixels.size() * channels);
    for (const Pixel &pixel : pixels) {
        for (size_t c = 0; c < channels; ++c) result.push_back(pixel[c]);
    }
    return result;
}

}  // namespace reference
