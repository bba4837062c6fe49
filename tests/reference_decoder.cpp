#include "reference_decoder.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>
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

bool isDxt(Format format) { return format <= Format::Dxt5Normal; }
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

// The pixel layouts that are not masks, in the terms of their headers: a
// list of fields from bit 0 up (s signed, u unsigned, f float, r extended range, each with its
// width; x skipped bits; z the blue of a normal from the two signed fields
// before it: one value is grey, two are red and green over blue 0, only four
// carry alpha), or the name of a 1-bit, pair, YUV, planar or palette layout.
struct Described {
    const char *text;
    std::vector<uint32_t> dxgi, codes;  // DX10 formats; values of the FourCC field
};

const Described described[] = {
    {"s8 s8 s8 s8", {31, 32}, {63}}, {"s8 s8", {51, 52}, {60}}, {"s8", {63, 64}, {}}, {"s16 s16", {37, 38}, {64}},
    {"s16 s16 s16 s16", {13, 14}, {110}}, {"s16", {58, 59}, {}}, {"u16 u16 u16 u16", {12}, {}}, {"u16 u16", {36}, {}},
    {"u16", {57, 55}, {80}}, {"u32 u32 u32 u32", {3}, {}}, {"s32 s32 s32 s32", {4}, {}}, {"u32 u32 u32", {7}, {}},
    {"s32 s32 s32", {8}, {}}, {"u32 u32", {17}, {}}, {"s32 s32", {18}, {}}, {"u32", {42}, {}}, {"s32", {43}, {}},
    {"f32", {40}, {}}, {"u24 x8", {45, 46}, {}}, {"f32 x32", {20, 21}, {}}, {"x24 u8", {47}, {}},
    {"x32 u8 x24", {22}, {}}, {"s8 s8 z", {}, {117}}, {"s5 s5 u6", {}, {61}}, {"s8 s8 u8 x8", {}, {62}},
    {"s10 s10 s10 u2", {}, {67}}, {"r10 r10 r10 u2", {89}, {119}}, {"bits", {66}, {118}}, {"RGBG", {68}, {fourCC("RGBG")}},
    {"GRGB", {69}, {fourCC("GRGB")}}, {"YUY2", {107}, {fourCC("YUY2")}}, {"UYVY", {}, {fourCC("UYVY")}},
    {"Y210", {108}, {}}, {"Y216", {109}, {}}, {"AYUV", {100}, {}}, {"Y410", {101}, {}}, {"Y416", {102}, {}},
    {"NV12", {103}, {}}, {"P010", {104}, {}}, {"P016", {105}, {}}, {"P8", {}, {41}}, {"A8P8", {}, {40}},
};

// Without the FourCC flag: the palette flag (the bump flags' masks are held
// to the legacy codes of the same layout by the header tests).
const Described paletteFlag{"P8", {}, {}}, paletteAlphaFlags{"A8P8", {}, {}};

bool isFields(const char *text) { return std::islower(static_cast<unsigned char>(text[0])) && std::isdigit(static_cast<unsigned char>(text[1])); }

bool named(const Described &layout, std::initializer_list<const char *> names) {
    return std::any_of(names.begin(), names.end(), [&](const char *n) { return std::string(n) == layout.text; });
}

const Described *describedBy(const DdsFields &f, const Dx10Fields *dx10) {
    for (const Described &layout : described) {
        const std::vector<uint32_t> &keys = dx10 != nullptr ? layout.dxgi : layout.codes;
        const uint32_t key = dx10 != nullptr ? dx10->dxgiFormat : f.fourCC;
        if ((dx10 != nullptr || (f.pixelFlags & 0x4)) && std::find(keys.begin(), keys.end(), key) != keys.end()) return &layout;
    }
    if (dx10 != nullptr || (f.pixelFlags & 0x4) || !(f.pixelFlags & 0x20)) return nullptr;
    return (f.pixelFlags & 0x1) && f.rgbBitCount == 16 ? &paletteAlphaFlags : &paletteFlag;
}

double twoTo(int n) { return std::ldexp(1.0, n); }
uint8_t nearest(double x) { return byte(static_cast<int>(std::floor(x + 0.5))); }
uint8_t unsignedRule(uint64_t v, int n) { return nearest(255.0 * static_cast<double>(v) / (twoTo(n) - 1)); }

// v from its n raw bits, -2^(n-1) as -(2^(n-1) - 1).
double signedValue(uint64_t raw, int n) {
    const double half = twoTo(n - 1), v = static_cast<double>(raw);
    return std::max(v >= half ? v - 2 * half : v, 1 - half);
}

uint8_t signedRule(uint64_t raw, int n) { return n < 2 ? 128 : nearest(128.0 + 127.0 * signedValue(raw, n) / (twoTo(n - 1) - 1)); }

// Extended range (XR bias): (v - 384) / 510, clamped to [0, 1].
uint8_t extendedRangeRule(uint64_t v) { return nearest(255 * std::clamp((double(v) - 384) / 510, 0.0, 1.0)); }

uint8_t floatRule(uint64_t bits) {
    float f;
    const uint32_t word = static_cast<uint32_t>(bits);
    std::memcpy(&f, &word, 4);
    return std::isnan(f) ? 0 : nearest(std::clamp(static_cast<double>(f), 0.0, 1.0) * 255.0);
}

// `count` bits of `bytes` from bit `at`, bit k in byte k / 8.
uint64_t bitsAt(const uint8_t *bytes, int at, int count) {
    uint64_t value = 0;
    for (int i = 0; i < count; ++i) value |= uint64_t{static_cast<uint32_t>(bytes[(at + i) / 8] >> ((at + i) % 8)) & 1u} << i;
    return value;
}

// A pixel of fields from `p`; the bits read and the values made (a grey
// one counting once) go to *bits and *count.
Pixel fieldsPixel(const char *text, const uint8_t *p, int *bits, size_t *count) {
    std::vector<uint8_t> v;
    std::vector<double> raw;
    int at = 0;
    for (const char *t = text; *t != '\0'; t += *t == ' ') {
        char *end = nullptr;
        const char kind = *t;
        const int n = static_cast<int>(std::strtol(t + 1, &end, 10));
        const uint64_t field = bitsAt(p, at, n);
        t = end, at += n;
        if (kind == 's') raw.push_back(signedValue(field, n));
        if (kind == 'z') {
            const double x = raw[0] / 127, y = raw[1] / 127;
            v.push_back(nearest(128 + 127 * std::sqrt(std::max(0.0, 1 - x * x - y * y))));
        } else if (kind != 'x') {
            v.push_back(kind == 's' ? signedRule(field, n) : kind == 'u' ? unsignedRule(field, n)
                        : kind == 'r' ? extendedRangeRule(field) : floatRule(field));
        }
    }
    *bits = at, *count = v.size();
    if (v.size() == 1) return {v[0], v[0], v[0], 255};
    return {v[0], v[1], v.size() > 2 ? v[2] : uint8_t{0}, v.size() > 3 ? v[3] : uint8_t{255}};
}

Pixel yuvPixel(double y, double u, double v, double k, uint8_t alpha) {
    const double c = y - 16 * k, d = u - 128 * k, e = v - 128 * k;
    auto channel = [k](double sum) { return nearest(std::clamp(std::floor(sum / (256 * k) + 0.5), 0.0, 255.0)); };
    return {channel(298 * c + 409 * e), channel(298 * c - 100 * d - 208 * e), channel(298 * c + 516 * d), alpha};
}

int layoutType(const Described &layout) {
    const uint8_t zeros[16] = {};
    int bits = 0;
    size_t values = 0;
    if (isFields(layout.text)) fieldsPixel(layout.text, zeros, &bits, &values);
    return values == 4 || named(layout, {"AYUV", "Y410", "Y416", "P8", "A8P8"}) ? Rgba : Rgb;
}

// Pixel (x, y) of a layout whose samples are not fields; `sample(i)` reads
// sample i of `d` (8 or 16 bits), `at(i)` byte i.
Pixel samplePixel(const Described &layout, size_t w, size_t h, size_t x, size_t y, const std::function<double(size_t)> &sample,
                  const std::function<uint8_t(size_t)> &at) {
    const std::string name = layout.text;
    const double k = name == "Y210" || name == "P010" || name == "Y410" ? 4 : name[1] == '2' || name == "P016" || name == "Y416" ? 256 : 1;
    if (named(layout, {"YUY2", "UYVY", "Y210", "Y216", "RGBG", "GRGB"})) {
        const size_t s = (y * ((w + 1) / 2) + x / 2) * 4, second = x % 2;
        const double s0 = sample(s), s1 = sample(s + 1), s2 = sample(s + 2), s3 = sample(s + 3);
        if (name == "RGBG") return {byte(int(s0)), byte(int(second ? s3 : s1)), byte(int(s2)), 255};
        if (name == "GRGB") return {byte(int(s1)), byte(int(second ? s2 : s0)), byte(int(s3)), 255};
        if (name == "UYVY") return yuvPixel(second ? s3 : s1, s0, s2, k, 255);
        return yuvPixel(second ? s2 : s0, s1, s3, k, 255);
    }
    const size_t i = y * w + x;
    if (name == "AYUV" || name[0] == 'Y') {  // V, U, Y, A bytes; Y410, Y416: U, Y, V, A from bit 0 up
        const int bits = name == "Y410" ? 10 : name == "Y416" ? 16 : 8, alphaBits = bits == 10 ? 2 : bits;
        const size_t bytes = bits == 16 ? 8 : 4;
        uint8_t p[8] = {};
        for (size_t b = 0; b < bytes; ++b) p[b] = at(i * bytes + b);
        auto field = [&](int n) { return bitsAt(p, n * bits, n == 3 ? alphaBits : bits); };
        const bool ayuv = bits == 8;
        return yuvPixel(double(field(ayuv ? 2 : 1)), double(field(ayuv ? 1 : 0)), double(field(ayuv ? 0 : 2)), k,
                        unsignedRule(field(3), alphaBits));
    }
    if (name == "NV12" || (name[0] == 'P' && name != "P8")) {
        const size_t chroma = w * h + y / 2 * w + x / 2 * 2;
        return w % 2 || h % 2 ? Pixel{} : yuvPixel(sample(i), sample(chroma), sample(chroma + 1), k, 255);
    }
    const bool alpha = name == "A8P8";  // palettes: 256 entries of R, G, B, A, then the indices
    const size_t index = at(1024 + (alpha ? 2 * i : i));
    return {at(4 * index), at(4 * index + 1), at(4 * index + 2), alpha ? at(1024 + 2 * i + 1) : at(4 * index + 3)};
}

}  // namespace

std::vector<Pixel> layoutPixels(const DdsFields &f, const Dx10Fields *dx10, const std::vector<uint8_t> &data, int *type) {
    const Described *layout = describedBy(f, dx10);
    if (layout == nullptr) return {};
    if (type != nullptr) *type = layoutType(*layout);
    const std::string name = layout->text;
    const bool wide = named(*layout, {"Y210", "Y216", "P010", "P016"}), tenBits = name == "Y210" || name == "P010";
    bool tooShort = (name == "NV12" || name[0] == 'P') && name != "P8" && (f.width % 2 || f.height % 2);  // refused
    auto at = [&](size_t i) -> uint8_t { return i < data.size() ? data[i] : (tooShort = true, uint8_t{0}); };
    auto sample = [&](size_t i) { return double(wide ? (at(2 * i) | at(2 * i + 1) << 8) >> (tenBits ? 6 : 0) : at(i)); };
    const bool pixels = isFields(layout->text) || name == "bits";
    const uint8_t zeros[16] = {};
    int bits = name == "bits" ? 1 : 0;
    size_t values = 0;
    if (isFields(layout->text)) fieldsPixel(layout->text, zeros, &bits, &values);
    const size_t w = f.width, h = f.height, rowBytes = (w * size_t(bits) + 7) / 8;
    std::vector<Pixel> out(w * h);
    std::vector<uint8_t> pixel(16);
    for (size_t y = 0; y < h; ++y) {
        for (size_t x = 0; x < w; ++x) {
            const size_t first = y * rowBytes + x * size_t(bits) / 8;
            for (size_t b = 0; b < pixel.size(); ++b) pixel[b] = pixels && b < size_t(bits + 7) / 8 ? at(first + b) : 0;
            const uint8_t bit = ((pixel[0] >> (7 - x % 8)) & 1) ? 255 : 0;
            Pixel &p = out[y * w + x];
            if (name == "bits") p = {bit, bit, bit, 255};
            else if (isFields(layout->text)) p = fieldsPixel(layout->text, pixel.data(), &bits, &values);
            else p = samplePixel(*layout, w, h, x, y, sample, at);
        }
    }
    return tooShort ? std::vector<Pixel>{} : out;
}

Pixel exactYuv(uint32_t y, uint32_t u, uint32_t v, uint32_t k) {
    const double luma = (y - 16.0 * k) / (219.0 * k), pb = (u - 128.0 * k) / (224.0 * k), pr = (v - 128.0 * k) / (224.0 * k);
    auto channel = [](double x) { return nearest(255 * std::clamp(x, 0.0, 1.0)); };
    return {channel(luma + 1.402 * pr), channel(luma - 0.344136 * pb - 0.714136 * pr), channel(luma + 1.772 * pb), 255};
}

Format formatOf(const DdsFields &fields, const Dx10Fields *dx10) {
    if (describedBy(fields, dx10) != nullptr) return Format::Layout;
    const bool normalMap = (fields.pixelFlags & 0x80000000u) != 0 && (dx10 == nullptr || (dx10->miscFlags2 & 7) != 2);
    if (dx10 != nullptr) {
        switch (dx10->dxgiFormat) {
            case 71: return Format::Dxt1;
            case 74: return Format::Dxt3;
            case 77: return normalMap ? Format::Dxt5Normal : Format::Dxt5;
            case 83: return normalMap ? Format::Bc5Normal : Format::Bc5;
            case 87: return Format::Uncompressed;
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
                return i == 4 && normalMap ? Format::Dxt5Normal : static_cast<Format>(i);
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
    if (format == Format::Dxt4 || format == Format::Dxt5 || format == Format::Dxt5Normal) {
        const std::array<uint8_t, 16> alpha = channelBlock(bytes);
        for (size_t k = 0; k < 16; ++k) pixels[k][3] = alpha[k];
    }
    if (format == Format::Dxt5Normal) {
        for (Pixel &p : pixels) p = {p[3], p[1], normalBlue(p[3], p[1]), 255};
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
        const DdsFields masks = dx10 == nullptr ? fields : maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x41);
        const size_t pixelBytes = masks.rgbBitCount / 8;
        if (data.size() < width * height * pixelBytes) return {};
        for (size_t i = 0; i < width * height; ++i) {
            d.pixels[i] = uncompressedPixel(masks, &data[i * pixelBytes]);
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
    if (format == Format::Bc5 || format == Format::Bc5Normal || format == Format::Dxt5Normal) return Rgb;
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

    // Step 2: every decoded pixel at its place in file order, its colour
    // divided by its alpha when the DX10 alpha mode says premultiplied.
    const Decoded decoded = decode(fields, data, format, dx10);
    if (decoded.pixels.empty()) return {};
    const bool premultiplied = dx10 != nullptr && (dx10->miscFlags2 & 7) == 2 && textureKind == Rgba;
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (decoded.written[i]) pixels[i] = premultiplied ? unpremultiplied(decoded.pixels[i]) : decoded.pixels[i];
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

double halfValue(uint16_t half) {
    const int e = half >> 10 & 31, m = half & 1023;
    const double magnitude = e == 31 ? (m != 0 ? NAN : INFINITY) : e == 0 ? std::ldexp(m, -24) : std::ldexp(1024 + m, e - 25);
    return half & 0x8000 ? -magnitude : magnitude;
}

uint8_t hdrByte(double value, int exposure, bool srgb) {
    // An exposure's scale may underflow or overflow a double: +inf stays +inf, 0 stays 0.
    double x = std::isinf(value) || value == 0 ? value : value * std::pow(2.0, exposure / 100.0);
    if (std::isnan(x)) return 0;
    x = std::clamp(x, 0.0, 1.0);
    if (srgb) x = x <= 0.0031308 ? 12.92 * x : 1.055 * std::pow(x, 1 / 2.4) - 0.055;
    return nearest(255 * x);
}

}  // namespace reference
