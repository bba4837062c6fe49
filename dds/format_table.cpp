#include "format_table.h"

namespace {

using B = BlockFormat;

constexpr DdsFormat blockRow(FormatKey key, uint32_t code, const char *name, BlockFormat blocks, TypeRule type,
                             BlockFormat premultiplied, BlockFormat normalMap) {
    return DdsFormat{key, code, name, PixelCoding::Blocks, blocks, premultiplied, normalMap,
                     ddsBlockBytes(blocks), false, 0, type, MaskSource::Header, {0, 0, 0, 0}, false,
                     WideFormat{}};
}

constexpr DdsFormat blockRow(FormatKey key, uint32_t code, const char *name, BlockFormat blocks, TypeRule type) {
    return blockRow(key, code, name, blocks, type, blocks, blocks);
}

// DXT1 to DXT5 under a legacy header: a linear size declares the level, as
// those files have always been read.  Writers disagree about it for BC4 and
// BC5 (and for DX10 files, whose rows come from the DXGI rows below).
constexpr DdsFormat dxtRow(uint32_t code, const char *name, BlockFormat blocks, TypeRule type) {
    DdsFormat row = blockRow(FormatKey::FourCC, code, name, blocks, type);
    row.readsLinearSize = true;
    return row;
}

// Pixels of `bits` whose channels lie where `r`, `g`, `b`, `a` say.
constexpr DdsFormat maskRow(FormatKey key, uint32_t code, const char *name, uint32_t bits, MaskSource source,
                            uint32_t r, uint32_t g, uint32_t b, uint32_t a, bool alpha, TypeRule type) {
    return DdsFormat{key, code, name, PixelCoding::Masks, B::Uncompressed, B::Uncompressed, B::Uncompressed,
                     bits / 8, false, 0, type, source, {r, g, b, a}, alpha, WideFormat{}};
}

constexpr DdsFormat headerMasks(uint32_t bits, const char *name) {
    return maskRow(FormatKey::BitCount, bits, name, bits, MaskSource::Header, 0, 0, 0, 0, false, TypeRule::Rgba);
}

constexpr DdsFormat wideRow(FormatKey key, uint32_t code, const char *name, WideLayout layout, uint8_t channels,
                            TypeRule type) {
    const WideFormat wide{layout, channels};
    return DdsFormat{key, code, name, PixelCoding::Wide, B::Uncompressed, B::Uncompressed, B::Uncompressed,
                     ddsWidePixelBytes(wide), false, 0, type, MaskSource::Header, {0, 0, 0, 0}, false, wide};
}

constexpr uint32_t fourCC(const char (&text)[5]) { return ddsFourCC(text[0], text[1], text[2], text[3]); }

// Pixels of `pixelBytes` whose channels are the fields `r`, `g`, `b`, `a`.
constexpr DdsFormat fieldRow(FormatKey key, uint32_t code, const char *name, TypeRule type, uint8_t pixelBytes, Field r,
                             Field g, Field b, Field a) {
    DdsFormat row{key, code, name, PixelCoding::Fields, B::Uncompressed, B::Uncompressed, B::Uncompressed, pixelBytes,
                  false, 0, type, MaskSource::Fixed, {0, 0, 0, 0}, false, WideFormat{}};
    row.fields = FieldLayout{{r, g, b, a}, pixelBytes};
    return row;
}

constexpr Field Zero = Field{FieldKind::Zero, 0, 0};
constexpr Field Opaque = Field{FieldKind::Opaque, 0, 0};

// Channel `index` of channels of `bits` (8, 16 or 32) packed from the
// pixel's first byte.
constexpr Field channelField(FieldKind kind, uint32_t bits, uint32_t index) {
    const uint32_t bit = bits * index;
    const uint32_t ones = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return ddsField(kind, ones << (bit % 32), static_cast<uint8_t>(bit / 32 * 4));
}

// `count` channels of `bits` in R, G, B, A order: one is grey, two are red
// and green with blue 0, and only four carry alpha (Rgba).
constexpr DdsFormat channelsRow(FormatKey key, uint32_t code, const char *name, FieldKind kind, uint32_t bits,
                                uint32_t count) {
    const Field r = channelField(kind, bits, 0);
    const Field g = count == 1 ? r : channelField(kind, bits, 1);
    const Field b = count == 1 ? r : count == 2 ? Zero : channelField(kind, bits, 2);
    const Field a = count == 4 ? channelField(kind, bits, 3) : Opaque;
    return fieldRow(key, code, name, count == 4 ? TypeRule::Rgba : TypeRule::Rgb,
                    static_cast<uint8_t>(bits * count / 8), r, g, b, a);
}

// One field, grey.
constexpr DdsFormat greyRow(uint32_t code, const char *name, uint8_t pixelBytes, Field grey) {
    return fieldRow(FormatKey::Dxgi, code, name, TypeRule::Rgb, pixelBytes, grey, grey, grey, Opaque);
}

// Bump pixel formats: the fields come from the header's masks.
constexpr DdsFormat bumpRow(FormatKey key, uint32_t bits, const char *name, TypeRule type) {
    DdsFormat row = fieldRow(key, bits, name, type, static_cast<uint8_t>(bits / 8), Zero, Zero, Zero, Opaque);
    row.maskSource = MaskSource::Header;
    return row;
}

constexpr DdsFormat bitsRow(FormatKey key, uint32_t code, const char *name) {
    return DdsFormat{key, code, name, PixelCoding::Bits, B::Uncompressed, B::Uncompressed, B::Uncompressed, 1, false,
                     0, TypeRule::Rgb, MaskSource::Fixed, {0, 0, 0, 0}, false, WideFormat{}};
}

constexpr DdsFormat yuvRow(FormatKey key, uint32_t code, const char *name, YuvLayout layout, TypeRule type) {
    DdsFormat row{key, code, name, PixelCoding::Yuv, B::Uncompressed, B::Uncompressed, B::Uncompressed,
                  ddsYuvSampleBytes(layout), false, 0, type, MaskSource::Fixed, {0, 0, 0, 0}, false, WideFormat{}};
    row.yuv = layout;
    return row;
}

constexpr DdsFormat paletteRow(FormatKey key, uint32_t code, const char *name, PaletteLayout layout) {
    DdsFormat row{key, code, name, PixelCoding::Palette, B::Uncompressed, B::Uncompressed, B::Uncompressed,
                  ddsPalettePixelBytes(layout), false, 0, TypeRule::Rgba, MaskSource::Fixed, {0, 0, 0, 0}, false,
                  WideFormat{}};
    row.palette = layout;
    return row;
}

// Legacy layouts, by the masks that name them: the same rows serve the
// legacy numeric codes and the DXGI formats that are their twins, which
// decode exactly as the masks do, texture type included (always Rgba).
constexpr DdsFormat fixed(FormatKey key, uint32_t code, const char *name, uint32_t bits, uint32_t r, uint32_t g,
                          uint32_t b, uint32_t a, bool alpha) {
    return maskRow(key, code, name, bits, MaskSource::Fixed, r, g, b, a, alpha, TypeRule::Rgba);
}

// A FourCC flag with a zero code: pixels described by the header's masks,
// which some writers produce.  Its pixel size comes from the bit count, and
// its level is declared, as for every FourCC but DXT1's, as 16-byte blocks
// (or by a linear size).
constexpr DdsFormat fourCCZero() {
    DdsFormat row = maskRow(FormatKey::FourCC, 0, "masks (FourCC 0)", 0, MaskSource::Header, 0, 0, 0, 0, false,
                            TypeRule::Rgba);
    row.readsLinearSize = true;
    row.declaredBlockBytes = 16;
    return row;
}

constexpr FormatKey FourCC = FormatKey::FourCC;
constexpr FormatKey Dxgi = FormatKey::Dxgi;
constexpr TypeRule Rgb = TypeRule::Rgb;
constexpr TypeRule Rgba = TypeRule::Rgba;
constexpr TypeRule Transparency = TypeRule::Transparency;
constexpr MaskSource Fixed = MaskSource::Fixed;
constexpr MaskSource Luminance = MaskSource::Luminance;
constexpr WideLayout Unorm16 = WideLayout::Unorm16;
constexpr WideLayout Float16 = WideLayout::Float16;
constexpr WideLayout Float32 = WideLayout::Float32;
constexpr FieldKind Signed = FieldKind::Signed;
constexpr FieldKind Unsigned = FieldKind::Unsigned;
constexpr FormatKey Palette = FormatKey::Palette;
constexpr FormatKey BumpDuDv = FormatKey::BumpDuDv;
constexpr FormatKey BumpLuminance = FormatKey::BumpLuminance;

// The three DXGI rows and the FourCC row of ASTC footprint k, W x H.
constexpr uint32_t astcFourCC(uint32_t width, uint32_t height) {
    return ddsFourCC('A', 'S', static_cast<char>('0' + width), static_cast<char>('0' + height));
}
#define DDS_ASTC_ROWS(k, W, H)                                                                   \
    blockRow(Dxgi, 133 + 4 * (k), "ASTC_" #W "X" #H "_TYPELESS", B::Astc##W##x##H, Rgba),      \
        blockRow(Dxgi, 134 + 4 * (k), "ASTC_" #W "X" #H "_UNORM", B::Astc##W##x##H, Rgba),     \
        blockRow(Dxgi, 135 + 4 * (k), "ASTC_" #W "X" #H "_UNORM_SRGB", B::Astc##W##x##H, Rgba), \
        blockRow(FourCC, astcFourCC(W, H), "ASTC " #W "x" #H, B::Astc##W##x##H, Rgba)

constexpr DdsFormat Formats[] = {
    // FourCC codes of block formats.
    dxtRow(fourCC("DXT1"), "DXT1", B::Dxt1, Transparency),
    dxtRow(fourCC("DXT2"), "DXT2 (premultiplied)", B::Dxt2, Rgba),
    dxtRow(fourCC("DXT3"), "DXT3", B::Dxt3, Rgba),
    dxtRow(fourCC("DXT4"), "DXT4 (premultiplied)", B::Dxt4, Rgba),
    dxtRow(fourCC("DXT5"), "DXT5", B::Dxt5, Rgba),
    blockRow(FourCC, fourCC("ATI1"), "BC4 (ATI1)", B::Bc4, Rgb),
    blockRow(FourCC, fourCC("BC4U"), "BC4 (BC4U)", B::Bc4, Rgb),
    blockRow(FourCC, fourCC("BC4S"), "BC4 signed (BC4S)", B::Bc4Signed, Rgb),
    blockRow(FourCC, fourCC("ATI2"), "BC5 (ATI2)", B::Bc5, Rgb, B::Bc5, B::Bc5Normal),
    blockRow(FourCC, fourCC("BC5U"), "BC5 (BC5U)", B::Bc5, Rgb, B::Bc5, B::Bc5Normal),
    blockRow(FourCC, fourCC("BC5S"), "BC5 signed (BC5S)", B::Bc5Signed, Rgb, B::Bc5Signed, B::Bc5SignedNormal),
    fourCCZero(),
    // Legacy numeric format codes written in the FourCC field.
    fixed(FourCC, 20, "R8G8B8 (code 20)", 24, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(FourCC, 21, "A8R8G8B8 (code 21)", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(FourCC, 22, "X8R8G8B8 (code 22)", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(FourCC, 23, "R5G6B5 (code 23)", 16, 0xF800, 0x07E0, 0x001F, 0, false),
    fixed(FourCC, 24, "X1R5G5B5 (code 24)", 16, 0x7C00, 0x03E0, 0x001F, 0, false),
    fixed(FourCC, 25, "A1R5G5B5 (code 25)", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true),
    fixed(FourCC, 26, "A4R4G4B4 (code 26)", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true),
    maskRow(FourCC, 28, "A8 (code 28)", 8, Fixed, 0, 0, 0, 0xFF, true, Rgba),
    fixed(FourCC, 32, "A8B8G8R8 (code 32)", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    fixed(FourCC, 33, "X8B8G8R8 (code 33)", 32, 0xFF, 0xFF00, 0xFF0000, 0, false),
    wideRow(FourCC, 36, "A16B16G16R16 (code 36)", Unorm16, 4, Rgba),
    maskRow(FourCC, 50, "L8 (code 50)", 8, Fixed, 0xFF, 0xFF, 0xFF, 0, false, Rgb),
    maskRow(FourCC, 51, "A8L8 (code 51)", 16, Fixed, 0xFF, 0xFF, 0xFF, 0xFF00, true, Rgba),
    maskRow(FourCC, 81, "L16 (code 81)", 16, Fixed, 0xFFFF, 0xFFFF, 0xFFFF, 0, false, Rgb),
    wideRow(FourCC, 111, "R16F (code 111)", Float16, 1, Rgb),
    wideRow(FourCC, 113, "A16B16G16R16F (code 113)", Float16, 4, Rgba),
    wideRow(FourCC, 114, "R32F (code 114)", Float32, 1, Rgb),
    wideRow(FourCC, 116, "A32B32G32R32F (code 116)", Float32, 4, Rgba),
    // Legacy codes that are a mask layout, D16, two float codes and A1.
    fixed(FourCC, 27, "R3G3B2 (code 27)", 8, 0xE0, 0x1C, 0x03, 0, false),
    fixed(FourCC, 29, "A8R3G3B2 (code 29)", 16, 0xE0, 0x1C, 0x03, 0xFF00, true),
    fixed(FourCC, 30, "X4R4G4B4 (code 30)", 16, 0xF00, 0xF0, 0xF, 0, false),
    fixed(FourCC, 31, "A2B10G10R10 (code 31)", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, true),
    fixed(FourCC, 34, "G16R16 (code 34)", 32, 0xFFFF, 0xFFFF0000, 0, 0, false),
    fixed(FourCC, 35, "A2R10G10B10 (code 35)", 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, true),
    maskRow(FourCC, 52, "A4L4 (code 52)", 8, Fixed, 0x0F, 0x0F, 0x0F, 0xF0, true, Rgba),
    wideRow(FourCC, 80, "D16 (code 80)", Unorm16, 1, Rgb),
    wideRow(FourCC, 112, "G16R16F (code 112)", Float16, 2, Rgb),
    wideRow(FourCC, 115, "G32R32F (code 115)", Float32, 2, Rgb),
    bitsRow(FourCC, 118, "A1 (code 118)"),
    // Signed bump-map codes: U, V, W, Q are R, G, B, A.
    channelsRow(FourCC, 60, "V8U8 (code 60)", Signed, 8, 2),
    channelsRow(FourCC, 63, "Q8W8V8U8 (code 63)", Signed, 8, 4),
    channelsRow(FourCC, 64, "V16U16 (code 64)", Signed, 16, 2),
    channelsRow(FourCC, 110, "Q16W16V16U16 (code 110)", Signed, 16, 4),
    fieldRow(FourCC, 117, "CxV8U8 (code 117)", Rgb, 2, ddsField(Signed, 0xFF), ddsField(Signed, 0xFF00),
             ddsField(FieldKind::NormalZ, 0), Opaque),
    fieldRow(FourCC, 61, "L6V5U5 (code 61)", Rgb, 2, ddsField(Signed, 0x1F), ddsField(Signed, 0x3E0),
             ddsField(Unsigned, 0xFC00), Opaque),
    fieldRow(FourCC, 62, "X8L8V8U8 (code 62)", Rgb, 4, ddsField(Signed, 0xFF), ddsField(Signed, 0xFF00),
             ddsField(Unsigned, 0xFF0000), Opaque),
    fieldRow(FourCC, 67, "A2W10V10U10 (code 67)", Rgba, 4, ddsField(Signed, 0x3FF), ddsField(Signed, 0xFFC00),
             ddsField(Signed, 0x3FF00000), ddsField(Unsigned, 0xC0000000)),
    // Palettes, YUV and packed 4:2:2 RGB by FourCC or code.
    paletteRow(FourCC, 41, "P8 (code 41)", PaletteLayout::P8),
    paletteRow(FourCC, 40, "A8P8 (code 40)", PaletteLayout::A8P8),
    yuvRow(FourCC, fourCC("YUY2"), "YUY2", YuvLayout::Yuy2, Rgb),
    yuvRow(FourCC, fourCC("UYVY"), "UYVY", YuvLayout::Uyvy, Rgb),
    yuvRow(FourCC, fourCC("RGBG"), "RGBG", YuvLayout::Rgbg, Rgb),
    yuvRow(FourCC, fourCC("GRGB"), "GRGB", YuvLayout::Grgb, Rgb),

    // Uncompressed pixels described by the header's masks.
    headerMasks(8, "8-bit masks"),
    headerMasks(16, "16-bit masks"),
    headerMasks(24, "24-bit masks"),
    headerMasks(32, "32-bit masks"),
    // Luminance and alpha-only headers: the standard masks stand in for
    // masks that do not select bits inside the pixel (some writers put
    // 0xff000000 in an 8-bit luminance file).
    maskRow(FormatKey::Luminance, 8, "L8", 8, Luminance, 0xFF, 0, 0, 0, false, Rgb),
    maskRow(FormatKey::Luminance, 8 | LuminanceWithAlpha, "A4L4", 8, Luminance, 0x0F, 0, 0, 0xF0, true, Rgba),
    maskRow(FormatKey::Luminance, 16, "L16", 16, Luminance, 0xFFFF, 0, 0, 0, false, Rgb),
    maskRow(FormatKey::Luminance, 16 | LuminanceWithAlpha, "A8L8", 16, Luminance, 0x00FF, 0, 0, 0xFF00, true,
            Rgba),
    maskRow(FormatKey::AlphaOnly, 8, "A8", 8, MaskSource::AlphaOnly, 0, 0, 0, 0xFF, true, Rgba),
    // The palette flag, and the bump flags whose masks select signed
    // channels (see planFields).
    paletteRow(Palette, 8, "P8 (palette flag)", PaletteLayout::P8),
    paletteRow(Palette, 16, "A8P8 (palette and alpha flags)", PaletteLayout::A8P8),
    bumpRow(BumpDuDv, 8, "8-bit bump du/dv masks", TypeRule::AlphaMask),
    bumpRow(BumpDuDv, 16, "16-bit bump du/dv masks", TypeRule::AlphaMask),
    bumpRow(BumpDuDv, 24, "24-bit bump du/dv masks", TypeRule::AlphaMask),
    bumpRow(BumpDuDv, 32, "32-bit bump du/dv masks", TypeRule::AlphaMask),
    bumpRow(BumpLuminance, 8, "8-bit bump luminance masks", Rgb),
    bumpRow(BumpLuminance, 16, "16-bit bump luminance masks", Rgb),
    bumpRow(BumpLuminance, 24, "24-bit bump luminance masks", Rgb),
    bumpRow(BumpLuminance, 32, "32-bit bump luminance masks", Rgb),

    // DXGI formats of pixels that are not masks: SNORM, and UINT and SINT
    // as the UNORM or SNORM layout of their bits (R8G8B8A8_UINT and
    // R10G10B10A2_UINT are mask twins, always Rgba); depth and stencil;
    // 1-bit; YUV and packed 4:2:2 RGB.
    channelsRow(Dxgi, 31, "R8G8B8A8_SNORM", Signed, 8, 4),
    channelsRow(Dxgi, 51, "R8G8_SNORM", Signed, 8, 2),
    channelsRow(Dxgi, 63, "R8_SNORM", Signed, 8, 1),
    channelsRow(Dxgi, 13, "R16G16B16A16_SNORM", Signed, 16, 4),
    channelsRow(Dxgi, 37, "R16G16_SNORM", Signed, 16, 2),
    channelsRow(Dxgi, 58, "R16_SNORM", Signed, 16, 1),
    fixed(Dxgi, 30, "R8G8B8A8_UINT", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    channelsRow(Dxgi, 32, "R8G8B8A8_SINT", Signed, 8, 4),
    maskRow(Dxgi, 50, "R8G8_UINT", 16, Fixed, 0xFF, 0xFF00, 0, 0, false, Rgb),
    channelsRow(Dxgi, 52, "R8G8_SINT", Signed, 8, 2),
    maskRow(Dxgi, 62, "R8_UINT", 8, Fixed, 0xFF, 0xFF, 0xFF, 0, false, Rgb),
    channelsRow(Dxgi, 64, "R8_SINT", Signed, 8, 1),
    wideRow(Dxgi, 12, "R16G16B16A16_UINT", Unorm16, 4, Rgba),
    channelsRow(Dxgi, 14, "R16G16B16A16_SINT", Signed, 16, 4),
    wideRow(Dxgi, 36, "R16G16_UINT", Unorm16, 2, Rgb),
    channelsRow(Dxgi, 38, "R16G16_SINT", Signed, 16, 2),
    wideRow(Dxgi, 57, "R16_UINT", Unorm16, 1, Rgb),
    channelsRow(Dxgi, 59, "R16_SINT", Signed, 16, 1),
    channelsRow(Dxgi, 3, "R32G32B32A32_UINT", Unsigned, 32, 4),
    channelsRow(Dxgi, 4, "R32G32B32A32_SINT", Signed, 32, 4),
    channelsRow(Dxgi, 7, "R32G32B32_UINT", Unsigned, 32, 3),
    channelsRow(Dxgi, 8, "R32G32B32_SINT", Signed, 32, 3),
    channelsRow(Dxgi, 17, "R32G32_UINT", Unsigned, 32, 2),
    channelsRow(Dxgi, 18, "R32G32_SINT", Signed, 32, 2),
    channelsRow(Dxgi, 42, "R32_UINT", Unsigned, 32, 1),
    channelsRow(Dxgi, 43, "R32_SINT", Signed, 32, 1),
    fixed(Dxgi, 25, "R10G10B10A2_UINT", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, true),
    wideRow(Dxgi, 55, "D16_UNORM", Unorm16, 1, Rgb),
    wideRow(Dxgi, 40, "D32_FLOAT", Float32, 1, Rgb),
    greyRow(45, "D24_UNORM_S8_UINT (depth)", 4, ddsField(Unsigned, 0xFFFFFF)),
    greyRow(46, "R24_UNORM_X8_TYPELESS", 4, ddsField(Unsigned, 0xFFFFFF)),
    greyRow(20, "D32_FLOAT_S8X24_UINT (depth)", 8, ddsField(FieldKind::Float, 0xFFFFFFFF)),
    greyRow(21, "R32_FLOAT_X8X24_TYPELESS", 8, ddsField(FieldKind::Float, 0xFFFFFFFF)),
    greyRow(47, "X24_TYPELESS_G8_UINT (stencil)", 4, ddsField(Unsigned, 0xFF000000)),
    greyRow(22, "X32_TYPELESS_G8X24_UINT (stencil)", 8, ddsField(Unsigned, 0xFF, 4)),
    bitsRow(Dxgi, 66, "R1_UNORM"),
    fixed(Dxgi, 191, "A4B4G4R4_UNORM", 16, 0xF000, 0x0F00, 0x00F0, 0x000F, true),
    yuvRow(Dxgi, 68, "R8G8_B8G8_UNORM", YuvLayout::Rgbg, Rgb),
    yuvRow(Dxgi, 69, "G8R8_G8B8_UNORM", YuvLayout::Grgb, Rgb),
    yuvRow(Dxgi, 100, "AYUV", YuvLayout::Ayuv, Rgba),
    yuvRow(Dxgi, 101, "Y410", YuvLayout::Y410, Rgba),
    yuvRow(Dxgi, 102, "Y416", YuvLayout::Y416, Rgba),
    yuvRow(Dxgi, 103, "NV12", YuvLayout::Nv12, Rgb),
    yuvRow(Dxgi, 104, "P010", YuvLayout::P010, Rgb),
    yuvRow(Dxgi, 105, "P016", YuvLayout::P016, Rgb),
    yuvRow(Dxgi, 107, "YUY2", YuvLayout::Yuy2, Rgb),
    yuvRow(Dxgi, 108, "Y210", YuvLayout::Y210, Rgb),
    yuvRow(Dxgi, 109, "Y216", YuvLayout::Y216, Rgb),

    // DXGI formats of the DX10 record.  BC2 and BC3 whose alpha mode says
    // premultiplied decode as DXT2 and DXT4; BC5 in a file whose pixel
    // format carries the normal-map flag gets its blue reconstructed.
    wideRow(Dxgi, 2, "R32G32B32A32_FLOAT", Float32, 4, Rgba),
    wideRow(Dxgi, 6, "R32G32B32_FLOAT", Float32, 3, Rgb),
    wideRow(Dxgi, 10, "R16G16B16A16_FLOAT", Float16, 4, Rgba),
    wideRow(Dxgi, 11, "R16G16B16A16_UNORM", Unorm16, 4, Rgba),
    wideRow(Dxgi, 16, "R32G32_FLOAT", Float32, 2, Rgb),
    fixed(Dxgi, 24, "R10G10B10A2_UNORM", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, true),
    wideRow(Dxgi, 26, "R11G11B10_FLOAT", WideLayout::R11G11B10, 3, Rgb),
    fixed(Dxgi, 28, "R8G8B8A8_UNORM", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    fixed(Dxgi, 29, "R8G8B8A8_UNORM_SRGB", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true),
    wideRow(Dxgi, 34, "R16G16_FLOAT", Float16, 2, Rgb),
    wideRow(Dxgi, 35, "R16G16_UNORM", Unorm16, 2, Rgb),
    wideRow(Dxgi, 41, "R32_FLOAT", Float32, 1, Rgb),
    maskRow(Dxgi, 49, "R8G8_UNORM", 16, Fixed, 0xFF, 0xFF00, 0, 0, false, Rgb),
    wideRow(Dxgi, 54, "R16_FLOAT", Float16, 1, Rgb),
    wideRow(Dxgi, 56, "R16_UNORM", Unorm16, 1, Rgb),
    maskRow(Dxgi, 61, "R8_UNORM", 8, Fixed, 0xFF, 0xFF, 0xFF, 0, false, Rgb),
    maskRow(Dxgi, 65, "A8_UNORM", 8, Fixed, 0, 0, 0, 0xFF, true, Rgba),
    wideRow(Dxgi, 67, "R9G9B9E5_SHAREDEXP", WideLayout::R9G9B9E5, 3, Rgb),
    blockRow(Dxgi, 70, "BC1_TYPELESS", B::Dxt1, Transparency),
    blockRow(Dxgi, 71, "BC1_UNORM", B::Dxt1, Transparency),
    blockRow(Dxgi, 72, "BC1_UNORM_SRGB", B::Dxt1, Transparency),
    blockRow(Dxgi, 73, "BC2_TYPELESS", B::Dxt3, Rgba, B::Dxt2, B::Dxt3),
    blockRow(Dxgi, 74, "BC2_UNORM", B::Dxt3, Rgba, B::Dxt2, B::Dxt3),
    blockRow(Dxgi, 75, "BC2_UNORM_SRGB", B::Dxt3, Rgba, B::Dxt2, B::Dxt3),
    blockRow(Dxgi, 76, "BC3_TYPELESS", B::Dxt5, Rgba, B::Dxt4, B::Dxt5),
    blockRow(Dxgi, 77, "BC3_UNORM", B::Dxt5, Rgba, B::Dxt4, B::Dxt5),
    blockRow(Dxgi, 78, "BC3_UNORM_SRGB", B::Dxt5, Rgba, B::Dxt4, B::Dxt5),
    blockRow(Dxgi, 79, "BC4_TYPELESS", B::Bc4, Rgb),
    blockRow(Dxgi, 80, "BC4_UNORM", B::Bc4, Rgb),
    blockRow(Dxgi, 81, "BC4_SNORM", B::Bc4Signed, Rgb),
    blockRow(Dxgi, 82, "BC5_TYPELESS", B::Bc5, Rgb, B::Bc5, B::Bc5Normal),
    blockRow(Dxgi, 83, "BC5_UNORM", B::Bc5, Rgb, B::Bc5, B::Bc5Normal),
    blockRow(Dxgi, 84, "BC5_SNORM", B::Bc5Signed, Rgb, B::Bc5Signed, B::Bc5SignedNormal),
    fixed(Dxgi, 85, "B5G6R5_UNORM", 16, 0xF800, 0x07E0, 0x001F, 0, false),
    fixed(Dxgi, 86, "B5G5R5A1_UNORM", 16, 0x7C00, 0x03E0, 0x001F, 0x8000, true),
    fixed(Dxgi, 87, "B8G8R8A8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(Dxgi, 88, "B8G8R8X8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    fixed(Dxgi, 91, "B8G8R8A8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true),
    fixed(Dxgi, 93, "B8G8R8X8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0, false),
    blockRow(Dxgi, 95, "BC6H_UF16", B::Bc6h, Rgb),
    blockRow(Dxgi, 96, "BC6H_SF16", B::Bc6hSigned, Rgb),
    blockRow(Dxgi, 97, "BC7_TYPELESS", B::Bc7, Rgba),
    blockRow(Dxgi, 98, "BC7_UNORM", B::Bc7, Rgba),
    blockRow(Dxgi, 99, "BC7_UNORM_SRGB", B::Bc7, Rgba),
    fixed(Dxgi, 115, "B4G4R4A4_UNORM", 16, 0x0F00, 0x00F0, 0x000F, 0xF000, true),

    // The mobile block formats: ETC1 decodes as ETC2 RGB; the sRGB codes as
    // the plain ones, bytes as stored.
    blockRow(FourCC, fourCC("ETC1"), "ETC1", B::Etc2Rgb, Rgb),
    blockRow(FourCC, fourCC("ETC "), "ETC1 (ETC )", B::Etc2Rgb, Rgb),
    blockRow(FourCC, fourCC("ETC2"), "ETC2 RGB", B::Etc2Rgb, Rgb),
    blockRow(FourCC, fourCC("ET2 "), "ETC2 RGB (ET2 )", B::Etc2Rgb, Rgb),
    blockRow(FourCC, fourCC("ETCS"), "ETC2 sRGB (ETCS)", B::Etc2Rgb, Rgb),
    blockRow(FourCC, fourCC("ET2A"), "ETC2 RGBA (ET2A)", B::Etc2Rgba, Rgba),
    blockRow(FourCC, fourCC("ETCA"), "ETC2 RGBA (ETCA)", B::Etc2Rgba, Rgba),
    blockRow(FourCC, fourCC("ETCT"), "ETC2 sRGB alpha (ETCT)", B::Etc2Rgba, Rgba),
    blockRow(FourCC, fourCC("ETCP"), "ETC2 punch-through alpha (ETCP)", B::Etc2PunchThrough, Rgba),
    blockRow(FourCC, fourCC("ETCU"), "ETC2 sRGB punch-through alpha (ETCU)", B::Etc2PunchThrough, Rgba),
    blockRow(FourCC, fourCC("EAC1"), "EAC R11 (EAC1)", B::EacR11, Rgb),
    blockRow(FourCC, fourCC("EAR "), "EAC R11 (EAR )", B::EacR11, Rgb),
    blockRow(FourCC, fourCC("EAC2"), "EAC RG11 (EAC2)", B::EacRg11, Rgb),
    blockRow(FourCC, fourCC("EARG"), "EAC RG11 (EARG)", B::EacRg11, Rgb),
    blockRow(FourCC, fourCC("ATC "), "ATC RGB", B::AtcRgb, Rgb),
    blockRow(FourCC, fourCC("ATCA"), "ATC explicit alpha (ATCA)", B::AtcExplicitAlpha, Rgba),
    blockRow(FourCC, fourCC("ATCE"), "ATC explicit alpha (ATCE)", B::AtcExplicitAlpha, Rgba),
    blockRow(FourCC, fourCC("ATCI"), "ATC interpolated alpha (ATCI)", B::AtcInterpolatedAlpha, Rgba),
    blockRow(FourCC, fourCC("PTC2"), "PVRTC1 2 bpp (PTC2)", B::Pvrtc2, Rgba),
    blockRow(FourCC, fourCC("PVR2"), "PVRTC1 2 bpp (PVR2)", B::Pvrtc2, Rgba),
    blockRow(FourCC, fourCC("PTC4"), "PVRTC1 4 bpp (PTC4)", B::Pvrtc4, Rgba),
    blockRow(FourCC, fourCC("PVR4"), "PVRTC1 4 bpp (PVR4)", B::Pvrtc4, Rgba),
    // ASTC, footprint k = 0 to 13: DXGI 133 + 4k typeless, 134 + 4k UNORM,
    // 135 + 4k sRGB; the FourCC "AS" and the characters '0' + width, '0' +
    // height, and for the 10 and 12 sizes also their hex digits.
    DDS_ASTC_ROWS(0, 4, 4), DDS_ASTC_ROWS(1, 5, 4), DDS_ASTC_ROWS(2, 5, 5), DDS_ASTC_ROWS(3, 6, 5),
    DDS_ASTC_ROWS(4, 6, 6), DDS_ASTC_ROWS(5, 8, 5), DDS_ASTC_ROWS(6, 8, 6), DDS_ASTC_ROWS(7, 8, 8),
    DDS_ASTC_ROWS(8, 10, 5), DDS_ASTC_ROWS(9, 10, 6), DDS_ASTC_ROWS(10, 10, 8), DDS_ASTC_ROWS(11, 10, 10),
    DDS_ASTC_ROWS(12, 12, 10), DDS_ASTC_ROWS(13, 12, 12),
    blockRow(FourCC, fourCC("ASA5"), "ASTC 10x5 (ASA5)", B::Astc10x5, Rgba),
    blockRow(FourCC, fourCC("ASA6"), "ASTC 10x6 (ASA6)", B::Astc10x6, Rgba),
    blockRow(FourCC, fourCC("ASA8"), "ASTC 10x8 (ASA8)", B::Astc10x8, Rgba),
    blockRow(FourCC, fourCC("ASAA"), "ASTC 10x10 (ASAA)", B::Astc10x10, Rgba),
    blockRow(FourCC, fourCC("ASCA"), "ASTC 12x10 (ASCA)", B::Astc12x10, Rgba),
    blockRow(FourCC, fourCC("ASCC"), "ASTC 12x12 (ASCC)", B::Astc12x12, Rgba),
};

#undef DDS_ASTC_ROWS

// Codes of the mobile formats that are refused with their own reason: the
// FourCC "ASTC", which names no block size, signed EAC and PVRTC2; and DXGI
// 136 + 4k, which lies between the ASTC formats and names none.
struct RefusedCode {
    uint32_t fourCC;
    DdsRefusal refusal;
};

constexpr RefusedCode RefusedFourCCs[] = {
    {fourCC("ASTC"), DdsRefusal::AstcWithoutBlockSize},
    {fourCC("EAS1"), DdsRefusal::SignedEac},
    {fourCC("EAS2"), DdsRefusal::SignedEac},
    {fourCC("PTC5"), DdsRefusal::Pvrtc2},
    {fourCC("PTC6"), DdsRefusal::Pvrtc2},
};

const DdsFormat *lookUp(FormatKey key, uint32_t code) {
    for (const DdsFormat &format : Formats) {
        if (format.key == key && format.code == code) return &format;
    }
    return nullptr;
}

// Why a DXGI format that no row names is refused.
DdsRefusal dxgiRefusal(uint32_t code) {
    constexpr uint32_t typeless[] = {1, 5, 9, 15, 19, 23, 27, 33, 39, 44, 48, 53, 60, 90, 92, 94};
    for (uint32_t t : typeless) {
        if (code == t) return DdsRefusal::TypelessFormat;
    }
    if (code == 89) return DdsRefusal::ExtendedRangeFormat;
    if (code >= 111 && code <= 114) return DdsRefusal::VideoPaletteFormat;
    // 136 + 4k lies between the ASTC formats' numbers and names none.
    if (code >= 136 && code <= 188 && (code - 136) % 4 == 0) return DdsRefusal::AstcDxgiUnassigned;
    return DdsRefusal::UnsupportedDxgiFormat;
}

// Why a FourCC that no row names is refused: a code refused by name, the
// legacy depth codes (80 is D16, 81 L16), the extended-range 119, or any
// other code.
DdsRefusal fourCCRefusal(uint32_t code) {
    for (const RefusedCode &refused : RefusedFourCCs) {
        if (refused.fourCC == code) return refused.refusal;
    }
    if (code >= 70 && code <= 83) return DdsRefusal::LegacyDepthFormat;
    if (code == 119) return DdsRefusal::ExtendedRangeFormat;
    return DdsRefusal::UnsupportedFourCC;
}

const DdsFormat *findFourCC(const DdsPixelFormat &pixelFormat, DdsRefusal *refusal) {
    const DdsFormat *format = lookUp(FormatKey::FourCC, pixelFormat.fourCC);
    if (format == nullptr) {
        *refusal = fourCCRefusal(pixelFormat.fourCC);
    } else if (format->code == 0 && lookUp(FormatKey::BitCount, pixelFormat.rgbBitCount) == nullptr) {
        *refusal = DdsRefusal::UnsupportedBitCount;  // FourCC 0 with a bit count that is not converted
        return nullptr;
    }
    return format;
}

const DdsFormat *findByBits(FormatKey key, uint32_t code, DdsRefusal *refusal) {
    const DdsFormat *format = lookUp(key, code);
    if (format == nullptr) *refusal = DdsRefusal::UnsupportedBitCount;
    return format;
}

}  // namespace

const DdsFormat *ddsFindFormat(const DdsFormatQuery &query, DdsRefusal *refusal) {
    const DdsPixelFormat &pixelFormat = *query.pixelFormat;
    if (query.dx10 != nullptr) {
        const DdsFormat *format = lookUp(FormatKey::Dxgi, query.dx10->dxgiFormat);
        if (format == nullptr) *refusal = dxgiRefusal(query.dx10->dxgiFormat);
        return format;
    }
    const uint32_t flags = pixelFormat.flags;
    if (flags & DdsPixelFourCC) return findFourCC(pixelFormat, refusal);
    // The first of the palette and the two bump flags decides, before the
    // RGB, luminance and alpha-only flags.  A palette's pixels are one
    // index byte whatever the bit count says, or with the alpha flag and
    // 16 bits an index and an alpha byte.
    if (flags & DdsPixelPalette) {
        const bool withAlpha = (flags & DdsPixelAlpha) && pixelFormat.rgbBitCount == 16;
        return findByBits(FormatKey::Palette, withAlpha ? 16 : 8, refusal);
    }
    if (flags & DdsPixelBumpDuDv) return findByBits(FormatKey::BumpDuDv, pixelFormat.rgbBitCount, refusal);
    if (flags & DdsPixelBumpLuminance) return findByBits(FormatKey::BumpLuminance, pixelFormat.rgbBitCount, refusal);
    if (flags & DdsPixelRgb) return findByBits(FormatKey::BitCount, pixelFormat.rgbBitCount, refusal);
    if (flags & DdsPixelLuminance) {
        // The alpha flag rides in a bit above every bit count the table holds.
        const uint32_t bits = pixelFormat.rgbBitCount;
        if (bits >= LuminanceWithAlpha) {
            *refusal = DdsRefusal::UnsupportedBitCount;
            return nullptr;
        }
        return findByBits(FormatKey::Luminance, bits | ((flags & DdsPixelAlpha) ? LuminanceWithAlpha : 0), refusal);
    }
    if (flags & DdsPixelAlphaOnly) return findByBits(FormatKey::AlphaOnly, pixelFormat.rgbBitCount, refusal);
    *refusal = (flags & DdsPixelSmallPalettes) ? DdsRefusal::SmallPalette
               : (flags & DdsPixelYuv)         ? DdsRefusal::YuvPixelFormat
                                               : DdsRefusal::NoPixelFormat;
    return nullptr;
}
