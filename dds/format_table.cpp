#include "format_table.h"

namespace {

constexpr DdsFormat blockRow(FormatKey key, uint32_t code, const char *name, BlockFormat blocks, TypeRule type) {
    return DdsFormat{key, code, name, CodingBlocks, blocks, ddsBlockBytes(blocks), type, MasksFromHeader,
                     {0, 0, 0, 0}, false, WideFormat{}};
}

// Pixels of `bits` whose channels lie where `r`, `g`, `b`, `a` say.
constexpr DdsFormat maskRow(FormatKey key, uint32_t code, const char *name, uint32_t bits, MaskSource source,
                            uint32_t r, uint32_t g, uint32_t b, uint32_t a, bool alpha, TypeRule type) {
    return DdsFormat{key, code, name, CodingMasks, Uncompressed, bits / 8, type, source, {r, g, b, a}, alpha,
                     WideFormat{}};
}

constexpr DdsFormat headerMasks(uint32_t bits, const char *name) {
    return maskRow(KeyBitCount, bits, name, bits, MasksFromHeader, 0, 0, 0, 0, false, TypeRgba);
}

constexpr uint32_t widePixelBytes(WideLayout layout, uint32_t channels) {
    return layout == WideFloat32 ? 4 * channels : layout == WideUnorm16 || layout == WideFloat16 ? 2 * channels : 4;
}

constexpr DdsFormat wideRow(FormatKey key, uint32_t code, const char *name, WideLayout layout, uint8_t channels,
                            TypeRule type) {
    return DdsFormat{key, code, name, CodingWide, Uncompressed, widePixelBytes(layout, channels), type,
                     MasksFromHeader, {0, 0, 0, 0}, false, WideFormat{layout, channels, false}};
}

constexpr uint32_t fourCC(const char (&text)[5]) { return ddsFourCC(text[0], text[1], text[2], text[3]); }

// Legacy layouts, by the masks that name them: the same rows serve the
// legacy numeric codes and the DXGI formats that are their twins, which
// decode exactly as the masks do, texture type included (always Rgba).
constexpr DdsFormat fixed(FormatKey key, uint32_t code, const char *name, uint32_t bits, uint32_t r, uint32_t g,
                          uint32_t b, uint32_t a, bool alpha) {
    return maskRow(key, code, name, bits, MasksFixed, r, g, b, a, alpha, TypeRgba);
}

constexpr DdsFormat Formats[] = {
    // FourCC codes of block formats.
    blockRow(KeyFourCC, fourCC("DXT1"), "DXT1", Dxt1, TypeFirstBlock),
    blockRow(KeyFourCC, fourCC("DXT2"), "DXT2 (premultiplied)", Dxt2, TypeRgba),
    blockRow(KeyFourCC, fourCC("DXT3"), "DXT3", Dxt3, TypeRgba),
    blockRow(KeyFourCC, fourCC("DXT4"), "DXT4 (premultiplied)", Dxt4, TypeRgba),
    blockRow(KeyFourCC, fourCC("DXT5"), "DXT5", Dxt5, TypeRgba),
    blockRow(KeyFourCC, fourCC("ATI1"), "BC4 (ATI1)", Bc4, TypeRgb),
    blockRow(KeyFourCC, fourCC("BC4U"), "BC4 (BC4U)", Bc4, TypeRgb),
    blockRow(KeyFourCC, fourCC("BC4S"), "BC4 signed (BC4S)", Bc4Signed, TypeRgb),
    blockRow(KeyFourCC, fourCC("ATI2"), "BC5 (ATI2)", Bc5, TypeRgb),
    blockRow(KeyFourCC, fourCC("BC5U"), "BC5 (BC5U)", Bc5, TypeRgb),
    blockRow(KeyFourCC, fourCC("BC5S"), "BC5 signed (BC5S)", Bc5Signed, TypeRgb),
    // A FourCC flag with a zero code: pixels described by the header's
    // masks, which some writers produce.  Its pixel size comes from the bit
    // count, and its level is declared as 16-byte blocks, as for every FourCC.
    maskRow(KeyFourCC, 0, "masks (FourCC 0)", 0, MasksFromHeader, 0, 0, 0, 0, false, TypeRgba),
    // Legacy numeric format codes written in the FourCC field.
    fixed(KeyFourCC, 20, "R8G8B8 (code 20)", 24, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(KeyFourCC, 21, "A8R8G8B8 (code 21)", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(KeyFourCC, 22, "X8R8G8B8 (code 22)", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(KeyFourCC, 23, "R5G6B5 (code 23)", 16, 0xF800, 0x07E0, 0x001F, 0, false),
    fixed(KeyFourCC, 24, "X1R5G5B5 (code 24)", 16, 0x7C00, 0x03E0, 0x001F, 0, false),
    fixed(KeyFourCC, 25, "A1R5G5B5 (code 25)", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true),
    fixed(KeyFourCC, 26, "A4R4G4B4 (code 26)", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true),
    maskRow(KeyFourCC, 28, "A8 (code 28)", 8, MasksFixed, 0, 0, 0, 0xFF, true, TypeRgba),
    fixed(KeyFourCC, 32, "A8B8G8R8 (code 32)", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    fixed(KeyFourCC, 33, "X8B8G8R8 (code 33)", 32, 0xFF, 0xFF00, 0xFF0000, 0, false),
    wideRow(KeyFourCC, 36, "A16B16G16R16 (code 36)", WideUnorm16, 4, TypeRgba),
    maskRow(KeyFourCC, 50, "L8 (code 50)", 8, MasksFixed, 0xFF, 0xFF, 0xFF, 0, false, TypeRgb),
    maskRow(KeyFourCC, 51, "A8L8 (code 51)", 16, MasksFixed, 0xFF, 0xFF, 0xFF, 0xFF00, true, TypeRgba),
    maskRow(KeyFourCC, 81, "L16 (code 81)", 16, MasksFixed, 0xFFFF, 0xFFFF, 0xFFFF, 0, false, TypeRgb),
    wideRow(KeyFourCC, 111, "R16F (code 111)", WideFloat16, 1, TypeRgb),
    wideRow(KeyFourCC, 113, "A16B16G16R16F (code 113)", WideFloat16, 4, TypeRgba),
    wideRow(KeyFourCC, 114, "R32F (code 114)", WideFloat32, 1, TypeRgb),
    wideRow(KeyFourCC, 116, "A32B32G32R32F (code 116)", WideFloat32, 4, TypeRgba),

    // Uncompressed pixels described by the header's masks.
    headerMasks(8, "8-bit masks"),
    headerMasks(16, "16-bit masks"),
    headerMasks(24, "24-bit masks"),
    headerMasks(32, "32-bit masks"),
    // Luminance and alpha-only headers: the standard masks stand in for
    // masks that do not select bits inside the pixel (some writers put
    // 0xff000000 in an 8-bit luminance file).
    maskRow(KeyLuminance, 8, "L8", 8, MasksLuminance, 0xFF, 0, 0, 0, false, TypeRgb),
    maskRow(KeyLuminance, 8 | LuminanceWithAlpha, "A4L4", 8, MasksLuminance, 0x0F, 0, 0, 0xF0, true, TypeRgba),
    maskRow(KeyLuminance, 16, "L16", 16, MasksLuminance, 0xFFFF, 0, 0, 0, false, TypeRgb),
    maskRow(KeyLuminance, 16 | LuminanceWithAlpha, "A8L8", 16, MasksLuminance, 0x00FF, 0, 0, 0xFF00, true,
            TypeRgba),
    maskRow(KeyAlphaOnly, 8, "A8", 8, MasksAlphaOnly, 0, 0, 0, 0xFF, true, TypeRgba),

    // DXGI formats of the DX10 record.  BC2 and BC3 whose alpha mode says
    // premultiplied decode as DXT2 and DXT4 (the plan picks the kernel).
    wideRow(KeyDxgi, 2, "R32G32B32A32_FLOAT", WideFloat32, 4, TypeRgba),
    wideRow(KeyDxgi, 6, "R32G32B32_FLOAT", WideFloat32, 3, TypeRgb),
    wideRow(KeyDxgi, 10, "R16G16B16A16_FLOAT", WideFloat16, 4, TypeRgba),
    wideRow(KeyDxgi, 11, "R16G16B16A16_UNORM", WideUnorm16, 4, TypeRgba),
    wideRow(KeyDxgi, 16, "R32G32_FLOAT", WideFloat32, 2, TypeRgb),
    fixed(KeyDxgi, 24, "R10G10B10A2_UNORM", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, true),
    wideRow(KeyDxgi, 26, "R11G11B10_FLOAT", WideR11G11B10, 3, TypeRgb),
    fixed(KeyDxgi, 28, "R8G8B8A8_UNORM", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    fixed(KeyDxgi, 29, "R8G8B8A8_UNORM_SRGB", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    wideRow(KeyDxgi, 34, "R16G16_FLOAT", WideFloat16, 2, TypeRgb),
    wideRow(KeyDxgi, 35, "R16G16_UNORM", WideUnorm16, 2, TypeRgb),
    wideRow(KeyDxgi, 41, "R32_FLOAT", WideFloat32, 1, TypeRgb),
    maskRow(KeyDxgi, 49, "R8G8_UNORM", 16, MasksFixed, 0xFF, 0xFF00, 0, 0, false, TypeRgb),
    wideRow(KeyDxgi, 54, "R16_FLOAT", WideFloat16, 1, TypeRgb),
    wideRow(KeyDxgi, 56, "R16_UNORM", WideUnorm16, 1, TypeRgb),
    maskRow(KeyDxgi, 61, "R8_UNORM", 8, MasksFixed, 0xFF, 0xFF, 0xFF, 0, false, TypeRgb),
    maskRow(KeyDxgi, 65, "A8_UNORM", 8, MasksFixed, 0, 0, 0, 0xFF, true, TypeRgba),
    wideRow(KeyDxgi, 67, "R9G9B9E5_SHAREDEXP", WideR9G9B9E5, 3, TypeRgb),
    blockRow(KeyDxgi, 70, "BC1_TYPELESS", Dxt1, TypeFirstBlock),
    blockRow(KeyDxgi, 71, "BC1_UNORM", Dxt1, TypeFirstBlock),
    blockRow(KeyDxgi, 72, "BC1_UNORM_SRGB", Dxt1, TypeFirstBlock),
    blockRow(KeyDxgi, 73, "BC2_TYPELESS", Dxt3, TypeRgba),
    blockRow(KeyDxgi, 74, "BC2_UNORM", Dxt3, TypeRgba),
    blockRow(KeyDxgi, 75, "BC2_UNORM_SRGB", Dxt3, TypeRgba),
    blockRow(KeyDxgi, 76, "BC3_TYPELESS", Dxt5, TypeRgba),
    blockRow(KeyDxgi, 77, "BC3_UNORM", Dxt5, TypeRgba),
    blockRow(KeyDxgi, 78, "BC3_UNORM_SRGB", Dxt5, TypeRgba),
    blockRow(KeyDxgi, 79, "BC4_TYPELESS", Bc4, TypeRgb),
    blockRow(KeyDxgi, 80, "BC4_UNORM", Bc4, TypeRgb),
    blockRow(KeyDxgi, 81, "BC4_SNORM", Bc4Signed, TypeRgb),
    blockRow(KeyDxgi, 82, "BC5_TYPELESS", Bc5, TypeRgb),
    blockRow(KeyDxgi, 83, "BC5_UNORM", Bc5, TypeRgb),
    blockRow(KeyDxgi, 84, "BC5_SNORM", Bc5Signed, TypeRgb),
    fixed(KeyDxgi, 85, "B5G6R5_UNORM", 16, 0xF800, 0x07E0, 0x001F, 0, false),
    fixed(KeyDxgi, 86, "B5G5R5A1_UNORM", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true),
    fixed(KeyDxgi, 87, "B8G8R8A8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(KeyDxgi, 88, "B8G8R8X8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(KeyDxgi, 91, "B8G8R8A8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(KeyDxgi, 93, "B8G8R8X8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    blockRow(KeyDxgi, 95, "BC6H_UF16", Bc6h, TypeRgb),
    blockRow(KeyDxgi, 96, "BC6H_SF16", Bc6hSigned, TypeRgb),
    blockRow(KeyDxgi, 97, "BC7_TYPELESS", Bc7, TypeRgba),
    blockRow(KeyDxgi, 98, "BC7_UNORM", Bc7, TypeRgba),
    blockRow(KeyDxgi, 99, "BC7_UNORM_SRGB", Bc7, TypeRgba),
    fixed(KeyDxgi, 115, "B4G4R4A4_UNORM", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true),
};

const DdsFormat *lookUp(FormatKey key, uint32_t code) {
    for (const DdsFormat &format : Formats) {
        if (format.key == key && format.code == code) return &format;
    }
    return nullptr;
}

const DdsFormat *findFourCC(const DdsPixelFormat &pixelFormat, DdsRefusal *refusal) {
    const DdsFormat *format = lookUp(KeyFourCC, pixelFormat.fourCC);
    if (format == nullptr) {
        *refusal = DdsUnsupportedFourCC;
    } else if (format->unitBytes == 0 && lookUp(KeyBitCount, pixelFormat.rgbBitCount) == nullptr) {
        *refusal = DdsUnsupportedBitCount;  // FourCC 0 with a bit count that is not converted
        return nullptr;
    }
    return format;
}

const DdsFormat *findByBits(FormatKey key, uint32_t code, DdsRefusal *refusal) {
    const DdsFormat *format = lookUp(key, code);
    if (format == nullptr) *refusal = DdsUnsupportedBitCount;
    return format;
}

}  // namespace

const DdsFormat *ddsFindFormat(const DdsFormatQuery &query, DdsRefusal *refusal) {
    const DdsPixelFormat &pixelFormat = *query.pixelFormat;
    if (query.dx10 != nullptr) {
        const DdsFormat *format = lookUp(KeyDxgi, query.dx10->dxgiFormat);
        if (format == nullptr) *refusal = DdsUnsupportedDxgiFormat;
        return format;
    }
    const uint32_t flags = pixelFormat.flags;
    if (flags & DdsPixelFourCC) return findFourCC(pixelFormat, refusal);
    if (flags & DdsPixelRgb) return findByBits(KeyBitCount, pixelFormat.rgbBitCount, refusal);
    if (flags & DdsPixelLuminance) {
        // The alpha flag rides in a bit above every bit count the table holds.
        const uint32_t bits = pixelFormat.rgbBitCount;
        if (bits >= LuminanceWithAlpha) {
            *refusal = DdsUnsupportedBitCount;
            return nullptr;
        }
        return findByBits(KeyLuminance, bits | ((flags & DdsPixelAlpha) ? LuminanceWithAlpha : 0), refusal);
    }
    if (flags & DdsPixelAlphaOnly) return findByBits(KeyAlphaOnly, pixelFormat.rgbBitCount, refusal);
    *refusal = (flags & (DdsPixelPalette | DdsPixelYuv)) ? DdsPaletteOrYuv : DdsNoPixelFormat;
    return nullptr;
}
