// A plain, whole-image decoder of the importer's rules, written for the
// tests only.  It shares no code with dds/: it decodes the 4 x 4 blocks
// (or every uncompressed pixel) of the top level into a
// width x height RGBA image, flips that image by swapping rows, and packs it
// to the host's pixel size, one obvious step after another.  Fast paths of
// the importer are checked against it byte for byte.
#ifndef TESTS_REFERENCE_DECODER_H
#define TESTS_REFERENCE_DECODER_H

#include <array>
#include <cstdint>
#include <vector>

#include "dds_builder.h"

namespace reference {

using Pixel = std::array<uint8_t, 4>;  // R, G, B, A

// How the header (and the DX10 record, where given) says the data is
// stored; None for everything this decoder does not cover.  DXT2 and DXT4,
// and Rgba images whose DX10 alpha mode is 2, have premultiplied colour;
// DXT5, BC3 and BC5 with the pixel format's normal-map flag (0x80000000),
// but for that alpha mode, hold a normal (DXT5 and BC3: x in alpha).
// Layout: the pixel layouts that are not masks (integer and float fields,
// 1-bit, YUV, packed 4:2:2 RGB, 4:2:0 planes, palettes), by layoutPixels.
enum class Format { Dxt1, Dxt2, Dxt3, Dxt4, Dxt5, Dxt5Normal, Bc5, Bc5Normal, Uncompressed, Layout, None };
Format formatOf(const DdsFields &fields, const Dx10Fields *dx10 = nullptr);

// Texture type codes the host is told.
constexpr int Rgb = 4;
constexpr int Rgba = 5;

// The four colours an 8-byte colour block's indices select: each channel
// 255 times the weighted mean of the endpoints' fields over the field's
// largest value, rounded half up.  Three-colour mode (color0 <= color1),
// whose fourth colour is transparent black, exists only where `alwaysFour`
// is false: in DXT1.
std::array<Pixel, 4> palette(uint16_t color0, uint16_t color1, bool alwaysFour = false);

// The eight alpha values of a DXT5 alpha block.
std::array<uint8_t, 8> alphaTable(uint8_t alpha0, uint8_t alpha1);

// The 16 pixels of one block (8 bytes for Dxt1, 16 for the others),
// row-major: pixel (c, r) at index 4r + c.
std::array<Pixel, 16> block(Format format, const uint8_t *bytes);

// One channel of an uncompressed pixel value under `mask`.
uint8_t maskedChannel(uint32_t mask, uint32_t pixel);

// One uncompressed pixel, read from `bytes` (rgbBitCount / 8 bytes).
Pixel uncompressedPixel(const DdsFields &fields, const uint8_t *bytes);

// The pixels of a Layout file in file order from `data` (after the header
// and DX10 record), and its type; empty when `data` is too short.
std::vector<Pixel> layoutPixels(const DdsFields &fields, const Dx10Fields *dx10, const std::vector<uint8_t> &data,
                                int *type);

// BT.601 studio-range YUV (k = 1, 4, 256 for 8-, 10-, 16-bit samples) by
// the real-number equations, R = Y' + 1.402 Pr..., rounded to bytes.
Pixel exactYuv(uint32_t y, uint32_t u, uint32_t v, uint32_t k);

// The value of a half float, from its bits.
double halfValue(uint16_t half);

// An HDR colour value with the host's preferences: times 2^(exposure /
// 100), through the sRGB transfer function when `srgb`, clamped to [0, 1],
// round(255 x); NaN 0.
uint8_t hdrByte(double value, int exposure, bool srgb);

// Rgb or Rgba for a decodable file whose top level is `data`: DXT1 is Rgba
// when its first block is in three-colour mode or a decoded pixel inside
// the image is transparent; BC5 and DXT5 normal maps Rgb; the rest Rgba.
int textureType(const DdsFields &fields, const std::vector<uint8_t> &data, const Dx10Fields *dx10 = nullptr);

// How many blocks one stored row of blocks holds, for a block file with
// `dataBytes` bytes after the header.  Encoders store every block that
// touches a row, ceil(width / 4); a file is read at that stride when it
// holds the whole level of ceil(width / 4) x ceil(height / 4) blocks and
// no FourCC linear size (flag 0x80000, non-zero) declares less.  Otherwise
// its rows hold only the whole blocks, width / 4.  Rows that hold every
// block have them all decoded, clipped to the image; otherwise only the
// whole blocks are decoded.
size_t blocksPerStoredRow(const DdsFields &fields, size_t dataBytes);
bool holdsPartialBlocks(const DdsFields &fields, size_t dataBytes);

// The bytes the host's buffer must hold after a successful image request:
// `data` is the file from offset 128 to its end (its length picks the
// stride of block rows), `previous` the buffer's contents
// before the call (width * height * 3 or 4 bytes; only read for Rgba),
// `preference` the value of the flip preference (0 when absent).  Stores
// the texture type in *type when `type` is not null.  Returns an empty
// vector when the format is not decoded, `data` holds too few bytes, or
// `previous` has the wrong size for an Rgba image.
std::vector<uint8_t> image(const DdsFields &fields, const std::vector<uint8_t> &data,
                           const std::vector<uint8_t> &previous, int preference, int *type = nullptr,
                           const Dx10Fields *dx10 = nullptr);

}  // namespace reference

// The name the tests' callers reuse.
inline std::vector<uint8_t> referenceImage(const DdsFields &fields, const std::vector<uint8_t> &data,
                                           const std::vector<uint8_t> &previous, int preference,
                                           int *type = nullptr) {
    return reference::image(fields, data, previous, preference, type);
}

#endif
