// The DDS header record: its layout, its flags, and its reading from bytes.
#ifndef DDS_HEADER_H
#define DDS_HEADER_H

#include <cstdint>

#include "formats.h"

// The file starts with these four bytes; the header follows at offset 4
// and the top level's data at offset 128.
constexpr char DdsMagic[4] = {'D', 'D', 'S', ' '};
constexpr int DdsMagicBytes = 4;
constexpr int DdsHeaderBytes = 124;
constexpr uint32_t DdsDataOffset = DdsMagicBytes + DdsHeaderBytes;

// Header flags the importer looks at.  A header with DdsFlagRefused set is
// not read at all.
constexpr uint32_t DdsFlagRefused = 0x200;
constexpr uint32_t DdsFlagMipMapCount = 0x20000;
constexpr uint32_t DdsFlagLinearSize = 0x80000;
constexpr uint32_t DdsFlagDepth = 0x800000;
constexpr uint32_t DdsCaps2Cubemap = 0x200;  // caps2: a cube map; its first face, +X, is read

// Pixel-format flags.
constexpr uint32_t DdsPixelAlpha = 0x1;          // aBitMask is valid
constexpr uint32_t DdsPixelAlphaOnly = 0x2;      // one alpha channel, in aBitMask
constexpr uint32_t DdsPixelFourCC = 0x4;         // fourCC is valid
constexpr uint32_t DdsPixelSmallPalettes = 0x1808;  // 4-, 1- and 2-bit palette indices (0x8, 0x800, 0x1000)
constexpr uint32_t DdsPixelPalette = 0x20;       // 8-bit palette indices
constexpr uint32_t DdsPixelRgb = 0x40;           // uncompressed, described by masks
constexpr uint32_t DdsPixelYuv = 0x200;          // YUV, described by masks
constexpr uint32_t DdsPixelLuminance = 0x20000;  // one luminance channel in rBitMask
constexpr uint32_t DdsPixelBumpLuminance = 0x40000;  // signed du, dv in the red and green masks, luminance in blue
constexpr uint32_t DdsPixelBumpDuDv = 0x80000;   // signed channels in the masks
constexpr uint32_t DdsPixelNormalMap = 0x80000000u;  // set by texture tools on tangent-space normal maps

constexpr uint32_t ddsFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// The 32-byte pixel-format record at header offset 72.
struct DdsPixelFormat {
    uint32_t size;
    uint32_t flags;
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t rBitMask;
    uint32_t gBitMask;
    uint32_t bBitMask;
    uint32_t aBitMask;
};
static_assert(sizeof(DdsPixelFormat) == 32, "DdsPixelFormat is 32 bytes");

// The 124-byte header record at file offset 4: 31 little-endian 32-bit
// words, in the order of the fields.  Filled from words read byte by byte,
// never by laying the struct over file data.
struct DdsHeader {
    uint32_t size;
    uint32_t flags;
    uint32_t height;
    uint32_t width;
    uint32_t pitchOrLinearSize;
    uint32_t depth;
    int32_t mipMapCount;
    uint32_t reserved1[11];
    DdsPixelFormat pixelFormat;
    uint32_t caps, caps2, caps3, caps4;
    uint32_t reserved2;
};
static_assert(sizeof(DdsHeader) == DdsHeaderBytes, "DdsHeader is 124 bytes");

// Fills `header` from the 124 bytes that follow the magic.
void ddsParseHeader(const uint8_t bytes[DdsHeaderBytes], DdsHeader *header);

// The FourCC "DX10" announces a 20-byte record after the header, and the
// data then starts at offset 148.
constexpr uint32_t DdsFourCCDx10 = ddsFourCC('D', 'X', '1', '0');
constexpr int DdsDx10Bytes = 20;
constexpr uint32_t DdsDx10DataOffset = DdsDataOffset + DdsDx10Bytes;

constexpr uint32_t DdsDx10MiscCube = 0x4;      // miscFlag: a cube map
constexpr uint32_t DdsDx10AlphaModeMask = 0x7; // miscFlags2: the alpha mode
constexpr uint32_t DdsDx10AlphaPremultiplied = 2;

struct DdsHeaderDx10 {
    uint32_t dxgiFormat;
    uint32_t resourceDimension;
    uint32_t miscFlag;
    uint32_t arraySize;
    uint32_t miscFlags2;
};
static_assert(sizeof(DdsHeaderDx10) == DdsDx10Bytes, "DdsHeaderDx10 is 20 bytes");

// Fills `dx10` from the 20 bytes at offset 128.
void ddsParseHeaderDx10(const uint8_t bytes[DdsDx10Bytes], DdsHeaderDx10 *dx10);

// Whether the header announces the DX10 record: its FourCC field says
// "DX10" with the FourCC flag, or without it when no other pixel-format
// flag (RGB, luminance, alpha, palette, bump) says what the pixels are, as
// some writers leave it.
bool ddsHasDx10Header(const DdsHeader &header);

#endif
