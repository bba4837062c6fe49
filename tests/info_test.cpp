// The information query: what it reports through the host's setters, and
// which files it refuses before calling any setter.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dds_builder.h"
#include "plan.h"
#include "plugin_fixture.h"

namespace {

using InfoQuery = PluginTest;

// The query reads the preferences that choose the image, with their
// defaults (an absent face is told from face 0), before it plans.
const char *const imagePreferences[] = {"DDS:MipLevel", "DDS:Element", "DDS:Face", "DDS:Slice",
                                        "DDS:CubeCross", "DDS:Exposure", "DDS:HdrSrgb"};
const intptr_t preferenceDefaults[] = {0, 0, INT32_MIN, 0, 0, 0, 0};
constexpr int PreferenceReads = 7;

// The query's calls: the preference reads, then `setters` of the setters.
std::vector<std::string> queryCalls(size_t setters) {
    std::vector<std::string> calls(PreferenceReads, "qvModelingPrefGetInteger");
    const char *const all[] = {"qvSetTextureWidth", "qvSetTextureHeight", "qvSetTextureType",
                               "qvSetTextureSampleSize", "qvSetTextureTiledFlag"};
    calls.insert(calls.end(), all, all + setters);
    return calls;
}

std::vector<uint8_t> dxt1Block(uint16_t color0, uint16_t color1) {
    std::vector<uint8_t> block;
    put16(block, color0);
    put16(block, color1);
    put32(block, 0x1B1B1B1B);
    return block;
}

std::vector<uint8_t> repeat(const std::vector<uint8_t> &unit, size_t times) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < times; ++i) bytes.insert(bytes.end(), unit.begin(), unit.end());
    return bytes;
}

DdsFields withPixelFlags(DdsFields fields, uint32_t pixelFlags) {
    fields.pixelFlags = pixelFlags;
    return fields;
}

DdsFields withFlags(DdsFields fields, uint32_t flags, uint32_t linearSize = 0, int32_t mips = 0) {
    fields.flags |= flags;
    fields.pitchOrLinearSize = linearSize;
    fields.mipMapCount = mips;
    return fields;
}

struct InfoCase {
    const char *name;
    std::vector<uint8_t> file;
    DdsRefusal reason;
    int width, height, type;  // type -1: not checked
};

std::vector<InfoCase> infoCases() {
    const DdsFields rgba32 = maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 10, 10, 0x41);
    const DdsFields rgb565 = maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 6, 3, 0x40);
    return {
        {"DXT1 256x128 four-colour", ddsFile(dxtFields("DXT1", 256, 128), repeat(dxt1Block(0xF800, 0x001F), 2048)),
         DdsRefusal::Accepted, 256, 128, 4},
        {"DXT1 first block three-colour",
         ddsFile(dxtFields("DXT1", 8, 4), repeat(dxt1Block(0x001F, 0xF800), 2)), DdsRefusal::Accepted, 8, 4, 5},
        {"DXT1 equal endpoints", ddsFile(dxtFields("DXT1", 4, 4), dxt1Block(0x1234, 0x1234)), DdsRefusal::Accepted, 4, 4, 5},
        {"DXT3", ddsFile(dxtFields("DXT3", 8, 8), randomBytes(64, 1)), DdsRefusal::Accepted, 8, 8, 5},
        {"DXT5", ddsFile(dxtFields("DXT5", 12, 4), randomBytes(48, 2)), DdsRefusal::Accepted, 12, 4, 5},
        {"DXT5 6x6 holds one block", ddsFile(dxtFields("DXT5", 6, 6), randomBytes(16, 2)), DdsRefusal::Accepted, 6, 6, 5},
        {"32-bit", ddsFile(rgba32, randomBytes(400, 3)), DdsRefusal::Accepted, 10, 10, 5},
        {"16-bit 6x3", ddsFile(rgb565, randomBytes(36, 4)), DdsRefusal::Accepted, 6, 3, 5},
        {"8-bit 1x1", ddsFile(maskFields(8, 0xE0, 0x1C, 0x3, 0, 1, 1, 0x40), {0xFF}), DdsRefusal::Accepted, 1, 1, 5},
        {"24-bit ending at its last pixel",
         ddsFile(maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 5, 3, 0x40), randomBytes(45, 5)), DdsRefusal::Accepted, 5, 3, 5},
        {"fourCC 0, 8-bit: blocks hold every pixel",
         ddsFile(maskFields(8, 0xE0, 0x1C, 0x3, 0, 8, 8, 0x4), randomBytes(64, 6)), DdsRefusal::Accepted, 8, 8, 5},
        {"fourCC 0, 32-bit with a linear size for every pixel",
         ddsFile(withFlags(maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 8, 8, 0x4), 0x80000, 256), randomBytes(256, 6)),
         DdsRefusal::Accepted, 8, 8, 5},
        {"fourCC 0, 32-bit sized as blocks: fewer bytes than pixels",
         ddsFile(maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 8, 8, 0x4), randomBytes(256, 6)), DdsRefusal::LinearSizeTooSmall, 0, 0, 0},
        {"trailing mip levels ignored", ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x20000, 0, 3),
                                                repeat(dxt1Block(0xF800, 0x1F), 3)), DdsRefusal::Accepted, 4, 4, 4},
        {"linear size larger than blocks, present",
         ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x80000, 100), randomBytes(100, 7)), DdsRefusal::Accepted, 4, 4, -1},

        {"DXT2", ddsFile(dxtFields("DXT2", 4, 4), randomBytes(16, 1)), DdsRefusal::Accepted, 4, 4, 5},
        {"luminance 8-bit", ddsFile(maskFields(8, 0xFF, 0, 0, 0, 4, 4, 0x20000), randomBytes(16, 1)), DdsRefusal::Accepted,
         4, 4, 4},
        {"DX10 BC7 5x3", dx10File(98, 5, 3, randomBytes(32, 1)), DdsRefusal::Accepted, 5, 3, 5},
        {"DX10 BC1 four-colour", dx10File(71, 4, 4, dxt1Block(0xF800, 0x001F)), DdsRefusal::Accepted, 4, 4, 4},
        {"DX10 FourCC without its flag", dx10File(withPixelFlags(dxtFields("DX10", 4, 4), 0), Dx10Fields{61}, randomBytes(16, 1)),
         DdsRefusal::Accepted, 4, 4, 4},
        {"DX10 array of 0", dx10File(dxtFields("DX10", 4, 4), {98, 3, 0, 0, 0}, randomBytes(16, 1)), DdsRefusal::Accepted, 4,
         4, 5},
        {"DX10 cube, huge array, one face", dx10File(dxtFields("DX10", 4, 4), {98, 3, 4, 0xFFFFFFFF, 0}, randomBytes(16, 1)),
         DdsRefusal::Accepted, 4, 4, 5},
        {"DX10 linear size ignored", dx10File(withFlags(dxtFields("DX10", 4, 4), 0x80000, 4), Dx10Fields{80}, randomBytes(8, 1)),
         DdsRefusal::Accepted, 4, 4, 4},
        {"DX10 R32G32B32A32 one byte short", dx10File(2, 4, 4, randomBytes(255, 1)), DdsRefusal::LevelTruncated, 0, 0, 0},
        {"ETC1 6x6", ddsFile(dxtFields("ETC1", 6, 6), randomBytes(32, 1)), DdsRefusal::Accepted, 6, 6, 4},
        {"DX10 ASTC 8x8 sRGB 9x3", dx10File(163, 9, 3, randomBytes(32, 1)), DdsRefusal::Accepted, 9, 3, 5},
        {"PVRTC1 2 bpp 1x1", ddsFile(dxtFields("PTC2", 1, 1), randomBytes(32, 1)), DdsRefusal::Accepted, 1, 1, 5},

        // Refused before any setter, each for its reason.
        {"DX10 without its record", ddsFile(dxtFields("DX10", 4, 4), randomBytes(16, 1)), DdsRefusal::Dx10HeaderTruncated, 0, 0,
         0},
        {"DX10 420_OPAQUE", dx10File(106, 4, 4, randomBytes(16, 1)), DdsRefusal::UnsupportedDxgiFormat, 0, 0, 0},
        {"unknown FourCC", ddsFile(dxtFields("ABCD", 4, 4), randomBytes(16, 1)), DdsRefusal::UnsupportedFourCC, 0, 0, 0},
        {"PVRTC1 6x4", ddsFile(dxtFields("PTC4", 6, 4), randomBytes(64, 1)), DdsRefusal::PvrtcNotPowerOfTwo, 0, 0, 0},
        {"4-bit palette", ddsFile(maskFields(4, 0, 0, 0, 0, 4, 4, 0x8), randomBytes(16, 1)), DdsRefusal::SmallPalette, 0, 0, 0},
        {"12-bit", ddsFile(maskFields(12, 0xF00, 0xF0, 0xF, 0, 4, 4, 0x40), randomBytes(64, 1)), DdsRefusal::UnsupportedBitCount, 0, 0, 0},
        {"48-bit", ddsFile(maskFields(48, 0xFF, 0, 0, 0, 4, 4, 0x40), randomBytes(96, 1)), DdsRefusal::UnsupportedBitCount, 0, 0, 0},
        {"bit count 0 with fourCC 0", ddsFile(dxtFields("\0\0\0\0", 4, 4), randomBytes(16, 1)), DdsRefusal::UnsupportedBitCount, 0, 0, 0},
        {"fourCC 0, 32-bit, 6x6: blocks hold less than the pixels",
         ddsFile(maskFields(32, 0xFF, 0, 0, 0, 6, 6, 0x4), randomBytes(144, 1)), DdsRefusal::LinearSizeTooSmall, 0, 0, 0},
        {"width 0", ddsFile(dxtFields("DXT1", 0, 4), randomBytes(8, 1)), DdsRefusal::ZeroDimension, 0, 0, 0},
        {"height 0", ddsFile(maskFields(32, 0xFF, 0, 0, 0, 4, 0, 0x40), {}), DdsRefusal::ZeroDimension, 0, 0, 0},
        {"width above 2^31-1", ddsFile(dxtFields("DXT1", 0x80000000u, 4), randomBytes(64, 1)), DdsRefusal::DimensionTooLarge, 0, 0, 0},
        {"width x height x 4 past 2^31-1",
         ddsFile(dxtFields("DXT1", 32768, 32768), randomBytes(64, 1)), DdsRefusal::ImageTooLarge, 0, 0, 0},
        {"DXT1 2x2 holding its block", ddsFile(dxtFields("DXT1", 2, 2), randomBytes(8, 1)), DdsRefusal::Accepted, 2, 2, -1},
        {"DXT5 1x4097", ddsFile(dxtFields("DXT5", 1, 4097), randomBytes(64, 1)), DdsRefusal::LevelTruncated, 0, 0, 0},
        {"DXT1 3x8 with a linear size of its two blocks", ddsFile(withFlags(dxtFields("DXT1", 3, 8), 0x80000, 16), randomBytes(16, 1)),
         DdsRefusal::Accepted, 3, 8, -1},
        {"linear size below the blocks", ddsFile(withFlags(dxtFields("DXT1", 8, 8), 0x80000, 16), randomBytes(32, 1)),
         DdsRefusal::LinearSizeTooSmall, 0, 0, 0},
        {"linear size beyond the file", ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x80000, 9), randomBytes(8, 1)),
         DdsRefusal::LevelTruncated, 0, 0, 0},
        {"data one byte short", ddsFile(dxtFields("DXT1", 8, 8), randomBytes(31, 1)), DdsRefusal::LevelTruncated, 0, 0, 0},
        {"24-bit one byte short", ddsFile(maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 5, 3, 0x40), randomBytes(44, 5)),
         DdsRefusal::LevelTruncated, 0, 0, 0},
        {"no data", ddsFile(maskFields(32, 0xFF, 0, 0, 0, 16384, 16384, 0x40), {}), DdsRefusal::LevelTruncated, 0, 0, 0},
        {"huge dimensions in a tiny file", ddsFile(maskFields(32, 0xFF, 0, 0, 0, 0xFFFFFF, 4, 0x40), {}), DdsRefusal::LevelTruncated, 0, 0, 0},
        {"mip flag with count 0", ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x20000, 0, 0), randomBytes(8, 1)),
         DdsRefusal::MipCountBelowOne, 0, 0, 0},
        {"mip flag with count -1", ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x20000, 0, -1), randomBytes(8, 1)),
         DdsRefusal::MipCountBelowOne, 0, 0, 0},
        {"header flag 0x200", ddsFile(withFlags(dxtFields("DXT1", 4, 4), 0x200), randomBytes(8, 1)), DdsRefusal::HeaderFlagRefused, 0, 0, 0},
        {"header cut short", [] {
             std::vector<uint8_t> bytes = ddsFile(dxtFields("DXT1", 4, 4), {});
             bytes.resize(100);
             return bytes;
         }(), DdsRefusal::HeaderTruncated, 0, 0, 0},
    };
}

TEST_F(InfoQuery, ReportsOrRefusesEachFile) {
    for (const InfoCase &c : infoCases()) {
        SCOPED_TRACE(c.name);
        DdsPlan plan;
        EXPECT_EQ(ddsPlanImage(ddsMemorySource(c.file.data(), c.file.size()), &plan), c.reason);
        TempFile file(c.file);
        const int handle = openOk(file.path());
        qvhostClearCalls();
        QvImageInfo record{};
        EXPECT_EQ(info(handle, &record), c.reason == DdsRefusal::Accepted ? 0 : -8);
        if (c.reason == DdsRefusal::Accepted) {
            EXPECT_EQ(callNames(), queryCalls(5));
            EXPECT_EQ(record.width, c.width);
            EXPECT_EQ(record.height, c.height);
            if (c.type > 0) {
                EXPECT_EQ(record.type, c.type);
            }
            EXPECT_EQ(record.sampleSize, 8);
            EXPECT_EQ(record.tiled, 0);
            EXPECT_EQ(record.setFields, 31);
        } else {
            EXPECT_EQ(callNames(), queryCalls(0)) << "no setter for a refused file";
            EXPECT_EQ(record.setFields, 0);
        }
        EXPECT_EQ(close(handle), 0);
    }
}

TEST_F(InfoQuery, SetterArgumentsAreTheRecordAndTheValues) {
    TempFile file(ddsFile(dxtFields("DXT1", 256, 128), repeat(dxt1Block(0xF800, 0x001F), 2048)));
    const int handle = openOk(file.path());
    qvhostClearCalls();
    QvImageInfo record{};
    ASSERT_EQ(info(handle, &record), 0);
    const intptr_t values[] = {256, 128, 4, 8, 0};
    ASSERT_EQ(qvhostCallCount(), PreferenceReads + 5);
    QvHostCall call;
    for (int i = 0; i < PreferenceReads; ++i) {
        ASSERT_TRUE(qvhostCallAt(i, &call));
        EXPECT_STREQ(call.text, imagePreferences[i]);
        EXPECT_EQ(call.args[1], preferenceDefaults[i]) << call.text;
    }
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(qvhostCallAt(PreferenceReads + i, &call));
        EXPECT_EQ(call.args[0], reinterpret_cast<intptr_t>(&record));
        EXPECT_EQ(call.args[1], values[i]) << call.name;
    }
}

TEST_F(InfoQuery, InvalidHandlesAreRefusedWithoutSetters) {
    for (int handle : {-1, 20, 25, 0, 19}) {
        qvhostClearCalls();
        QvImageInfo record{};
        EXPECT_EQ(info(handle, &record), -8) << handle;
        EXPECT_EQ(qvhostCallCount(), 0);
    }
}

TEST_F(InfoQuery, AFailingSetterStopsTheRest) {
    TempFile file(ddsFile(dxtFields("DXT5", 8, 8), randomBytes(64, 9)));
    const int handle = openOk(file.path());
    for (int failing = 1; failing <= 5; ++failing) {
        SCOPED_TRACE(failing);
        qvhostReset();
        qvhostFailSetterCall(failing);
        QvImageInfo record{};
        EXPECT_EQ(info(handle, &record), -8);
        EXPECT_EQ(callNames(), queryCalls(static_cast<size_t>(failing)));
        EXPECT_EQ(record.setFields, (1 << (failing - 1)) - 1) << "setters before the failing one keep their values";
    }
    // The file itself is fine: with the host accepting, the query succeeds.
    qvhostReset();
    QvImageInfo record{};
    EXPECT_EQ(info(handle, &record), 0);
}

TEST_F(InfoQuery, QueryAllocatesNothingFromTheHost) {
    TempFile file(ddsFile(dxtFields("DXT1", 1024, 1024), randomBytes(1024 * 1024 / 2, 3)));
    const int handle = openOk(file.path());
    qvhostReset();
    QvImageInfo record{};
    ASSERT_EQ(info(handle, &record), 0);
    EXPECT_EQ(qvhostMallocCalls(), 0);
    EXPECT_EQ(qvhostPeakBytes(), 0);
}

}  // namespace
