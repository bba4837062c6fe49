#include "reference_decoder.h"

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

Pixel expand565(uint16_t color) {
    const int red = (color >> 11) & 0x1F;
    const int green = (color >> 5) & 0x3F;
    const int blue = color & 0x1F;
    return {byte(red << 3), byte(green << 2), byte(blue << 3), 255};
}

size_t blockBytes(Format format) { return format == Format::Dxt1 ? 8 : 16; }

}  // namespace

Format formatOf(const DdsFields &fields) {
    bool uncompressed = false;
    if (fields.pixelFlags & 0x4) {
        if (fields.fourCC == fourCC("DXT1")) return Format::Dxt1;
        if (fields.fourCC == fourCC("DXT3")) return Format::Dxt3;
        if (fields.fourCC == fourCC("DXT5")) return Format::Dxt5;
        uncompressed = fields.fourCC == 0;
    } else {
        uncompressed = (fields.pixelFlags & 0x40) != 0;
    }
    if (!uncompressed) return Format::None;
    const uint32_t bits = fields.rgbBitCount;
    return bits == 8 || bits == 16 || bits == 24 || bits == 32 ? Format::Uncompressed : Format::None;
}

std::array<Pixel, 4> palette(uint16_t color0, uint16_t color1, bool alwaysFour) {
    std::array<Pixel, 4> entries;
    entries[0] = expand565(color0);
    entries[1] = expand565(color1);
    const Pixel &c0 = entries[0];
    const Pixel &c1 = entries[1];
    if (color0 > color1 || alwaysFour) {
        for (size_t c = 0; c < 3; ++c) {
            entries[2][c] = byte((2 * c0[c] + c1[c]) / 3);
            entries[3][c] = byte((c0[c] + 2 * c1[c]) / 3);
        }
        entries[2][3] = 255;
        entries[3][3] = 255;
    } else {
        for (size_t c = 0; c < 3; ++c) entries[2][c] = byte((c0[c] + c1[c]) / 2);
        entries[2][3] = 255;
        entries[3] = {0, 255, 255, 0};
    }
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
    const uint8_t *colorBlock = format == Format::Dxt1 ? bytes : bytes + 8;
    const std::array<Pixel, 4> colors = palette(static_cast<uint16_t>(littleEndian(colorBlock, 2)),
                                                static_cast<uint16_t>(littleEndian(colorBlock + 2, 2)),
                                                format != Format::Dxt1);
    std::array<Pixel, 16> pixels;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const int index = (colorBlock[4 + r] >> (2 * c)) & 3;
            pixels[static_cast<size_t>(4 * r + c)] = colors[static_cast<size_t>(index)];
        }
    }
    if (format == Format::Dxt3) {
        for (int r = 0; r < 4; ++r) {
            const uint32_t row = littleEndian(bytes + 2 * r, 2);
            for (int c = 0; c < 4; ++c) {
                const uint32_t nibble = (row >> (4 * c)) & 0xF;
                pixels[static_cast<size_t>(4 * r + c)][3] = static_cast<uint8_t>(nibble * 17);
            }
        }
    }
    if (format == Format::Dxt5) {
        const std::array<uint8_t, 8> table = alphaTable(bytes[0], bytes[1]);
        const uint64_t indices =
            littleEndian(bytes + 2, 3) | static_cast<uint64_t>(littleEndian(bytes + 5, 3)) << 24;
        for (int k = 0; k < 16; ++k) {
            const size_t index = static_cast<size_t>((indices >> (3 * k)) & 7);
            pixels[static_cast<size_t>(k)][3] = table[index];
        }
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

int textureType(const DdsFields &fields, const std::vector<uint8_t> &data) {
    if (formatOf(fields) != Format::Dxt1 || data.size() < 4) return Rgba;
    return littleEndian(data.data(), 2) > littleEndian(data.data() + 2, 2) ? Rgb : Rgba;
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

std::vector<uint8_t> image(const DdsFields &fields, const std::vector<uint8_t> &data,
                           const std::vector<uint8_t> &previous, int preference, int *type) {
    const Format format = formatOf(fields);
    if (format == Format::None || fields.width == 0 || fields.height == 0) return {};
    const size_t width = fields.width;
    const size_t height = fields.height;
    const int textureKind = textureType(fields, data);
    if (type != nullptr) *type = textureKind;

    // Step 1: the starting RGBA image, in the buffer's own row order.
    std::vector<Pixel> pixels(width * height, Pixel{0, 0, 0, 0});
    if (textureKind == Rgba) {
        if (previous.size() != width * height * 4) return {};
        for (size_t i = 0; i < pixels.size(); ++i) {
            for (size_t c = 0; c < 4; ++c) pixels[i][c] = previous[4 * i + c];
        }
    }

    // Step 2: every decoded block, or every pixel, at its place in file order.
    if (format == Format::Uncompressed) {
        const size_t pixelBytes = fields.rgbBitCount / 8;
        if (data.size() < width * height * pixelBytes) return {};
        for (size_t i = 0; i < width * height; ++i) {
            pixels[i] = uncompressedPixel(fields, &data[i * pixelBytes]);
        }
    } else {
        // Rows that hold the partial blocks have them decoded, clipped.
        const bool partial = holdsPartialBlocks(fields, data.size());
        const size_t stride = blocksPerStoredRow(fields, data.size());
        const size_t blocksPerRow = stride;
        const size_t blockRows = partial ? (height + 3) / 4 : height >> 2;
        const size_t size = blockBytes(format);
        if (blockRows > 0 && data.size() < ((blockRows - 1) * stride + blocksPerRow) * size) return {};
        for (size_t by = 0; by < blockRows; ++by) {
            for (size_t bx = 0; bx < blocksPerRow; ++bx) {
                const std::array<Pixel, 16> decoded = block(format, &data[(by * stride + bx) * size]);
                for (size_t r = 0; r < 4 && 4 * by + r < height; ++r) {
                    for (size_t c = 0; c < 4 && 4 * bx + c < width; ++c) {
                        pixels[(4 * by + r) * width + 4 * bx + c] = decoded[4 * r + c];
                    }
                }
            }
        }
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
