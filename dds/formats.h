// Codes shared by the DDS reader and the plug-in shell: how a file's pixels
// are encoded, and which texture type the host is told.
#ifndef DDS_FORMATS_H
#define DDS_FORMATS_H

#include <cstdint>

// The block kernels: how a block-coded file's blocks decode.  The format
// table names one for each block format a header can say; a normal-map
// variant replaces it where the header asks for one.  (Premultiplied
// colour, DXT2's and DXT4's, is undone after decoding, for every format:
// see DdsPlan::unpremultiply.)  Uncompressed marks the rows of the table
// whose pixels are converted row by row instead.
enum class BlockFormat : uint8_t {
    Dxt1,
    Dxt3,
    Dxt5,
    Dxt5Normal,       // DXT5 holding a normal's x in alpha and y in green: delivered as
                      // red and green, blue made from them as Bc5Normal's, alpha 255
    Bc4,              // one channel, delivered grey
    Bc4Signed,
    Bc5,              // two channels into red and green, blue 0
    Bc5Signed,
    Bc5Normal,        // blue reconstructed as a tangent-space normal's z
    Bc5SignedNormal,
    Bc6h,             // unsigned half floats, clamped to [0, 1]
    Bc6hSigned,
    Bc7,
    // The mobile formats.  ETC1 decodes as ETC2 RGB; ETC and EAC blocks are
    // big-endian words numbering their pixels down the columns.
    Etc2Rgb,               // ETC1 and ETC2 RGB, alpha 255
    Etc2PunchThrough,      // ETC2 RGB whose transparent index is (0, 0, 0, 0)
    Etc2Rgba,              // an EAC alpha block, then an ETC2 RGB block
    EacR11,                // one unsigned 11-bit channel, delivered grey
    EacRg11,               // red and green, blue 0
    AtcRgb,                // ATC colour block, alpha 255
    AtcExplicitAlpha,      // 4-bit alpha, then the colour block
    AtcInterpolatedAlpha,  // an eight-value alpha block, then the colour block
    Astc4x4,               // ASTC: one format a footprint, in the order of the DXGI numbers
    Astc5x4,
    Astc5x5,
    Astc6x5,
    Astc6x6,
    Astc8x5,
    Astc8x6,
    Astc8x8,
    Astc10x5,
    Astc10x6,
    Astc10x8,
    Astc10x10,
    Astc12x10,
    Astc12x12,
    Pvrtc4,                // PVRTC1 words: not block-local, decoded a word row at a time
    Pvrtc2,
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
    {8, 4, 4}, {16, 4, 4}, {16, 4, 4}, {16, 4, 4},              // DXT1, DXT3, DXT5 and its normal map
    {8, 4, 4}, {8, 4, 4},                                       // BC4
    {16, 4, 4}, {16, 4, 4}, {16, 4, 4}, {16, 4, 4},             // BC5
    {16, 4, 4}, {16, 4, 4}, {16, 4, 4},                         // BC6H, BC7
    {8, 4, 4}, {8, 4, 4}, {16, 4, 4}, {8, 4, 4}, {16, 4, 4},    // ETC2, EAC
    {8, 4, 4}, {16, 4, 4}, {16, 4, 4},                          // ATC
    {16, 4, 4}, {16, 5, 4}, {16, 5, 5}, {16, 6, 5}, {16, 6, 6},  // ASTC
    {16, 8, 5}, {16, 8, 6}, {16, 8, 8}, {16, 10, 5}, {16, 10, 6},
    {16, 10, 8}, {16, 10, 10}, {16, 12, 10}, {16, 12, 12},
    {8, 4, 4}, {8, 8, 4},                                       // PVRTC1 words
};

constexpr BlockShape ddsBlockShape(BlockFormat format) { return ddsBlockShapes[ddsIndex(format)]; }
constexpr unsigned ddsBlockBytes(BlockFormat format) { return ddsBlockShape(format).bytes; }

// The most rows and columns a block has (ASTC 12 x 12).
constexpr unsigned ddsMaxBlockSide = 12;

// The side of the blocks of the BC, ETC, EAC and ATC formats, in pixels.
constexpr unsigned ddsBlockSide = 4;

// The host's texture type codes: three bytes a pixel (R, G, B) or four
// (R, G, B, A).
enum class TextureType : int { Rgb = 4, Rgba = 5 };

constexpr unsigned ddsBytesPerPixel(TextureType type) { return type == TextureType::Rgb ? 3u : 4u; }

#endif
