#include "format_table.h"

namespace {

using B = BlockFormat;

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

constexpr uint32_t fourCC(const char (&text)[5]) { return ddsFourCC(text[0], text[1], text[2], text[3]); }

// Blocks of `blocks`, or of the kernel that the normal-map flag chooses
// where one is given (else `blocks` too).
constexpr DdsFormat blockRow(FormatKey key, uint32_t code, const char *name, BlockFormat blocks, TypeRule type,
                             BlockFormat normalMap = BlockFormat::Uncompressed) {
    return DdsFormat{key, code, name, PixelCoding::Blocks, RowLayout::Blocks, ddsBlockBytes(blocks), type, blocks,
                     normalMap == BlockFormat::Uncompressed ? blocks : normalMap};
}

// DXT1 to DXT5 under a legacy header: a linear size declares the level, as
// those files have always been read.  Writers disagree about it for BC4 and
// BC5 (and for DX10 files, whose rows come from the DXGI rows below).
// DXT2 and DXT4 are DXT3 and DXT5 with premultiplied colour.
constexpr DdsFormat dxtRow(const char (&code)[5], const char *name, BlockFormat blocks, TypeRule type,
                           BlockFormat normalMap, bool premultiplied = false) {
    DdsFormat row = blockRow(FourCC, fourCC(code), name, blocks, type, normalMap);
    row.readsLinearSize = true;
    row.premultiplied = premultiplied;
    return row;
}

// The mobile block formats: their files have always been written with
// every block that touches the image.
constexpr DdsFormat mobileRow(FormatKey key, uint32_t code, const char *name, BlockFormat blocks, TypeRule type) {
    DdsFormat row = blockRow(key, code, name, blocks, type);
    row.holdsEveryBlock = true;
    return row;
}

constexpr DdsFormat mobileRow(const char (&code)[5], const char *name, BlockFormat blocks, TypeRule type) {
    return mobileRow(FourCC, fourCC(code), name, blocks, type);
}

// PVRTC1's words: a grid, not rows of blocks.
constexpr DdsFormat pvrtcRow(const char (&code)[5], const char *name, BlockFormat words) {
    DdsFormat row = mobileRow(code, name, words, Rgba);
    row.rows = RowLayout::WordGrid;
    return row;
}

// Pixels of `bits` whose channels lie where `r`, `g`, `b`, `a` say.
constexpr DdsFormat maskRow(FormatKey key, uint32_t code, const char *name, uint32_t bits, MaskSource source,
                            uint32_t r, uint32_t g, uint32_t b, uint32_t a, TypeRule type) {
    DdsFormat row{key, code, name, PixelCoding::Masks, RowLayout::Pixels, bits / 8, type};
    row.maskSource = source;
    row.masks[0] = r, row.masks[1] = g, row.masks[2] = b, row.masks[3] = a;
    return row;
}

constexpr DdsFormat headerMasks(uint32_t bits, const char *name) {
    return maskRow(FormatKey::BitCount, bits, name, bits, MaskSource::Header, 0, 0, 0, 0, Rgba);
}

// A FourCC flag with a zero code: pixels described by the header's masks,
// which some writers produce.  Its level is declared, as for every FourCC
// but DXT1's, as 16-byte blocks (or by a linear size).
constexpr DdsFormat fourCCZero(uint32_t bits) {
    DdsFormat row = headerMasks(bits, "masks (FourCC 0)");
    row.key = FormatKey::FourCCZero;
    row.readsLinearSize = true;
    row.declaredBlockBytes = 16;
    return row;
}

// Legacy layouts, by the masks that name them: the same rows serve the
// legacy numeric codes and the DXGI formats that are their twins, which
// decode exactly as the masks do, texture type included (always Rgba).
constexpr DdsFormat fixed(FormatKey key, uint32_t code, const char *name, uint32_t bits, uint32_t r, uint32_t g,
                          uint32_t b, uint32_t a) {
    return maskRow(key, code, name, bits, Fixed, r, g, b, a, Rgba);
}

constexpr DdsFormat wideRow(FormatKey key, uint32_t code, const char *name, WideLayout layout, uint8_t channels,
                            TypeRule type) {
    DdsFormat row{key, code, name, PixelCoding::Wide, RowLayout::Pixels, ddsWidePixelBytes({layout, channels}), type};
    row.wide = WideFormat{layout, channels};
    return row;
}

// Pixels of `pixelBytes` whose channels are the fields `r`, `g`, `b`, `a`.
constexpr DdsFormat fieldRow(FormatKey key, uint32_t code, const char *name, TypeRule type, uint8_t pixelBytes, Field r,
                             Field g, Field b, Field a) {
    DdsFormat row{key, code, name, PixelCoding::Fields, RowLayout::Pixels, pixelBytes, type};
    row.maskSource = Fixed;
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
    return fieldRow(key, code, name, count == 4 ? Rgba : Rgb, static_cast<uint8_t>(bits * count / 8), r, g, b, a);
}

// One field, grey.
constexpr DdsFormat greyRow(uint32_t code, const char *name, uint8_t pixelBytes, Field grey) {
    return fieldRow(Dxgi, code, name, Rgb, pixelBytes, grey, grey, grey, Opaque);
}

// The extended-range (XR bias) 10:10:10:2 layout of code 119 and DXGI 89,
// red in bits 0 to 9: colours by the extended-range rule, the 2-bit alpha
// by the unsigned one.
constexpr DdsFormat xrBiasRow(FormatKey key, uint32_t code, const char *name) {
    constexpr FieldKind xr = FieldKind::XrBias;
    return fieldRow(key, code, name, Rgba, 4, ddsField(xr, 0x3FF), ddsField(xr, 0xFFC00), ddsField(xr, 0x3FF00000),
                    ddsField(Unsigned, 0xC0000000));
}

// Bump pixel formats: fields of the row's kinds over the header's masks
// (see planFields).  Du/dv: red, green, blue and alpha signed (alpha
// unsigned with the alpha flag); bump luminance: red and green signed,
// blue unsigned, no alpha.
constexpr DdsFormat bumpRow(FormatKey key, uint32_t bits, const char *name, TypeRule type, FieldKind blue,
                            Field alpha) {
    const Field signedField = ddsField(Signed, 0);
    DdsFormat row = fieldRow(key, bits, name, type, static_cast<uint8_t>(bits / 8), signedField, signedField,
                             ddsField(blue, 0), alpha);
    row.maskSource = MaskSource::Header;
    return row;
}

constexpr DdsFormat bumpDuDv(uint32_t bits, const char *name) {
    return bumpRow(FormatKey::BumpDuDv, bits, name, TypeRule::AlphaMask, Signed, ddsField(Signed, 0));
}

constexpr DdsFormat bumpLuminance(uint32_t bits, const char *name) {
    return bumpRow(FormatKey::BumpLuminance, bits, name, Rgb, Unsigned, Opaque);
}

// YUV and packed 4:2:2 RGB: packed 4:4:4 pixels, pairs of pixels, or the
// 4:2:0 planes, of their samples.
constexpr DdsFormat yuvRow(FormatKey key, uint32_t code, const char *name, YuvLayout layout, TypeRule type) {
    const uint32_t sample = ddsYuvSampleBytes(layout);
    const RowLayout rows = ddsYuvIsPairs(layout)    ? RowLayout::Pairs
                           : ddsYuvIsPlanar(layout) ? RowLayout::Planes
                                                    : RowLayout::Pixels;
    DdsFormat row{key, code, name, PixelCoding::Yuv, rows, rows == RowLayout::Pairs ? 4 * sample : sample, type};
    row.yuv = layout;
    return row;
}

// Palette indices: the palette's 256 entries come before the image.
constexpr DdsFormat paletteRow(FormatKey key, uint32_t code, const char *name, PaletteLayout layout) {
    DdsFormat row{key, code, name, PixelCoding::Palette, RowLayout::Pixels, ddsPalettePixelBytes(layout), Rgba};
    row.palette = layout;
    row.prefixBytes = ddsPaletteBytes;
    return row;
}

// A legacy numeric code and the DXGI format that is its twin, which
// decodes exactly as the code does: the same row under each key, made by
// `make` with the arguments that follow.
#define DDS_TWIN_ROWS(make, code, name, dxgi, dxgiName, ...) \
    make(FourCC, code, name, __VA_ARGS__), make(Dxgi, dxgi, dxgiName, __VA_ARGS__)

// A row for each bit count of pixels described by masks: `row(bits, name)`,
// the name after the count.
#define DDS_BIT_COUNT_ROWS(row, name) \
    row(8, "8-bit " name), row(16, "16-bit " name), row(24, "24-bit " name), row(32, "32-bit " name)

// The UNORM and UINT rows of a DXGI layout, both made by `make` with the
// arguments that follow it (UINT decodes as the UNORM layout of its bits),
// and the SNORM and SINT rows, whose numbers follow UINT's.
#define DDS_INTEGER_ROWS(layout, unorm, uint, bits, count, make, ...)                              \
    make(Dxgi, unorm, layout "_UNORM", __VA_ARGS__), make(Dxgi, uint, layout "_UINT", __VA_ARGS__), \
        channelsRow(Dxgi, uint + 1, layout "_SNORM", Signed, bits, count),                          \
        channelsRow(Dxgi, uint + 2, layout "_SINT", Signed, bits, count)

// The FLOAT, UINT and SINT rows of `count` 32-bit channels, DXGI `first` on.
#define DDS_32_BIT_ROWS(layout, first, count)                                                      \
    wideRow(Dxgi, first, layout "_FLOAT", Float32, count, count == 4 ? Rgba : Rgb),                \
        channelsRow(Dxgi, first + 1, layout "_UINT", Unsigned, 32, count),                         \
        channelsRow(Dxgi, first + 2, layout "_SINT", Signed, 32, count)

// The TYPELESS, UNORM and UNORM_SRGB rows of a BC format, DXGI `first` on.
#define DDS_BC_ROWS(first, bc, ...)                                                                            \
    blockRow(Dxgi, first, bc "_TYPELESS", __VA_ARGS__), blockRow(Dxgi, first + 1, bc "_UNORM", __VA_ARGS__), \
        blockRow(Dxgi, first + 2, bc "_UNORM_SRGB", __VA_ARGS__)

// The three DXGI rows and the FourCC row of ASTC footprint k, W x H.
constexpr uint32_t astcFourCC(uint32_t width, uint32_t height) {
    return ddsFourCC('A', 'S', static_cast<char>('0' + width), static_cast<char>('0' + height));
}
#define DDS_ASTC_ROWS(k, W, H)                                                                    \
    mobileRow(Dxgi, 133 + 4 * (k), "ASTC_" #W "X" #H "_TYPELESS", B::Astc##W##x##H, Rgba),      \
        mobileRow(Dxgi, 134 + 4 * (k), "ASTC_" #W "X" #H "_UNORM", B::Astc##W##x##H, Rgba),     \
        mobileRow(Dxgi, 135 + 4 * (k), "ASTC_" #W "X" #H "_UNORM_SRGB", B::Astc##W##x##H, Rgba), \
        mobileRow(FourCC, astcFourCC(W, H), "ASTC " #W "x" #H, B::Astc##W##x##H, Rgba)
// Footprints 10 and 12 wide or high: those rows, and the FourCC of the
// hex digits of the width and height, `hexW` and `hexH`.
#define DDS_ASTC_HEX_ROWS(k, W, H, hexW, hexH) \
    DDS_ASTC_ROWS(k, W, H), mobileRow("AS" hexW hexH, "ASTC " #W "x" #H " (AS" hexW hexH ")", B::Astc##W##x##H, Rgba)

constexpr DdsFormat Formats[] = {
    // FourCC codes of block formats.
    dxtRow("DXT1", "DXT1", B::Dxt1, Transparency, B::Dxt1),
    dxtRow("DXT2", "DXT2 (premultiplied)", B::Dxt3, Rgba, B::Dxt3, true),
    dxtRow("DXT3", "DXT3", B::Dxt3, Rgba, B::Dxt3),
    dxtRow("DXT4", "DXT4 (premultiplied)", B::Dxt5, Rgba, B::Dxt5, true),
    dxtRow("DXT5", "DXT5", B::Dxt5, Rgba, B::Dxt5Normal),
    blockRow(FourCC, fourCC("ATI1"), "BC4 (ATI1)", B::Bc4, Rgb),
    blockRow(FourCC, fourCC("BC4U"), "BC4 (BC4U)", B::Bc4, Rgb),
    blockRow(FourCC, fourCC("BC4S"), "BC4 signed (BC4S)", B::Bc4Signed, Rgb),
    blockRow(FourCC, fourCC("ATI2"), "BC5 (ATI2)", B::Bc5, Rgb, B::Bc5Normal),
    blockRow(FourCC, fourCC("BC5U"), "BC5 (BC5U)", B::Bc5, Rgb, B::Bc5Normal),
    blockRow(FourCC, fourCC("BC5S"), "BC5 signed (BC5S)", B::Bc5Signed, Rgb, B::Bc5SignedNormal),
    fourCCZero(8), fourCCZero(16), fourCCZero(24), fourCCZero(32),
    // Legacy numeric format codes written in the FourCC field.
    fixed(FourCC, 20, "R8G8B8 (code 20)", 24, 0xFF0000, 0xFF00, 0xFF, 0),
    DDS_TWIN_ROWS(fixed, 21, "A8R8G8B8 (code 21)", 87, "B8G8R8A8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
    DDS_TWIN_ROWS(fixed, 22, "X8R8G8B8 (code 22)", 88, "B8G8R8X8_UNORM", 32, 0xFF0000, 0xFF00, 0xFF, 0),
    DDS_TWIN_ROWS(fixed, 23, "R5G6B5 (code 23)", 85, "B5G6R5_UNORM", 16, 0xF800, 0x07E0, 0x001F, 0),
    fixed(FourCC, 24, "X1R5G5B5 (code 24)", 16, 0x7C00, 0x03E0, 0x001F, 0),
    DDS_TWIN_ROWS(fixed, 25, "A1R5G5B5 (code 25)", 86, "B5G5R5A1_UNORM", 16, 0x7C00, 0x03E0, 0x001F, 0x8000),
    DDS_TWIN_ROWS(fixed, 26, "A4R4G4B4 (code 26)", 115, "B4G4R4A4_UNORM", 16, 0x0F00, 0x00F0, 0x000F, 0xF000),
    DDS_TWIN_ROWS(maskRow, 28, "A8 (code 28)", 65, "A8_UNORM", 8, Fixed, 0, 0, 0, 0xFF, Rgba),
    fixed(FourCC, 32, "A8B8G8R8 (code 32)", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    fixed(FourCC, 33, "X8B8G8R8 (code 33)", 32, 0xFF, 0xFF00, 0xFF0000, 0),
    wideRow(FourCC, 36, "A16B16G16R16 (code 36)", Unorm16, 4, Rgba),
    maskRow(FourCC, 50, "L8 (code 50)", 8, Fixed, 0xFF, 0xFF, 0xFF, 0, Rgb),
    maskRow(FourCC, 51, "A8L8 (code 51)", 16, Fixed, 0xFF, 0xFF, 0xFF, 0xFF00, Rgba),
    maskRow(FourCC, 81, "L16 (code 81)", 16, Fixed, 0xFFFF, 0xFFFF, 0xFFFF, 0, Rgb),
    DDS_TWIN_ROWS(wideRow, 111, "R16F (code 111)", 54, "R16_FLOAT", Float16, 1, Rgb),
    DDS_TWIN_ROWS(wideRow, 113, "A16B16G16R16F (code 113)", 10, "R16G16B16A16_FLOAT", Float16, 4, Rgba),
    wideRow(FourCC, 114, "R32F (code 114)", Float32, 1, Rgb),
    wideRow(FourCC, 116, "A32B32G32R32F (code 116)", Float32, 4, Rgba),
    // Legacy codes that are a mask layout, D16, two float codes and A1.
    fixed(FourCC, 27, "R3G3B2 (code 27)", 8, 0xE0, 0x1C, 0x03, 0),
    fixed(FourCC, 29, "A8R3G3B2 (code 29)", 16, 0xE0, 0x1C, 0x03, 0xFF00),
    fixed(FourCC, 30, "X4R4G4B4 (code 30)", 16, 0xF00, 0xF0, 0xF, 0),
    DDS_TWIN_ROWS(fixed, 31, "A2B10G10R10 (code 31)", 24, "R10G10B10A2_UNORM", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000),
    fixed(FourCC, 34, "G16R16 (code 34)", 32, 0xFFFF, 0xFFFF0000, 0, 0),
    fixed(FourCC, 35, "A2R10G10B10 (code 35)", 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000),
    maskRow(FourCC, 52, "A4L4 (code 52)", 8, Fixed, 0x0F, 0x0F, 0x0F, 0xF0, Rgba),
    DDS_TWIN_ROWS(wideRow, 80, "D16 (code 80)", 55, "D16_UNORM", Unorm16, 1, Rgb),
    DDS_TWIN_ROWS(wideRow, 112, "G16R16F (code 112)", 34, "R16G16_FLOAT", Float16, 2, Rgb),
    wideRow(FourCC, 115, "G32R32F (code 115)", Float32, 2, Rgb),
    DdsFormat{FourCC, 118, "A1 (code 118)", PixelCoding::Bits, RowLayout::Bits, 1, Rgb},
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
    // The extended-range layout, DXGI 89's twin.
    xrBiasRow(FourCC, 119, "A2B10G10R10_XR_BIAS (code 119)"),
    // Palettes, YUV and packed 4:2:2 RGB by FourCC or code.
    paletteRow(FourCC, 41, "P8 (code 41)", PaletteLayout::P8),
    paletteRow(FourCC, 40, "A8P8 (code 40)", PaletteLayout::A8P8),
    yuvRow(FourCC, fourCC("YUY2"), "YUY2", YuvLayout::Yuy2, Rgb),
    yuvRow(FourCC, fourCC("UYVY"), "UYVY", YuvLayout::Uyvy, Rgb),
    yuvRow(FourCC, fourCC("RGBG"), "RGBG", YuvLayout::Rgbg, Rgb),
    yuvRow(FourCC, fourCC("GRGB"), "GRGB", YuvLayout::Grgb, Rgb),

    // Uncompressed pixels described by the header's masks.
    DDS_BIT_COUNT_ROWS(headerMasks, "masks"),
    // Luminance and alpha-only headers: the standard masks stand in for
    // masks that do not select bits inside the pixel (some writers put
    // 0xff000000 in an 8-bit luminance file).
    maskRow(FormatKey::Luminance, 8, "L8", 8, Luminance, 0xFF, 0, 0, 0, Rgb),
    maskRow(FormatKey::LuminanceAlpha, 8, "A4L4", 8, Luminance, 0x0F, 0, 0, 0xF0, Rgba),
    maskRow(FormatKey::Luminance, 16, "L16", 16, Luminance, 0xFFFF, 0, 0, 0, Rgb),
    maskRow(FormatKey::LuminanceAlpha, 16, "A8L8", 16, Luminance, 0x00FF, 0, 0, 0xFF00, Rgba),
    maskRow(FormatKey::AlphaOnly, 8, "A8", 8, MaskSource::AlphaOnly, 0, 0, 0, 0xFF, Rgba),
    // The palette flag, and the bump flags whose masks select signed
    // channels (see planFields).
    paletteRow(Palette, 8, "P8 (palette flag)", PaletteLayout::P8),
    paletteRow(Palette, 16, "A8P8 (palette and alpha flags)", PaletteLayout::A8P8),
    DDS_BIT_COUNT_ROWS(bumpDuDv, "bump du/dv masks"),
    DDS_BIT_COUNT_ROWS(bumpLuminance, "bump luminance masks"),

    // DXGI formats of channels of 8, 16 and 32 bits: UNORM (a mask twin for
    // 8 bits), FLOAT, SNORM, and UINT and SINT as the UNORM or SNORM layout
    // of their bits (R8G8B8A8_UINT and R10G10B10A2_UINT are mask twins,
    // always Rgba).
    DDS_INTEGER_ROWS("R8G8B8A8", 28, 30, 8, 4, fixed, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    DDS_INTEGER_ROWS("R8G8", 49, 50, 8, 2, maskRow, 16, Fixed, 0xFF, 0xFF00, 0, 0, Rgb),
    DDS_INTEGER_ROWS("R8", 61, 62, 8, 1, maskRow, 8, Fixed, 0xFF, 0xFF, 0xFF, 0, Rgb),
    DDS_INTEGER_ROWS("R16G16B16A16", 11, 12, 16, 4, wideRow, Unorm16, 4, Rgba),
    DDS_INTEGER_ROWS("R16G16", 35, 36, 16, 2, wideRow, Unorm16, 2, Rgb),
    DDS_INTEGER_ROWS("R16", 56, 57, 16, 1, wideRow, Unorm16, 1, Rgb),
    DDS_32_BIT_ROWS("R32G32B32A32", 2, 4), DDS_32_BIT_ROWS("R32G32B32", 6, 3),
    DDS_32_BIT_ROWS("R32G32", 16, 2), DDS_32_BIT_ROWS("R32", 41, 1),
    // Depth and stencil; 1-bit; YUV and packed 4:2:2 RGB.
    fixed(Dxgi, 25, "R10G10B10A2_UINT", 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000),
    wideRow(Dxgi, 40, "D32_FLOAT", Float32, 1, Rgb),
    greyRow(45, "D24_UNORM_S8_UINT (depth)", 4, ddsField(Unsigned, 0xFFFFFF)),
    greyRow(46, "R24_UNORM_X8_TYPELESS", 4, ddsField(Unsigned, 0xFFFFFF)),
    greyRow(20, "D32_FLOAT_S8X24_UINT (depth)", 8, ddsField(FieldKind::Float, 0xFFFFFFFF)),
    greyRow(21, "R32_FLOAT_X8X24_TYPELESS", 8, ddsField(FieldKind::Float, 0xFFFFFFFF)),
    greyRow(47, "X24_TYPELESS_G8_UINT (stencil)", 4, ddsField(Unsigned, 0xFF000000)),
    greyRow(22, "X32_TYPELESS_G8X24_UINT (stencil)", 8, ddsField(Unsigned, 0xFF, 4)),
    DdsFormat{Dxgi, 66, "R1_UNORM", PixelCoding::Bits, RowLayout::Bits, 1, Rgb},
    fixed(Dxgi, 191, "A4B4G4R4_UNORM", 16, 0xF000, 0x0F00, 0x00F0, 0x000F),
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

    // DXGI formats of the DX10 record.  BC3 and BC5 in a file whose pixel
    // format carries the normal-map flag decode as normal maps.
    wideRow(Dxgi, 26, "R11G11B10_FLOAT", WideLayout::R11G11B10, 3, Rgb),
    fixed(Dxgi, 29, "R8G8B8A8_UNORM_SRGB", 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000),
    wideRow(Dxgi, 67, "R9G9B9E5_SHAREDEXP", WideLayout::R9G9B9E5, 3, Rgb),
    xrBiasRow(Dxgi, 89, "R10G10B10_XR_BIAS_A2_UNORM"),
    DDS_BC_ROWS(70, "BC1", B::Dxt1, Transparency),
    DDS_BC_ROWS(73, "BC2", B::Dxt3, Rgba),
    DDS_BC_ROWS(76, "BC3", B::Dxt5, Rgba, B::Dxt5Normal),
    blockRow(Dxgi, 79, "BC4_TYPELESS", B::Bc4, Rgb),
    blockRow(Dxgi, 80, "BC4_UNORM", B::Bc4, Rgb),
    blockRow(Dxgi, 81, "BC4_SNORM", B::Bc4Signed, Rgb),
    blockRow(Dxgi, 82, "BC5_TYPELESS", B::Bc5, Rgb, B::Bc5Normal),
    blockRow(Dxgi, 83, "BC5_UNORM", B::Bc5, Rgb, B::Bc5Normal),
    blockRow(Dxgi, 84, "BC5_SNORM", B::Bc5Signed, Rgb, B::Bc5SignedNormal),
    fixed(Dxgi, 91, "B8G8R8A8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000),
    fixed(Dxgi, 93, "B8G8R8X8_UNORM_SRGB", 32, 0xFF0000, 0xFF00, 0xFF, 0),
    blockRow(Dxgi, 95, "BC6H_UF16", B::Bc6h, Rgb),
    blockRow(Dxgi, 96, "BC6H_SF16", B::Bc6hSigned, Rgb),
    DDS_BC_ROWS(97, "BC7", B::Bc7, Rgba),

    // The mobile block formats: ETC1 decodes as ETC2 RGB; the sRGB codes as
    // the plain ones, bytes as stored.
    mobileRow("ETC1", "ETC1", B::Etc2Rgb, Rgb),
    mobileRow("ETC ", "ETC1 (ETC )", B::Etc2Rgb, Rgb),
    mobileRow("ETC2", "ETC2 RGB", B::Etc2Rgb, Rgb),
    mobileRow("ET2 ", "ETC2 RGB (ET2 )", B::Etc2Rgb, Rgb),
    mobileRow("ETCS", "ETC2 sRGB (ETCS)", B::Etc2Rgb, Rgb),
    mobileRow("ET2A", "ETC2 RGBA (ET2A)", B::Etc2Rgba, Rgba),
    mobileRow("ETCA", "ETC2 RGBA (ETCA)", B::Etc2Rgba, Rgba),
    mobileRow("ETCT", "ETC2 sRGB alpha (ETCT)", B::Etc2Rgba, Rgba),
    mobileRow("ETCP", "ETC2 punch-through alpha (ETCP)", B::Etc2PunchThrough, Rgba),
    mobileRow("ETCU", "ETC2 sRGB punch-through alpha (ETCU)", B::Etc2PunchThrough, Rgba),
    mobileRow("EAC1", "EAC R11 (EAC1)", B::EacR11, Rgb),
    mobileRow("EAR ", "EAC R11 (EAR )", B::EacR11, Rgb),
    mobileRow("EAC2", "EAC RG11 (EAC2)", B::EacRg11, Rgb),
    mobileRow("EARG", "EAC RG11 (EARG)", B::EacRg11, Rgb),
    mobileRow("ATC ", "ATC RGB", B::AtcRgb, Rgb),
    mobileRow("ATCA", "ATC explicit alpha (ATCA)", B::AtcExplicitAlpha, Rgba),
    mobileRow("ATCE", "ATC explicit alpha (ATCE)", B::AtcExplicitAlpha, Rgba),
    mobileRow("ATCI", "ATC interpolated alpha (ATCI)", B::AtcInterpolatedAlpha, Rgba),
    pvrtcRow("PTC2", "PVRTC1 2 bpp (PTC2)", B::Pvrtc2),
    pvrtcRow("PVR2", "PVRTC1 2 bpp (PVR2)", B::Pvrtc2),
    pvrtcRow("PTC4", "PVRTC1 4 bpp (PTC4)", B::Pvrtc4),
    pvrtcRow("PVR4", "PVRTC1 4 bpp (PVR4)", B::Pvrtc4),
    // ASTC, footprint k = 0 to 13: DXGI 133 + 4k typeless, 134 + 4k UNORM,
    // 135 + 4k sRGB; the FourCC "AS" and the characters '0' + width, '0' +
    // height, and for the 10 and 12 sizes also their hex digits.
    DDS_ASTC_ROWS(0, 4, 4), DDS_ASTC_ROWS(1, 5, 4), DDS_ASTC_ROWS(2, 5, 5), DDS_ASTC_ROWS(3, 6, 5),
    DDS_ASTC_ROWS(4, 6, 6), DDS_ASTC_ROWS(5, 8, 5), DDS_ASTC_ROWS(6, 8, 6), DDS_ASTC_ROWS(7, 8, 8),
    DDS_ASTC_HEX_ROWS(8, 10, 5, "A", "5"), DDS_ASTC_HEX_ROWS(9, 10, 6, "A", "6"), DDS_ASTC_HEX_ROWS(10, 10, 8, "A", "8"),
    DDS_ASTC_HEX_ROWS(11, 10, 10, "A", "A"), DDS_ASTC_HEX_ROWS(12, 12, 10, "C", "A"), DDS_ASTC_HEX_ROWS(13, 12, 12, "C", "C"),
};

#undef DDS_TWIN_ROWS
#undef DDS_BIT_COUNT_ROWS
#undef DDS_BC_ROWS
#undef DDS_INTEGER_ROWS
#undef DDS_32_BIT_ROWS
#undef DDS_ASTC_ROWS
#undef DDS_ASTC_HEX_ROWS

// Codes refused with a reason of their own, `first` to `last`: those that
// no row above names.
struct RefusedCodes {
    FormatKey key;
    uint32_t first, last;
    DdsRefusal refusal;
};

constexpr RefusedCodes refused(FormatKey key, uint32_t code, DdsRefusal refusal) {
    return {key, code, code, refusal};
}
constexpr RefusedCodes typeless(uint32_t dxgi) { return refused(Dxgi, dxgi, DdsRefusal::TypelessFormat); }

constexpr RefusedCodes Refused[] = {
    refused(FourCC, fourCC("ASTC"), DdsRefusal::AstcWithoutBlockSize),
    refused(FourCC, fourCC("EAS1"), DdsRefusal::SignedEac),
    refused(FourCC, fourCC("EAS2"), DdsRefusal::SignedEac),
    refused(FourCC, fourCC("PTC5"), DdsRefusal::Pvrtc2),
    refused(FourCC, fourCC("PTC6"), DdsRefusal::Pvrtc2),
    {FourCC, 70, 83, DdsRefusal::LegacyDepthFormat},  // but the rows of 80 (D16) and 81 (L16)
    {Dxgi, 111, 114, DdsRefusal::VideoPaletteFormat},  // AI44, IA44, P8, A8P8
    {Dxgi, 136, 188, DdsRefusal::AstcDxgiUnassigned},  // 136 + 4k, between the ASTC rows' numbers
    // The typeless formats without a row: their channels could be anything.
    typeless(1), typeless(5), typeless(9), typeless(15), typeless(19), typeless(23), typeless(27), typeless(33),
    typeless(39), typeless(44), typeless(48), typeless(53), typeless(60), typeless(90), typeless(92), typeless(94),
};

// What a header is looked up by, and the reason when neither a row nor a
// refused code has it.
struct Lookup {
    FormatKey key;
    uint32_t code;
    DdsRefusal missing;
};

// A legacy pixel format: the FourCC flag decides, then the first of the
// palette and the two bump flags, before the RGB, luminance and alpha-only
// flags.  A palette's pixels are one index byte whatever the bit count
// says, or with the alpha flag and 16 bits an index and an alpha byte.
Lookup legacyLookup(const DdsPixelFormat &pixelFormat) {
    const uint32_t flags = pixelFormat.flags, bits = pixelFormat.rgbBitCount;
    const DdsRefusal badBits = DdsRefusal::UnsupportedBitCount;
    if (flags & DdsPixelFourCC) {
        if (pixelFormat.fourCC == 0) return {FormatKey::FourCCZero, bits, badBits};
        return {FourCC, pixelFormat.fourCC, DdsRefusal::UnsupportedFourCC};
    }
    if (flags & DdsPixelPalette) return {Palette, (flags & DdsPixelAlpha) && bits == 16 ? 16u : 8u, badBits};
    if (flags & DdsPixelBumpDuDv) return {FormatKey::BumpDuDv, bits, badBits};
    if (flags & DdsPixelBumpLuminance) return {FormatKey::BumpLuminance, bits, badBits};
    if (flags & DdsPixelRgb) return {FormatKey::BitCount, bits, badBits};
    if (flags & DdsPixelLuminance) {
        return {(flags & DdsPixelAlpha) ? FormatKey::LuminanceAlpha : FormatKey::Luminance, bits, badBits};
    }
    if (flags & DdsPixelAlphaOnly) return {FormatKey::AlphaOnly, bits, badBits};
    return {FormatKey::None, 0,
            (flags & DdsPixelSmallPalettes) ? DdsRefusal::SmallPalette
            : (flags & DdsPixelYuv)         ? DdsRefusal::YuvPixelFormat
                                            : DdsRefusal::NoPixelFormat};
}

DdsRefusal refusalOf(const Lookup &lookup) {
    for (const RefusedCodes &codes : Refused) {
        if (codes.key == lookup.key && lookup.code >= codes.first && lookup.code <= codes.last) return codes.refusal;
    }
    return lookup.missing;
}

}  // namespace

const DdsFormat *ddsFindFormat(const DdsFormatQuery &query, DdsRefusal *refusal) {
    const Lookup lookup = query.dx10 != nullptr
                              ? Lookup{Dxgi, query.dx10->dxgiFormat, DdsRefusal::UnsupportedDxgiFormat}
                              : legacyLookup(*query.pixelFormat);
    for (const DdsFormat &format : Formats) {
        if (format.key == lookup.key && format.code == lookup.code) return &format;
    }
    *refusal = refusalOf(lookup);
    return nullptr;
}
