// Reading, classifying and sizing DDS headers.

#include <gtest/gtest.h>

#include <cstdio>

#include "dds_builder.h"
#include "header.h"

namespace {

DdsHeader parse(const DdsFields &fields) {
    const std::vector<uint8_t> bytes = headerBytes(fields);
    DdsHeader header;
    ddsParseHeader(bytes.data(), &header);
    return header;
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

TEST(Header, ReadRefusesShortHeadersAndTheRefusedFlag) {
    struct Case {
        const char *name;
        size_t keepBytes;
        uint32_t flags;
        bool ok;
    } cases[] = {
        {"whole header", 128, 0x1007, true},
        {"one byte short", 127, 0x1007, false},
        {"magic only", 4, 0x1007, false},
        {"flag 0x200", 128, 0x1207, false},
        {"other high flags", 128, 0xFFFFFDFF, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DdsFields fields = dxtFields("DXT1", 4, 4);
        fields.flags = c.flags;
        std::vector<uint8_t> bytes = ddsFile(fields, {});
        bytes.resize(c.keepBytes);
        TempFile file(bytes);
        FILE *stream = std::fopen(file.path().c_str(), "rb");
        ASSERT_NE(stream, nullptr);
        DdsHeader header;
        EXPECT_EQ(ddsReadHeader(stream, &header), c.ok);
        std::fclose(stream);
    }
}

TEST(Header, ClassifyByFourCCThenRgbFlag) {
    struct Case {
        uint32_t pixelFlags;
        uint32_t code;
        BlockFormat expected;
    } cases[] = {
        {0x4, fourCC("DXT1"), Dxt1},   {0x4, fourCC("DXT2"), Dxt2},       {0x4, fourCC("DXT3"), Dxt3},
        {0x4, fourCC("DXT4"), Dxt4},   {0x4, fourCC("DXT5"), Dxt5},       {0x4, 0, Uncompressed},
        {0x4, fourCC("DX10"), Unsupported}, {0x4, fourCC("dxt1"), Unsupported},
        {0x44, fourCC("ATI2"), Unsupported},  // the FourCC flag wins over RGB
        {0x40, fourCC("DXT1"), Uncompressed}, // fourCC ignored without its flag
        {0x41, 0, Uncompressed},       {0x20000, 0, Unsupported},         // luminance
        {0x2, 0, Unsupported},         {0x0, 0, Unsupported},
    };
    for (const auto &c : cases) {
        DdsFields fields;
        fields.pixelFlags = c.pixelFlags;
        fields.fourCC = c.code;
        EXPECT_EQ(ddsClassifyFormat(parse(fields)), c.expected) << std::hex << c.pixelFlags << " " << c.code;
    }
}

TEST(Header, TopLevelSizes) {
    struct Case {
        const char *name;
        DdsFields fields;
        bool ok;
        uint32_t size;
    };
    auto with = [](DdsFields f, uint32_t flags, uint32_t linear, int32_t mips) {
        f.flags |= flags;
        f.pitchOrLinearSize = linear;
        f.mipMapCount = mips;
        return f;
    };
    const Case cases[] = {
        {"DXT1 128x128", dxtFields("DXT1", 128, 128), true, 8192},
        {"DXT5 64x64", dxtFields("DXT5", 64, 64), true, 4096},
        {"DXT1 6x6 is one block", dxtFields("DXT1", 6, 6), true, 8},
        {"DXT1 2x2 has no block", dxtFields("DXT1", 2, 2), false, 0},
        {"linear size used", with(dxtFields("DXT1", 8, 8), 0x80000, 1000, 0), true, 1000},
        {"linear size 0 falls back", with(dxtFields("DXT1", 8, 8), 0x80000, 0, 0), true, 32},
        {"linear size without its flag", with(dxtFields("DXT1", 8, 8), 0, 1000, 0), true, 32},
        {"linear size above 2^31-1", with(dxtFields("DXT1", 8, 8), 0x80000, 0x80000000u, 0), false, 0},
        {"fourCC 0 sized as 16-byte blocks", dxtFields("\0\0\0\0", 8, 8), true, 64},
        {"unknown fourCC sized as 16-byte blocks", dxtFields("ATI1", 8, 8), true, 64},
        {"24-bit 10x10", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 10, 10, 0x40), true, 300},
        {"12-bit rounds down to 1 byte", maskFields(12, 0xF00, 0xF0, 0xF, 0, 10, 10, 0x40), true, 100},
        {"7-bit has no bytes", maskFields(7, 0x70, 0xC, 0x3, 0, 10, 10, 0x40), false, 0},
        {"pitch not used", with(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0, 3, 2, 0x40), 0x8, 999, 0), true, 24},
        {"mip flag with 0", with(dxtFields("DXT1", 8, 8), 0x20000, 0, 0), false, 0},
        {"mip flag with -1", with(dxtFields("DXT1", 8, 8), 0x20000, 0, -1), false, 0},
        {"mip flag with 1", with(dxtFields("DXT1", 8, 8), 0x20000, 0, 1), true, 32},
        {"mip count 0 without flag", with(dxtFields("DXT1", 8, 8), 0, 0, 0), true, 32},
        {"negative width", dxtFields("DXT1", 0x80000000u, 8), false, 0},
        {"uncompressed product past 2^31-1", maskFields(32, 0xFF, 0, 0, 0, 65536, 65536, 0x40), false, 0},
        {"huge bit count", maskFields(0xFFFFFFFF, 0xFF, 0, 0, 0, 0x7FFFFFFF, 0x7FFFFFFF, 0x40), false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t size = 0;
        EXPECT_EQ(ddsTopLevelSize(parse(c.fields), &size), c.ok);
        if (c.ok) {
            EXPECT_EQ(size, c.size);
        }
    }
}

TEST(Header, TextureTypeFollowsTheFirstDxt1Block) {
    const uint8_t fourColour[] = {0x00, 0xF8, 0x1F, 0x00};  // 0xF800 > 0x001F
    const uint8_t equal[] = {0x34, 0x12, 0x34, 0x12};
    const uint8_t threeColour[] = {0x1F, 0x00, 0x00, 0xF8};
    const uint8_t highByteDecides[] = {0xFF, 0x01, 0x00, 0x02};  // 0x01FF < 0x0200
    EXPECT_EQ(ddsChooseTextureType(Dxt1, fourColour), Rgb);
    EXPECT_EQ(ddsChooseTextureType(Dxt1, equal), Rgba);
    EXPECT_EQ(ddsChooseTextureType(Dxt1, threeColour), Rgba);
    EXPECT_EQ(ddsChooseTextureType(Dxt1, highByteDecides), Rgba);
    for (BlockFormat format : {Uncompressed, Dxt2, Dxt3, Dxt4, Dxt5}) {
        EXPECT_EQ(ddsChooseTextureType(format, fourColour), Rgba) << format;
    }
}

}  // namespace
