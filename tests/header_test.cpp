// Reading DDS headers, finding their format, and planning the import: the
// sizes, the stored rows and the reason for every refusal.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "dds_builder.h"
#include "header.h"
#include "plan.h"
#include "parallel_decode.h"

namespace {

DdsHeader parse(const DdsFields &fields) {
    const std::vector<uint8_t> bytes = headerBytes(fields);
    DdsHeader header;
    ddsParseHeader(bytes.data(), &header);
    return header;
}

// Plans a file held in memory.
DdsRefusal planOf(const std::vector<uint8_t> &file, DdsPlan *plan) {
    return ddsPlanImage(ddsMemorySource(file.data(), file.size()), plan);
}

TEST(Header, FieldsAreReadLittleEndianAtTheirOffsets) {
    DdsFields fields = maskFields(32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, 0x01020304, 0x0A0B0C0D, 0x41);
    fields.flags = 0x800A1007;
    fields.pitchOrLinearSize = 0xDEADBEEF;
    fields.mipMapCount = -3;
    fields.fourCC = fourCC("ABCD");
    const DdsHeader header = parse(fields);
    EXPECT_EQ(header.size, 124u);
    EXPECT_EQ(header.flags, 0x800A1007u);
    EXPECT_EQ(header.width, 0x01020304u);
    EXPECT_EQ(header.height, 0x0A0B0C0Du);
    EXPECT_EQ(header.pitchOrLinearSize, 0xDEADBEEFu);
    EXPECT_EQ(header.mipMapCount, -3);
    EXPECT_EQ(header.pixelFormat.size, 32u);
    EXPECT_EQ(header.pixelFormat.flags, 0x41u);
    EXPECT_EQ(header.pixelFormat.fourCC, 0x44434241u);
    EXPECT_EQ(header.pixelFormat.rgbBitCount, 32u);
    EXPECT_EQ(header.pixelFormat.rBitMask, 0x00FF0000u);
    EXPECT_EQ(header.pixelFormat.gBitMask, 0x0000FF00u);
    EXPECT_EQ(header.pixelFormat.bBitMask, 0x000000FFu);
    EXPECT_EQ(header.pixelFormat.aBitMask, 0xFF000000u);
    EXPECT_EQ(header.caps, 0x1000u);
}

TEST(Header, ShortHeadersAndTheRefusedFlag) {
    struct Case {
        const char *name;
        size_t keepBytes;
        uint32_t flags;
        DdsRefusal refusal;
    } cases[] = {
        {"whole header", 136, 0x1007, DdsRefusal::Accepted},
        {"one byte short", 127, 0x1007, DdsRefusal::HeaderTruncated},
        {"magic only", 4, 0x1007, DdsRefusal::HeaderTruncated},
        {"flag 0x200", 136, 0x1207, DdsRefusal::HeaderFlagRefused},
        {"other high flags", 136, 0xFFFFFDFF & ~0x20000u, DdsRefusal::Accepted},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DdsFields fields = dxtFields("DXT1", 4, 4);
        fields.flags = c.flags;
        std::vector<uint8_t> bytes = ddsFile(fields, std::vector<uint8_t>(8, 0));
        bytes.resize(c.keepBytes);
        DdsPlan plan;
        EXPECT_EQ(planOf(bytes, &plan), c.refusal);
    }
}

TEST(Header, FormatByDxgiFourCCThenFlags) {
    constexpr uint32_t NoDx10 = 0xFFFFFFFF;
    struct Case {
        uint32_t pixelFlags;
        uint32_t code;
        uint32_t bits;
        uint32_t dxgi;       // the DX10 record's format, or NoDx10
        const char *format;  // the table row's name, or null when refused
        DdsRefusal refusal;
    } cases[] = {
        {0x4, fourCC("DXT1"), 0, NoDx10, "DXT1", DdsRefusal::Accepted},
        {0x4, fourCC("DXT2"), 0, NoDx10, "DXT2 (premultiplied)", DdsRefusal::Accepted},
        {0x4, fourCC("DXT5"), 0, NoDx10, "DXT5", DdsRefusal::Accepted},
        {0x4, fourCC("BC4S"), 0, NoDx10, "BC4 signed (BC4S)", DdsRefusal::Accepted},
        {0x4, 0, 32, NoDx10, "masks (FourCC 0)", DdsRefusal::Accepted},
        {0x4, 0, 12, NoDx10, nullptr, DdsRefusal::UnsupportedBitCount},
        {0x4, 21, 0, NoDx10, "A8R8G8B8 (code 21)", DdsRefusal::Accepted},
        {0x4, 117, 0, NoDx10, "CxV8U8 (code 117)", DdsRefusal::Accepted},
        {0x4, 75, 0, NoDx10, nullptr, DdsRefusal::LegacyDepthFormat},  // D24S8
        {0x4, 119, 0, NoDx10, "A2B10G10R10_XR_BIAS (code 119)", DdsRefusal::Accepted},
        {0x4, fourCC("dxt1"), 0, NoDx10, nullptr, DdsRefusal::UnsupportedFourCC},
        {0x4, fourCC("XBOX"), 0, NoDx10, nullptr, DdsRefusal::UnsupportedFourCC},
        {0x44, fourCC("ATI2"), 32, NoDx10, "BC5 (ATI2)", DdsRefusal::Accepted},  // the FourCC flag wins over RGB
        {0x40, fourCC("DXT1"), 16, NoDx10, "16-bit masks", DdsRefusal::Accepted},  // fourCC ignored without its flag
        {0x41, 0, 24, NoDx10, "24-bit masks", DdsRefusal::Accepted},
        {0x40, 0, 48, NoDx10, nullptr, DdsRefusal::UnsupportedBitCount},
        {0x20000, 0, 8, NoDx10, "L8", DdsRefusal::Accepted},
        {0x20001, 0, 8, NoDx10, "A4L4", DdsRefusal::Accepted},
        {0x20001, 0, 16, NoDx10, "A8L8", DdsRefusal::Accepted},
        {0x20000, 0, 24, NoDx10, nullptr, DdsRefusal::UnsupportedBitCount},
        {0x20000, 0, 0x108, NoDx10, nullptr, DdsRefusal::UnsupportedBitCount},
        {0x2, 0, 8, NoDx10, "A8", DdsRefusal::Accepted},
        {0x20, 0, 24, NoDx10, "P8 (palette flag)", DdsRefusal::Accepted},  // one index byte whatever the bit count
        {0x21, 0, 16, NoDx10, "A8P8 (palette and alpha flags)", DdsRefusal::Accepted},
        {0x800A0, 0, 16, NoDx10, "P8 (palette flag)", DdsRefusal::Accepted},  // palette before bump before RGB
        {0xC0040, 0, 16, NoDx10, "16-bit bump du/dv masks", DdsRefusal::Accepted},
        {0x40041, 0, 32, NoDx10, "32-bit bump luminance masks", DdsRefusal::Accepted},
        {0x80000, 0, 12, NoDx10, nullptr, DdsRefusal::UnsupportedBitCount},
        {0x1000, 0, 2, NoDx10, nullptr, DdsRefusal::SmallPalette},
        {0x200, 0, 16, NoDx10, nullptr, DdsRefusal::YuvPixelFormat},
        {0x0, 0, 32, NoDx10, nullptr, DdsRefusal::NoPixelFormat},
        {0x4, fourCC("DX10"), 0, 98, "BC7_UNORM", DdsRefusal::Accepted},
        {0x4, fourCC("DX10"), 0, 93, "B8G8R8X8_UNORM_SRGB", DdsRefusal::Accepted},
        {0x4, fourCC("DX10"), 0, 62, "R8_UINT", DdsRefusal::Accepted},
        {0x4, fourCC("DX10"), 0, 94, nullptr, DdsRefusal::TypelessFormat},  // BC6H_TYPELESS
        {0x4, fourCC("DX10"), 0, 89, "R10G10B10_XR_BIAS_A2_UNORM", DdsRefusal::Accepted},
        {0x4, fourCC("DX10"), 0, 113, nullptr, DdsRefusal::VideoPaletteFormat},
        {0x4, fourCC("DX10"), 0, 190, nullptr, DdsRefusal::UnsupportedDxgiFormat},
        {0x4, fourCC("DX10"), 0, 0, nullptr, DdsRefusal::UnsupportedDxgiFormat},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.pixelFlags << " " << c.code << " " << std::dec << c.bits
                                        << " " << c.dxgi);
        DdsPixelFormat pixelFormat{};
        pixelFormat.flags = c.pixelFlags;
        pixelFormat.fourCC = c.code;
        pixelFormat.rgbBitCount = c.bits;
        DdsHeaderDx10 dx10{c.dxgi, 3, 0, 1, 0};
        DdsRefusal refusal = DdsRefusal::Accepted;
        const DdsFormat *format = ddsFindFormat({&pixelFormat, c.dxgi == NoDx10 ? nullptr : &dx10}, &refusal);
        EXPECT_EQ(refusal, c.refusal);
        EXPECT_EQ(format == nullptr ? std::string("-") : format->name, c.format ? c.format : "-");
    }
}

// Every code of the mobile formats finds its block format and type; the
// ASTC codes follow from the block sizes (FourCC "AS" and '0' + width, '0'
// + height, or their hex digits; DXGI 133 + 4k to 135 + 4k, 136 + 4k
// refused).  The other refusals: tests/crashers.
TEST(Header, MobileCodes) {
    using B = BlockFormat;
    const TypeRule Rgb = TypeRule::Rgb, Rgba = TypeRule::Rgba;
    const struct {
        const char *codes;  // FourCCs, four characters each
        BlockFormat blocks;
        TypeRule type;
    } families[] = {
        {"ETC1ETC ETC2ET2 ETCS", B::Etc2Rgb, Rgb}, {"ET2AETCAETCT", B::Etc2Rgba, Rgba}, {"ETCPETCU", B::Etc2PunchThrough, Rgba},
        {"EAC1EAR ", B::EacR11, Rgb}, {"EAC2EARG", B::EacRg11, Rgb}, {"ATC ", B::AtcRgb, Rgb},
        {"ATCAATCE", B::AtcExplicitAlpha, Rgba}, {"ATCI", B::AtcInterpolatedAlpha, Rgba},
        {"PTC2PVR2", B::Pvrtc2, Rgba}, {"PTC4PVR4", B::Pvrtc4, Rgba},
    };
    auto find = [](uint32_t code, bool dxgi, DdsRefusal *refusal) {
        DdsPixelFormat pixelFormat{32, 0x4, dxgi ? fourCC("DX10") : code, 0, 0, 0, 0, 0};
        const DdsHeaderDx10 dx10{code, 3, 0, 1, 0};
        return ddsFindFormat({&pixelFormat, dxgi ? &dx10 : nullptr}, refusal);
    };
    auto expectFormat = [&](uint32_t code, bool dxgi, BlockFormat blocks, TypeRule type) {
        DdsRefusal refusal = DdsRefusal::Accepted;
        const DdsFormat *format = find(code, dxgi, &refusal);
        ASSERT_NE(format, nullptr) << std::hex << code << ": " << ddsRefusalName(refusal);
        EXPECT_TRUE(format->blocks == blocks && format->type == type) << format->name;
    };
    auto code = [](char a, char b, char c, char d) { return ddsFourCC(a, b, c, d); };
    for (const auto &f : families)
        for (const char *c = f.codes; *c != '\0'; c += 4) expectFormat(code(c[0], c[1], c[2], c[3]), false, f.blocks, f.type);
    for (unsigned k = 0; k < 14; ++k) {
        const auto format = static_cast<BlockFormat>(ddsIndex(B::Astc4x4) + k);
        const unsigned w = ddsBlockShape(format).width, h = ddsBlockShape(format).height;
        const auto hex = [](unsigned n) { return static_cast<char>(n < 10 ? '0' + n : 'A' + n - 10); };
        expectFormat(code('A', 'S', static_cast<char>('0' + w), static_cast<char>('0' + h)), false, format, Rgba);
        expectFormat(code('A', 'S', hex(w), hex(h)), false, format, Rgba);
        for (uint32_t dxgi = 133 + 4 * k; dxgi <= 135 + 4 * k; ++dxgi) expectFormat(dxgi, true, format, Rgba);
        DdsRefusal refusal = DdsRefusal::Accepted;
        EXPECT_EQ(find(136 + 4 * k, true, &refusal), nullptr);
        EXPECT_EQ(refusal, DdsRefusal::AstcDxgiUnassigned) << 136 + 4 * k;
    }
}

// The plan of files whose top level holds `dataBytes` bytes: the reason,
// and for an accepted file the declared level and the stored rows.
TEST(Header, PlansAndReasons) {
    struct Case {
        const char *name;
        DdsFields fields;
        uint64_t dataBytes;
        DdsRefusal refusal;
        uint64_t levelBytes;
        uint32_t rowBytes, rows;
        uint32_t dxgi = 0;  // not 0: a DX10 file of this format
    };
    auto with = [](DdsFields f, uint32_t flags, uint32_t linear, int32_t mips) {
        f.flags |= flags;
        f.pitchOrLinearSize = linear;
        f.mipMapCount = mips;
        return f;
    };
    const Case cases[] = {
        {"DXT1 128x128", dxtFields("DXT1", 128, 128), 8192, DdsRefusal::Accepted, 8192, 256, 32},
        {"DXT1 128x128 one byte short", dxtFields("DXT1", 128, 128), 8191, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"DXT5 64x64", dxtFields("DXT5", 64, 64), 4096, DdsRefusal::Accepted, 4096, 256, 16},
        {"DXT1 6x6 with its partial blocks", dxtFields("DXT1", 6, 6), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"DXT1 6x6 holding one block", dxtFields("DXT1", 6, 6), 8, DdsRefusal::Accepted, 8, 8, 1},
        {"DXT1 2x2 holding its block", dxtFields("DXT1", 2, 2), 8, DdsRefusal::Accepted, 8, 8, 1},
        {"DXT1 2x2 holding 7 bytes", dxtFields("DXT1", 2, 2), 7, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"BC4 linear size ignored", with(dxtFields("ATI1", 8, 8), 0x80000, 64, 0), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"DXT1 2x2 linear size 8", with(dxtFields("DXT1", 2, 2), 0x80000, 8, 0), 8, DdsRefusal::Accepted, 8, 8, 1},
        {"DXT1 2x2 linear size 4", with(dxtFields("DXT1", 2, 2), 0x80000, 4, 0), 8, DdsRefusal::NoWholeBlock, 0, 0, 0},
        {"DXT4 3x2 linear size 16 holding 1 byte", with(dxtFields("DXT4", 3, 2), 0x80000, 16, 0), 1, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"DXT5 5x5 linear size between", with(dxtFields("DXT5", 5, 5), 0x80000, 32, 0), 64, DdsRefusal::Accepted, 32, 16, 1},
        {"DXT5 1x4097", dxtFields("DXT5", 1, 4097), 16 * 1025, DdsRefusal::Accepted, 16 * 1025, 16, 1025},
        {"linear size used", with(dxtFields("DXT1", 8, 8), 0x80000, 1000, 0), 1000, DdsRefusal::Accepted, 1000, 16, 2},
        {"linear size past the file", with(dxtFields("DXT1", 8, 8), 0x80000, 1000, 0), 999, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"linear size below the level", with(dxtFields("DXT1", 64, 64), 0x80000, 8, 0), 2048, DdsRefusal::LinearSizeTooSmall, 0, 0, 0},
        {"linear size 0 falls back", with(dxtFields("DXT1", 8, 8), 0x80000, 0, 0), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"linear size without its flag", with(dxtFields("DXT1", 8, 8), 0, 1000, 0), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"linear size above 2^31-1", with(dxtFields("DXT1", 8, 8), 0x80000, 0x80000000u, 0), 64, DdsRefusal::LevelTooLarge, 0, 0, 0},
        {"fourCC 0 sized as 16-byte blocks", maskFields(8, 0xE0, 0x1C, 0x3, 0, 8, 8, 0x4), 64, DdsRefusal::Accepted, 64, 8, 8},
        {"fourCC 0 32-bit, blocks too small", maskFields(32, 0xFF, 0, 0, 0, 8, 8, 0x4), 256, DdsRefusal::LinearSizeTooSmall, 0, 0, 0},
        {"24-bit 10x10", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 10, 10, 0x40), 300, DdsRefusal::Accepted, 300, 30, 10},
        {"24-bit 10x10 short", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 10, 10, 0x40), 299, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"pitch not used", with(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0, 3, 2, 0x40), 0x8, 999, 0), 24, DdsRefusal::Accepted, 24, 12, 2},
        {"mip flag with 0", with(dxtFields("DXT1", 8, 8), 0x20000, 0, 0), 32, DdsRefusal::MipCountBelowOne, 0, 0, 0},
        {"mip flag with -1", with(dxtFields("DXT1", 8, 8), 0x20000, 0, -1), 32, DdsRefusal::MipCountBelowOne, 0, 0, 0},
        {"mip flag with 1", with(dxtFields("DXT1", 8, 8), 0x20000, 0, 1), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"mip count 0 without flag", with(dxtFields("DXT1", 8, 8), 0, 0, 0), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"width 0", dxtFields("DXT1", 0, 8), 32, DdsRefusal::ZeroDimension, 0, 0, 0},
        {"width 2^31", dxtFields("DXT1", 0x80000000u, 8), 32, DdsRefusal::DimensionTooLarge, 0, 0, 0},
        {"product past 2^31-1", maskFields(32, 0xFF, 0, 0, 0, 65536, 8192, 0x40), 0, DdsRefusal::ImageTooLarge, 0, 0, 0},
        {"product at the limit", maskFields(8, 0xFF, 0, 0, 0, 32768, 16383, 0x40), 0, DdsRefusal::LevelTruncated, 0, 0, 0},
        // The mobile formats hold every block; PVRTC1 its padded word grid.
        {"ETC2 RGBA 6x6", dxtFields("ET2A", 6, 6), 64, DdsRefusal::Accepted, 64, 32, 2},
        {"ETC1 6x6 holding the whole block only", dxtFields("ETC1", 6, 6), 8, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"EAC R11 6x6 linear size ignored", with(dxtFields("EAR ", 6, 6), 0x80000, 8, 0), 32, DdsRefusal::Accepted, 32, 16, 2},
        {"ASTC 12x10 25x13", dxtFields("AS<:", 25, 13), 96, DdsRefusal::Accepted, 96, 48, 2},
        {"ASTC 10x5 1x1", dxtFields("ASA5", 1, 1), 16, DdsRefusal::Accepted, 16, 16, 1},
        {"ASTC 12x12 13x1 one byte short", dxtFields("ASCC", 13, 1), 31, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"EAC RG11 6x6 holding the whole block only", dxtFields("EAC2", 6, 6), 16, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"ATC 6x6 holding the whole block only", dxtFields("ATC ", 6, 6), 8, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"ASTC 4x4 6x6 holding the whole block only", dxtFields("DX10", 6, 6), 16, DdsRefusal::LevelTruncated, 0, 0, 0, 134},
        {"PVRTC1 4 bpp 4x4: a 2x2 grid", dxtFields("PTC4", 4, 4), 32, DdsRefusal::Accepted, 32, 16, 1},
        {"PVRTC1 2 bpp 16x1", dxtFields("PVR2", 16, 1), 32, DdsRefusal::Accepted, 32, 16, 1},
        {"PVRTC1 2 bpp 64x16", dxtFields("PTC2", 64, 16), 256, DdsRefusal::Accepted, 256, 64, 4},
        {"PVRTC1 4 bpp 1x256", dxtFields("PVR4", 1, 256), 1024, DdsRefusal::Accepted, 1024, 16, 64},
        {"PVRTC1 4x4 one byte short", dxtFields("PTC4", 4, 4), 31, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"PVRTC1 12x8", dxtFields("PTC4", 12, 8), 1000, DdsRefusal::PvrtcNotPowerOfTwo, 0, 0, 0},
        {"PVRTC1 8x6", dxtFields("PTC2", 8, 6), 1000, DdsRefusal::PvrtcNotPowerOfTwo, 0, 0, 0},
        {"NV12 6x4: two luma rows and a chroma row", dxtFields("DX10", 6, 4), 36, DdsRefusal::Accepted, 36, 18, 2, 103},
        {"P010 4x2", dxtFields("DX10", 4, 2), 24, DdsRefusal::Accepted, 24, 24, 1, 104},
        {"NV12 6x4 one byte short", dxtFields("DX10", 6, 4), 35, DdsRefusal::LevelTruncated, 0, 0, 0, 103},
        {"NV12 5x4", dxtFields("DX10", 5, 4), 100, DdsRefusal::OddPlanarSize, 0, 0, 0, 103},
        {"YUY2 5x2: three pairs a row", dxtFields("YUY2", 5, 2), 24, DdsRefusal::Accepted, 24, 12, 2},
        {"R1 9x2: two bytes a row", dxtFields("DX10", 9, 2), 4, DdsRefusal::Accepted, 4, 2, 2, 66},
        {"R1 16x2: two bytes a row", dxtFields("DX10", 16, 2), 4, DdsRefusal::Accepted, 4, 2, 2, 66},
        {"P8 3x2 after its palette", maskFields(24, 0, 0, 0, 0, 3, 2, 0x20), 1030, DdsRefusal::Accepted, 6, 3, 2},
        {"P8 3x2 one byte short", maskFields(24, 0, 0, 0, 0, 3, 2, 0x20), 1029, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"P8 inside its palette", maskFields(8, 0, 0, 0, 0, 3, 2, 0x20), 1000, DdsRefusal::LevelTruncated, 0, 0, 0},
        {"A8P8 3x2", maskFields(16, 0, 0, 0, 0, 3, 2, 0x21), 1036, DdsRefusal::Accepted, 12, 6, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // Only the header and the length matter before the level is read:
        // a large level is a header with a length, not bytes.
        Dx10Fields dx10;
        dx10.dxgiFormat = c.dxgi;
        const std::vector<uint8_t> header = c.dxgi != 0 ? dx10File(c.fields, dx10, {}) : ddsFile(c.fields, {});
        std::vector<uint8_t> file = header;
        if (c.dataBytes <= (1u << 20)) file.resize(header.size() + static_cast<size_t>(c.dataBytes), 0);
        DdsSource source = ddsMemorySource(file.data(), file.size());
        source.length = header.size() + c.dataBytes;
        DdsPlan plan;
        const DdsRefusal refusal = ddsPlanImage(source, &plan);
        EXPECT_EQ(refusal, c.refusal) << ddsRefusalText(refusal);
        if (c.refusal == DdsRefusal::Accepted) {
            EXPECT_EQ(plan.levelBytes, c.levelBytes);
            EXPECT_EQ(plan.sourceRowBytes, c.rowBytes);
            EXPECT_EQ(plan.sourceRows, c.rows);
            // A PVRTC1 band also holds its two neighbour rows and one tile.
            const bool bands = plan.format->rows == RowLayout::WordGrid;
            const uint32_t band = bands ? ddsPvrtcBandBytes : ddsChunkBytes;
            EXPECT_LE(plan.chunkBytes, std::max(band, plan.sourceRowBytes) * (bands ? 2 : 1) +
                                           (bands ? 2 * plan.sourceRowBytes : 0));
        }
    }
}

// A format named by a DXGI number or a legacy code decodes exactly as the
// same bytes under its legacy header (or the DXGI format whose bits it
// shares): same plan, same type, same pixels.
TEST(Header, TwinsDecodeAsTheirLegacyFormat) {
    auto code = [](uint32_t number) {
        DdsFields fields = dxtFields("\0\0\0\0", 6, 5);
        fields.fourCC = number;
        return fields;
    };
    auto dx10 = [](uint32_t dxgi) {
        return [dxgi](const std::vector<uint8_t> &data) { return dx10File(dxgi, 6, 5, data); };
    };
    auto legacyOf = [](DdsFields fields) {
        return [fields](const std::vector<uint8_t> &data) { return ddsFile(fields, data); };
    };
    const struct {
        const char *name;
        DdsFields legacy;
        std::function<std::vector<uint8_t>(const std::vector<uint8_t> &)> twin;
        uint32_t legacyDxgi = 0;  // not 0: the first file is this DXGI format's
    } cases[] = {
        {"BC1_UNORM", dxtFields("DXT1", 6, 5), dx10(71)},
        {"BC1_UNORM_SRGB", dxtFields("DXT1", 6, 5), dx10(72)},
        {"BC2_UNORM", dxtFields("DXT3", 6, 5), dx10(74)},
        {"BC3_TYPELESS", dxtFields("DXT5", 6, 5), dx10(76)},
        {"BC4_UNORM", dxtFields("ATI1", 6, 5), dx10(80)},
        {"BC5_UNORM", dxtFields("ATI2", 6, 5), dx10(83)},
        {"BC5_SNORM", dxtFields("BC5S", 6, 5), dx10(84)},
        {"R8G8B8A8_UNORM", maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 6, 5, 0x41), dx10(28)},
        {"B8G8R8A8_UNORM_SRGB", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 6, 5, 0x41), dx10(91)},
        {"B8G8R8X8_UNORM", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0, 6, 5, 0x40), dx10(88)},
        // 10:10:10:2 masks are read with red and blue exchanged, as D3DX wrote them.
        {"R10G10B10A2_UNORM", maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 6, 5, 0x41), dx10(24)},
        {"B5G6R5_UNORM", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 6, 5, 0x40), dx10(85)},
        {"B5G5R5A1_UNORM", maskFields(16, 0x7C00, 0x03E0, 0x001F, 0x8000, 6, 5, 0x41), dx10(86)},
        {"B4G4R4A4_UNORM", maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 6, 5, 0x41), dx10(115)},
        {"A8_UNORM", maskFields(8, 0, 0, 0, 0xFF, 6, 5, 0x2), dx10(65)},
        {"R8_UNORM", maskFields(8, 0xFF, 0, 0, 0, 6, 5, 0x20000), dx10(61)},
        {"code 20", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 6, 5, 0x40), legacyOf(code(20))},
        {"code 21", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 6, 5, 0x41), legacyOf(code(21))},
        {"code 24", maskFields(16, 0x7C00, 0x03E0, 0x001F, 0, 6, 5, 0x40), legacyOf(code(24))},
        {"code 26", maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 6, 5, 0x41), legacyOf(code(26))},
        {"code 33", maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 6, 5, 0x40), legacyOf(code(33))},
        {"code 50", maskFields(8, 0xFF, 0, 0, 0, 6, 5, 0x20000), legacyOf(code(50))},
        {"code 51", maskFields(16, 0xFF, 0, 0, 0xFF00, 6, 5, 0x20001), legacyOf(code(51))},
        {"code 27", maskFields(8, 0xE0, 0x1C, 0x03, 0, 6, 5, 0x40), legacyOf(code(27))},
        {"code 29", maskFields(16, 0xE0, 0x1C, 0x03, 0xFF00, 6, 5, 0x41), legacyOf(code(29))},
        {"code 30", maskFields(16, 0xF00, 0xF0, 0xF, 0, 6, 5, 0x40), legacyOf(code(30))},
        {"code 31", maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 6, 5, 0x41), legacyOf(code(31))},
        {"code 34", maskFields(32, 0xFFFF, 0xFFFF0000, 0, 0, 6, 5, 0x40), legacyOf(code(34))},
        {"code 35", maskFields(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, 6, 5, 0x41), legacyOf(code(35))},
        {"code 35, no alpha flag", maskFields(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, 6, 5, 0x40),
         legacyOf(maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0, 6, 5, 0x40))},
        {"code 52", maskFields(8, 0x0F, 0, 0, 0xF0, 6, 5, 0x20001), legacyOf(code(52))},
        {"A4B4G4R4_UNORM", maskFields(16, 0xF000, 0x0F00, 0x00F0, 0x000F, 6, 5, 0x41), dx10(191)},
        {"code 119", code(119), dx10(89)}, {"code 112", code(112), dx10(34)}, {"code 115", code(115), dx10(16)}, {"YUY2", code(fourCC("YUY2")), dx10(107)},
        {"bump du/dv", maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 6, 5, 0x80000), legacyOf(code(63))},
        {"bump du/dv, unsigned alpha", maskFields(32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000, 6, 5, 0x80001), legacyOf(code(67))},
        {"bump luminance", maskFields(16, 0x1F, 0x3E0, 0xFC00, 0, 6, 5, 0x40000), legacyOf(code(61))},
        {"bump luminance, 32 bits", maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 6, 5, 0x40041), legacyOf(code(62))},
        {"R8G8B8A8_UINT", {}, dx10(30), 28}, {"R10G10B10A2_UINT", {}, dx10(25), 24}, {"R8G8_UINT", {}, dx10(50), 49},
        {"R8_UINT", {}, dx10(62), 61}, {"R16G16B16A16_UINT", {}, dx10(12), 11}, {"D32_FLOAT", {}, dx10(40), 41},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> data = randomBytes(6 * 5 * 16 + 1100, 31);
        const std::vector<uint8_t> legacy = c.legacyDxgi ? dx10(c.legacyDxgi)(data) : ddsFile(c.legacy, data);
        const std::vector<uint8_t> twin = c.twin(data);
        std::vector<uint8_t> pixels[2];
        TextureType types[2] = {};
        int index = 0;
        for (const std::vector<uint8_t> *file : {&legacy, &twin}) {
            const DdsSource source = ddsMemorySource(file->data(), file->size());
            DdsPlan plan;
            ASSERT_EQ(ddsPlanImage(source, &plan), DdsRefusal::Accepted) << index;
            std::vector<uint8_t> chunk(plan.chunkBytes);
            uint8_t *const buffers[] = {chunk.data()};
            pixels[index].assign(size_t{plan.width} * plan.height * ddsBytesPerPixel(plan.type), 0x5A);
            ASSERT_TRUE(ddsDecodeTopLevel(source, plan, buffers, 1, pixels[index].data(), true));
            types[index++] = plan.type;
        }
        EXPECT_EQ(types[0], types[1]);
        EXPECT_EQ(pixels[0], pixels[1]);
    }
}

// DXT1 and BC1 are Rgba when the first block is in three-colour mode or a
// texel inside the image is transparent (index 3 of a three-colour block),
// in any block, found however far into the level it lies.
TEST(Header, TextureTypeFollowsTransparentTexels) {
    // Blocks across x down; every block opaque (four-colour, index 0) but
    // for `block`, made three-colour with index `index` at texel (c, r).
    struct Texel {
        uint32_t block, c, r, index;
    };
    auto level = [](uint32_t blocks, Texel texel) {
        std::vector<uint8_t> data;
        for (uint32_t b = 0; b < blocks; ++b) {
            const bool three = b == texel.block;
            put16(data, three ? 0x001F : 0xF800);
            put16(data, three ? 0xF800 : 0x001F);
            for (uint32_t r = 0; r < 4; ++r) data.push_back(three && r == texel.r ? static_cast<uint8_t>(texel.index << (2 * texel.c)) : uint8_t{0});
        }
        return data;
    };
    constexpr uint32_t None = 0xFFFFFFFF;
    const TextureType Rgb = TextureType::Rgb, Rgba = TextureType::Rgba;
    struct Case {
        const char *name;
        DdsFields fields;
        uint32_t blocks;
        Texel texel;
        TextureType type;
    } cases[] = {
        {"opaque", dxtFields("DXT1", 8, 8), 4, {None, 0, 0, 0}, Rgb},
        {"first block three-colour, no index 3", dxtFields("DXT1", 8, 8), 4, {0, 0, 0, 0}, Rgba},
        {"later block three-colour, no index 3", dxtFields("DXT1", 8, 8), 4, {3, 1, 2, 2}, Rgb},
        {"later block, index 3", dxtFields("DXT1", 8, 8), 4, {3, 1, 2, 3}, Rgba},
        {"6 x 6: index 3 in the stored column past the image", dxtFields("DXT1", 6, 6), 4, {1, 2, 0, 3}, Rgb},
        {"6 x 6: index 3 in the last column inside", dxtFields("DXT1", 6, 6), 4, {1, 1, 0, 3}, Rgba},
        {"6 x 6: index 3 in the stored row past the image", dxtFields("DXT1", 6, 6), 4, {3, 0, 3, 3}, Rgb},
        {"6 x 6 of whole blocks: the edge blocks are not read", dxtFields("DXT1", 6, 6), 1, {None, 0, 0, 0}, Rgb},
        {"1028 x 64, the last block", dxtFields("DXT1", 1028, 64), 257 * 16, {257 * 16 - 1, 3, 3, 3}, Rgba},
        {"1028 x 64, an odd block in the first piece", dxtFields("DXT1", 1028, 64), 257 * 16, {1023, 0, 1, 3}, Rgba},
        {"1028 x 64, opaque", dxtFields("DXT1", 1028, 64), 257 * 16, {None, 0, 0, 0}, Rgb},
        {"DXT3 never counts its colour", dxtFields("DXT3", 4, 4), 2, {None, 0, 0, 0}, Rgba},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DdsPlan plan;
        ASSERT_EQ(planOf(ddsFile(c.fields, level(c.blocks, c.texel)), &plan), DdsRefusal::Accepted);
        EXPECT_EQ(plan.type, c.type);
        // BC1 behind the DX10 record likewise.
        if (c.fields.fourCC != fourCC("DXT1")) continue;
        ASSERT_EQ(planOf(dx10File(71, c.fields.width, c.fields.height, level(c.blocks, c.texel)), &plan), DdsRefusal::Accepted);
        EXPECT_EQ(plan.type, c.type) << "BC1";
    }
}

}  // namespace
