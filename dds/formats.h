// Codes shared by the DDS reader and the plug-in shell: how a file's pixels
// are encoded, and which texture type the host is told.
#ifndef DDS_FORMATS_H
#define DDS_FORMATS_H

#include <cstdint>

// The block kernels: how a block-coded file's blocks decode.  The format
// table names one for each block format a header can say; a premultiplied
// or normal-map variant replaces it where the header asks for one.
// Uncompressed marks the rows of the table whose pixels are converted row
// by row instead.
enum class BlockFormat : uint8_t {
    Dxt1,
    Dxt2,             // DXT3 with premultiplied colour, undone after decoding
    Dxt3,
    Dxt4,             // DXT5 with premultiplied colour, undone after decoding
    Dxt5,
    Bc4,              // one channel, delivered grey
    Bc4Signed,
    Bc5,              // two channels into red and green, blue 0
    Bc5Signed,
    Bc5Normal,        // blue reconstructed as a tangent-space normal's z
    Bc5SignedNormal,
    Bc6h,             // unsigned half floats, clamped to [0, 1]
    Bc6hSigned,
    Bc7,
    Uncompressed,
};

constexpr unsigned ddsBlockFormatCount = static_cast<unsigned>(BlockFormat::Uncompressed);

constexpr unsigned ddsIndex(BlockFormat format) { return static_cast<unsigned>(format); }

// The size of a block of each block format, in the order of the
// enumeration: the one place a block's bytes and footprint are written down.
struct BlockShape {
    uint8_t bytes;
    uint8_t width;   // pixels
    uint8_t height;
};

constexpr BlockShape ddsBlockShapes[ddsBlockFormatCount] = {
    {8, 4, 4}, {16, 4, 4}, {16, 4, 4}, {16, 4, 4}, {16, 4, 4},  // DXT1 to DXT5
    {8, 4, 4}, {8, 4, 4},                                       // BC4
    {16, 4, 4}, {16, 4, 4}, {16, 4, 4}, {16, 4, 4},             // BC5
    {16, 4, 4}, {16, 4, 4}, {16, 4, 4},                         // BC6H, BC7
};

constexpr BlockShape ddsBlockShape(BlockFormat format) { return ddsBlockShapes[ddsIndex(format)]; }
constexpr unsigned ddsBlockBytes(BlockFormat format) { return ddsBlockShape(format).bytes; }

// The side of the blocks of the BC formats, in pixels.
constexpr unsigned ddsBlockSide = 4;

// The host's texture type codes: three bytes a pixel (R, G, B) or four
// (R, G, B, A).
enum class TextureType : int { Rgb = 4, Rgba = 5 };

constexpr unsigned ddsBytesPerPixel(TextureType type) { return type == TextureType::Rgb ? 3u : 4u; }

#endif
