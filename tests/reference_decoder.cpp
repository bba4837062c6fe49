#include "reference_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
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

}  // namespace

Format formatOf(const DdsFields &fields, const Dx10Fields *dx10) {
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

Decoded decode(const DdsFields &fields, const std::vector<uint8_t> &data, Format format, bool dx10) {
    const size_t width = fields.width, height = fields.height;
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
    const bool partial = isDxt(format) && !dx10 ? holdsPartialBlocks(fields, data.size())
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
    if (format == Format::Bc5 || format == Format::Bc5Normal) return Rgb;
    if (format != Format::Dxt1 || data.size() < 4) return Rgba;
    if (littleEndian(data.data(), 2) <= littleEndian(data.data() + 2, 2)) return Rgba;
    // In DXT1 only the transparent texel has alpha 0.
    const Decoded d = decode(fields, data, format, dx10 != nullptr);
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
    const Decoded decoded = decode(fields, data, format, dx10 != nullptr);
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
