// The image request through the loaded plug-in: every format and shape
// against the reference decoder, row order by the flip preference, pixels
// outside the whole blocks, refusals that leave the buffer alone, files
// changed since the query, and failing allocations.

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "dds_builder.h"
#include "plan.h"
#include "pvrtc/pvrtc.h"
#include "plugin_fixture.h"
#include "reference_decoder.h"

namespace {

using Delivery = PluginTest;

constexpr char FlipPreference[] = "KER:FlipDDSImages";

struct Texture {
    DdsFields fields;
    std::vector<uint8_t> payload;
    std::vector<uint8_t> file() const { return ddsFile(fields, payload); }
};

enum class FirstBlock { Any, Opaque, FourColour, ThreeColour, EqualEndpoints };

struct FormatCase {
    const char *name;
    DdsFields fields;  // width and height are set per shape
    FirstBlock first;
};

// The fields with the pixel format's normal-map flag.
DdsFields normalMap(DdsFields fields) {
    fields.pixelFlags |= 0x80000000u;
    return fields;
}

// DXT1 files are named by their blocks: opaque has every block in
// four-colour mode (Rgb); late alpha only the first, so that a later
// block's transparent texel makes most of them Rgba; alpha has the first
// in three-colour mode (Rgba), equal has color0 == color1 (Rgba).
std::vector<FormatCase> formats() {
    return {
        {"DXT1 opaque", dxtFields("DXT1", 0, 0), FirstBlock::Opaque},
        {"DXT1 late alpha", dxtFields("DXT1", 0, 0), FirstBlock::FourColour},
        {"DXT1 alpha", dxtFields("DXT1", 0, 0), FirstBlock::ThreeColour},
        {"DXT1 equal", dxtFields("DXT1", 0, 0), FirstBlock::EqualEndpoints},
        {"DXT2", dxtFields("DXT2", 0, 0), FirstBlock::Any},
        {"DXT3", dxtFields("DXT3", 0, 0), FirstBlock::Any},
        {"DXT4", dxtFields("DXT4", 0, 0), FirstBlock::Any},
        {"DXT5", dxtFields("DXT5", 0, 0), FirstBlock::Any},
        {"DXT5 normal map", normalMap(dxtFields("DXT5", 0, 0)), FirstBlock::Any},
        {"A8R8G8B8", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 0, 0x41), FirstBlock::Any},
        {"X8R8G8B8", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 0, 0x40), FirstBlock::Any},
        {"R8G8B8", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 0, 0, 0x40), FirstBlock::Any},
        {"R5G6B5", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 0, 0, 0x40), FirstBlock::Any},
        {"A1R5G5B5", maskFields(16, 0x7C00, 0x03E0, 0x001F, 0x8000, 0, 0, 0x41), FirstBlock::Any},
        {"A4R4G4B4", maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 0, 0, 0x41), FirstBlock::Any},
        {"R3G3B2", maskFields(8, 0xE0, 0x1C, 0x03, 0, 0, 0, 0x40), FirstBlock::Any},
    };
}

FormatCase named(const std::string &name) {
    for (const FormatCase &format : formats()) {
        if (name == format.name) return format;
    }
    ADD_FAILURE() << "no format " << name;
    return formats()[0];
}

bool isBlockFormat(const DdsFields &fields) { return (fields.pixelFlags & 0x4) && fields.fourCC != 0; }

// How a block file stores its level: only the whole blocks, every block
// that touches the image as encoders write them, or every block with a
// linear size that declares only the whole ones.
enum class Layout { WholeBlocks, AllBlocks, AllBlocksShortLinearSize };

Texture makeTexture(const FormatCase &format, uint32_t width, uint32_t height, uint32_t seed,
                    Layout layout = Layout::WholeBlocks) {
    Texture texture{format.fields, {}};
    texture.fields.width = width;
    texture.fields.height = height;
    const size_t blockBytes = format.fields.fourCC == fourCC("DXT1") ? 8u : 16u;
    const size_t wholeBlocks = (width / 4) * (height / 4) * blockBytes;
    const size_t allBlocks = ((width + 3) / 4) * ((height + 3) / 4) * blockBytes;
    size_t size = size_t{width} * height * (format.fields.rgbBitCount / 8);
    if (isBlockFormat(format.fields)) size = layout == Layout::WholeBlocks ? wholeBlocks : allBlocks;
    if (isBlockFormat(format.fields) && layout == Layout::AllBlocksShortLinearSize) {
        texture.fields.flags |= 0x80000;
        texture.fields.pitchOrLinearSize = static_cast<uint32_t>(wholeBlocks);
    }
    texture.payload = randomBytes(size, seed);
    // Endpoints 0x8000 and above against ones below: the first block's
    // mode, or every block's.
    std::vector<uint8_t> &p = texture.payload;
    for (size_t b = 8; format.first == FirstBlock::Opaque && b + 8 <= p.size(); b += 8) {
        p[b + 1] = static_cast<uint8_t>(p[b + 1] | 0x80);
        p[b + 3] = static_cast<uint8_t>(p[b + 3] & 0x7F);
    }
    if (format.first == FirstBlock::Opaque || format.first == FirstBlock::FourColour ||
        format.first == FirstBlock::ThreeColour) {
        const bool four = format.first != FirstBlock::ThreeColour;
        p[1] = static_cast<uint8_t>(four ? p[1] | 0x80 : p[1] & 0x7F);
        p[3] = static_cast<uint8_t>(four ? p[3] & 0x7F : p[3] | 0x80);
    } else if (format.first == FirstBlock::EqualEndpoints) {
        p[2] = p[0];
        p[3] = p[1];
    }
    return texture;
}

size_t bufferBytes(const DdsFields &fields, int type) {
    return size_t{fields.width} * fields.height * (type == reference::Rgb ? 3u : 4u);
}

// Equality of two host buffers, naming the first differing pixel.
testing::AssertionResult sameBuffer(const std::vector<uint8_t> &got, const std::vector<uint8_t> &want,
                                    uint32_t width, size_t pixelBytes) {
    if (got.size() != want.size()) {
        return testing::AssertionFailure() << "sizes " << got.size() << " and " << want.size();
    }
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i] != want[i] && differing++ == 0) first = i;
    }
    if (differing == 0) return testing::AssertionSuccess();
    const size_t pixel = first / pixelBytes;
    return testing::AssertionFailure()
           << differing << " bytes differ; first at buffer pixel (" << pixel % width << ", row "
           << pixel / width << ") channel " << first % pixelBytes << ": got " << int{got[first]} << ", want "
           << int{want[first]};
}

void setPreference(const int *value) {
    qvhostClearPreferences();
    if (value != nullptr) qvhostSetPreference(FlipPreference, *value);
}

struct Shape {
    uint32_t width, height;
};

// A format in a shape, with the layout of its blocks.
struct Variant {
    FormatCase format;
    Shape shape;
    Layout layout;
};

std::vector<Variant> variants() {
    const Shape shapes[] = {{4, 4},   {8, 8}, {4, 8},  {8, 12}, {12, 8}, {5, 7}, {6, 6},
                            {37, 22}, {4, 5}, {13, 4}, {7, 9},  {1, 1},  {3, 5}, {2, 3}};
    std::vector<Variant> all;
    for (const FormatCase &format : formats()) {
        for (const Shape &shape : shapes) {
            const bool blocks = isBlockFormat(format.fields);
            if (blocks && (shape.width < 4 || shape.height < 4)) continue;
            all.push_back({format, shape, Layout::WholeBlocks});
            if (blocks && (shape.width % 4 != 0 || shape.height % 4 != 0)) {
                all.push_back({format, shape, Layout::AllBlocks});
                all.push_back({format, shape, Layout::AllBlocksShortLinearSize});
            }
        }
    }
    return all;
}

// Every format in every shape (and, for block files, every layout), with
// the preference absent, 0, 1, 7 and -1, with and without an information
// query first.  The buffer starts as random bytes, so that pixels outside
// the whole blocks show whether they were kept, zeroed or moved.
TEST_F(Delivery, EveryFormatAndShapeMatchesTheReference) {
    const int zero = 0, one = 1, seven = 7, minusOne = -1;
    const int *preferences[] = {nullptr, &zero, &one, &seven, &minusOne};
    const char *layoutNames[] = {"whole blocks", "all blocks", "all blocks, short linear size"};
    uint32_t seed = 1;
    for (const Variant &v : variants()) {
        const Texture texture = makeTexture(v.format, v.shape.width, v.shape.height, seed++, v.layout);
        const int type = reference::textureType(texture.fields, texture.payload);
        TempFile file(texture.file());
        const int handle = openOk(file.path());
        for (const int *preference : preferences) {
            for (bool query : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << v.format.name << " " << v.shape.width << "x" << v.shape.height << " ("
                             << layoutNames[static_cast<int>(v.layout)] << "), preference "
                             << (preference ? std::to_string(*preference) : "absent")
                             << (query ? ", after a query" : ", no query"));
                if (query) {
                    QvImageInfo record{};
                    ASSERT_EQ(info(handle, &record), 0);
                    EXPECT_EQ(record.type, type);
                }
                setPreference(preference);
                const std::vector<uint8_t> before = randomBytes(bufferBytes(texture.fields, type), seed++);
                std::vector<uint8_t> buffer = before;
                ASSERT_EQ(image(handle, buffer.data()), 0);
                const std::vector<uint8_t> want =
                    reference::image(texture.fields, texture.payload, before, preference ? *preference : 0);
                ASSERT_FALSE(want.empty());
                EXPECT_TRUE(sameBuffer(buffer, want, v.shape.width, type == reference::Rgb ? 3 : 4));
            }
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// Images read in several chunks, one whose single row is larger than a
// chunk, uncompressed images large enough for converter tables, and images
// of a megapixel and more, which decode on several threads unless
// DDSIMAGE_THREADS=1: each case runs both ways.
TEST_F(Delivery, LargeImagesMatchTheReference) {
    struct Case {
        const char *name;
        Variant variant;
    } cases[] = {
        {"DXT5 512x302", {named("DXT5"), {512, 302}, Layout::WholeBlocks}},
        {"DXT3 1021x130, all blocks stored", {named("DXT3"), {1021, 130}, Layout::AllBlocks}},
        {"DXT1 opaque 1024x263", {named("DXT1 opaque"), {1024, 263}, Layout::WholeBlocks}},
        {"A8R8G8B8 301x203", {named("A8R8G8B8"), {301, 203}, Layout::WholeBlocks}},
        {"R8G8B8 row of 50000 pixels", {named("R8G8B8"), {50000, 2}, Layout::WholeBlocks}},
        {"R5G6B5 257x67", {named("R5G6B5"), {257, 67}, Layout::WholeBlocks}},
        {"A1R5G5B5 203x101", {named("A1R5G5B5"), {203, 101}, Layout::WholeBlocks}},
        {"A4R4G4B4 301x61", {named("A4R4G4B4"), {301, 61}, Layout::WholeBlocks}},
        {"R3G3B2 133x45", {named("R3G3B2"), {133, 45}, Layout::WholeBlocks}},
        {"X8R8G8B8 99x77", {named("X8R8G8B8"), {99, 77}, Layout::WholeBlocks}},
        {"DXT1 opaque 1030x1030, all blocks stored", {named("DXT1 opaque"), {1030, 1030}, Layout::AllBlocks}},
        {"DXT4 1030x1030, all blocks stored", {named("DXT4"), {1030, 1030}, Layout::AllBlocks}},
        {"DXT5 2048x514", {named("DXT5"), {2048, 514}, Layout::WholeBlocks}},
        {"A8R8G8B8 1024x1025", {named("A8R8G8B8"), {1024, 1025}, Layout::WholeBlocks}},
    };
    for (const char *threads : {"1", "3"})
    for (const Case &c : cases) {
        setDecodeThreads(threads);
        const Shape &shape = c.variant.shape;
        const Texture texture =
            makeTexture(c.variant.format, shape.width, shape.height, 77, c.variant.layout);
        TempFile file(texture.file());
        const int handle = openOk(file.path());
        for (int preference : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.name << ", preference " << preference << ", threads " << threads);
            qvhostSetPreference(FlipPreference, preference);
            const int type = reference::textureType(texture.fields, texture.payload);
            const std::vector<uint8_t> before = randomBytes(bufferBytes(texture.fields, type), 5);
            std::vector<uint8_t> buffer = before;
            ASSERT_EQ(image(handle, buffer.data()), 0);
            EXPECT_TRUE(sameBuffer(buffer,
                                   reference::image(texture.fields, texture.payload, before, preference),
                                   shape.width, type == reference::Rgb ? 3 : 4));
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// A mobile format's image by its plain decoders, assembled here: each
// block decoded on its own and clipped to the image (PVRTC1: the plain
// whole-image decoder on the Morton-ordered level), then packed to
// `pixelBytes` and, for preference 0, flipped.
std::vector<uint8_t> plainImage(BlockFormat format, const std::vector<uint8_t> &level, uint32_t width, uint32_t height,
                                size_t pixelBytes, int preference) {
    std::vector<uint8_t> rgba(size_t{width} * height * 4);
    if (isPvrtc(format)) {
        ddsDecodePvrtcImage(level.data(), width, height, format == BlockFormat::Pvrtc2, rgba.data());
    } else {
        const BlockShape shape = ddsBlockShape(format);
        const uint32_t across = (width + shape.width - 1) / shape.width;
        for (uint32_t y = 0; y < height; y += shape.height) {
            for (uint32_t x = 0; x < width; x += shape.width) {
                uint8_t block[12 * 12 * 4];
                ddsDecodeBlock(format, &level[(size_t{y / shape.height} * across + x / shape.width) * shape.bytes], block,
                               shape.width * 4);
                for (uint32_t r = 0; r < shape.height && y + r < height; ++r)
                    for (uint32_t c = 0; c < shape.width && x + c < width; ++c)
                        std::copy_n(&block[(r * shape.width + c) * 4], 4, &rgba[((size_t{y} + r) * width + x + c) * 4]);
            }
        }
    }
    std::vector<uint8_t> delivered;
    for (uint32_t row = 0; row < height; ++row) {
        const uint32_t y = preference == 0 ? height - 1 - row : row;
        for (uint32_t x = 0; x < width; ++x)
            delivered.insert(delivered.end(), &rgba[(size_t{y} * width + x) * 4], &rgba[(size_t{y} * width + x) * 4] + pixelBytes);
    }
    return delivered;
}

// The mobile formats through the plug-in against their plain decoders:
// blocks that cross the right and bottom edges, blocks up to 12 rows high,
// images smaller than a block, PVRTC1's padded word grids (images narrower
// or lower than two words), and images of a megapixel and more, which
// decode in several chunks on one thread and on three.
TEST_F(Delivery, MobileFormatsMatchTheirPlainDecoders) {
    using B = BlockFormat;
    const struct {
        char code[5];  // the FourCC, or "" for the DX10 record's `dxgi`
        uint32_t dxgi;
        BlockFormat blocks;
        uint32_t width, height;
        int type;
    } cases[] = {
        {"ETC1", 0, B::Etc2Rgb, 37, 22, 4},          {"ETCP", 0, B::Etc2PunchThrough, 5, 3, 5},
        {"ET2A", 0, B::Etc2Rgba, 1, 1, 5},           {"EAC1", 0, B::EacR11, 9, 4, 4},
        {"EARG", 0, B::EacRg11, 6, 10, 4},           {"ATC ", 0, B::AtcRgb, 13, 7, 4},
        {"ATCA", 0, B::AtcExplicitAlpha, 3, 9, 5},   {"ATCI", 0, B::AtcInterpolatedAlpha, 1030, 1030, 5},
        {"", 134, B::Astc4x4, 9, 9, 5},              {"AS<:", 0, B::Astc12x10, 25, 13, 5},
        {"AS85", 0, B::Astc8x5, 8, 5, 5},            {"", 187, B::Astc12x12, 1, 1, 5},
        {"", 146, B::Astc6x5, 1030, 1030, 5},        {"PTC4", 0, B::Pvrtc4, 1, 1, 5},
        {"PVR4", 0, B::Pvrtc4, 8, 2, 5},             {"PTC4", 0, B::Pvrtc4, 1, 64, 5},
        {"PTC2", 0, B::Pvrtc2, 16, 1, 5},            {"PVR2", 0, B::Pvrtc2, 256, 64, 5},
        {"PTC2", 0, B::Pvrtc2, 4, 8, 5},             {"PTC4", 0, B::Pvrtc4, 1024, 1024, 5},
    };
    for (const auto &c : cases) {
        const std::vector<uint8_t> level = mobileLevel(c.blocks, c.width, c.height, c.width * 7 + c.height);
        TempFile file(c.dxgi != 0 ? dx10File(c.dxgi, c.width, c.height, level)
                                  : ddsFile(dxtFields(c.code, c.width, c.height), level));
        const size_t pixelBytes = c.type == 4 ? 3 : 4;
        const std::vector<uint8_t> expected[2] = {plainImage(c.blocks, level, c.width, c.height, pixelBytes, 0),
                                                  plainImage(c.blocks, level, c.width, c.height, pixelBytes, 1)};
        const int handle = openOk(file.path());
        QvImageInfo record{};
        ASSERT_EQ(info(handle, &record), 0) << c.code << c.dxgi;
        EXPECT_EQ(record.type, c.type) << c.code << c.dxgi;
        for (const char *threads : {"1", "3"}) {
            setDecodeThreads(threads);
            for (int preference : {0, 1}) {
                SCOPED_TRACE(testing::Message() << c.code << c.dxgi << " " << c.width << "x" << c.height << ", preference "
                                                << preference << ", threads " << threads);
                qvhostSetPreference(FlipPreference, preference);
                std::vector<uint8_t> buffer = randomBytes(size_t{c.width} * c.height * pixelBytes, 3);
                ASSERT_EQ(image(handle, buffer.data()), 0);
                EXPECT_TRUE(sameBuffer(buffer, expected[preference], c.width, pixelBytes));
            }
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// The kernel follows the header: an Rgba image whose DX10 alpha mode is 2
// undoes the premultiplication (as DXT2 and DXT4), other modes do not;
// DXT5, BC3 and BC5 under the normal-map flag hold a normal, under a
// legacy header or the DX10 record, unless the alpha mode is 2.
TEST_F(Delivery, KernelFollowsTheAlphaModeAndTheNormalMapFlag) {
    struct Case {
        const char *name;
        DdsFields fields;
        bool dx10;
        Dx10Fields record;
    } cases[] = {
        {"BC2 premultiplied", dxtFields("DX10", 10, 6), true, {74, 3, 0, 1, 2}},
        {"BC2 straight", dxtFields("DX10", 10, 6), true, {74, 3, 0, 1, 1}},
        {"BC3 premultiplied", dxtFields("DX10", 10, 6), true, {77, 3, 0, 1, 2}},
        {"BC3 opaque mode", dxtFields("DX10", 10, 6), true, {77, 3, 0, 1, 3}},
        {"B8G8R8A8 premultiplied", dxtFields("DX10", 10, 6), true, {87, 3, 0, 1, 2}},
        {"extended range premultiplied", dxtFields("DX10", 10, 6), true, {89, 3, 0, 1, 2}},
        {"BC5", dxtFields("DX10", 10, 6), true, {83, 3, 0, 1, 0}},
        {"BC5 normal map", normalMap(dxtFields("DX10", 10, 6)), true, {83, 3, 0, 1, 0}},
        {"ATI2 normal map", normalMap(dxtFields("ATI2", 10, 6)), false, {}},
        {"DXT5 normal map", normalMap(dxtFields("DXT5", 10, 6)), false, {}},
        {"BC3 normal map", normalMap(dxtFields("DX10", 10, 6)), true, {77, 3, 0, 1, 0}},
        {"BC3 premultiplied, normal-map flag", normalMap(dxtFields("DX10", 10, 6)), true, {77, 3, 0, 1, 2}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> payload = randomBytes(10 * 6 * 4, 31);
        TempFile file(c.dx10 ? dx10File(c.fields, c.record, payload) : ddsFile(c.fields, payload));
        const int handle = openOk(file.path());
        int type = 0;
        const std::vector<uint8_t> before = randomBytes(10 * 6 * 4, 32);
        const std::vector<uint8_t> want =
            reference::image(c.fields, payload, before, 0, &type, c.dx10 ? &c.record : nullptr);
        ASSERT_FALSE(want.empty());
        QvImageInfo record{};
        ASSERT_EQ(info(handle, &record), 0);
        ASSERT_EQ(record.type, type);  // else the image would not fit the buffer
        std::vector<uint8_t> buffer(before.begin(), before.begin() + static_cast<std::ptrdiff_t>(want.size()));
        ASSERT_EQ(image(handle, buffer.data()), 0);
        EXPECT_TRUE(sameBuffer(buffer, want, 10, type == reference::Rgb ? 3 : 4));
        EXPECT_EQ(close(handle), 0);
    }
}

// Two host threads import at once, each its own files, opening, querying,
// reading and closing handles side by side (ThreadSanitizer watches the
// sanitize presets' runs for races); every image equals its import alone.
TEST_F(Delivery, TwoHostThreadsImportAtOnce) {
    const Texture textures[] = {makeTexture(named("DXT5"), 1024, 1024, 3),
                                makeTexture(named("A8R8G8B8"), 640, 480, 4)};
    std::vector<std::unique_ptr<TempFile>> files;
    std::vector<std::vector<uint8_t>> alone;
    for (const Texture &texture : textures) {
        files.push_back(std::make_unique<TempFile>(texture.file()));
        alone.push_back(reference::image(texture.fields, texture.payload,
                                         std::vector<uint8_t>(bufferBytes(texture.fields, reference::Rgba)), 0));
    }
    std::vector<int> failures(2, 0);
    auto importRepeatedly = [&](size_t which) {
        const Texture &texture = textures[which];
        for (int round = 0; round < 4; ++round) {
            int handle = -1;
            QvImageInfo record{};
            std::vector<uint8_t> pixels(bufferBytes(texture.fields, reference::Rgba));
            const bool ok = importer().open(nullptr, nullptr, files[which]->path().c_str(), "r", &handle) == 0 &&
                            importer().info(nullptr, nullptr, handle, &record) == 0 &&
                            importer().image(nullptr, nullptr, handle, nullptr, pixels.data()) == 0;
            if (handle >= 0) importer().close(nullptr, nullptr, handle);
            if (!ok || pixels != alone[which]) ++failures[which];
        }
    };
    std::thread other(importRepeatedly, size_t{1});
    importRepeatedly(0);
    other.join();
    EXPECT_EQ(failures, std::vector<int>(2, 0));
}

using RowColour = std::vector<uint8_t> (*)(uint32_t fileRow);

// File row y of the 32-bit file below: (y, 10 y, 255 - y, 128).
std::vector<uint8_t> uncompressedRow(uint32_t y) {
    return {static_cast<uint8_t>(y), static_cast<uint8_t>(10 * y), static_cast<uint8_t>(255 - y), 128};
}

// The DXT5 file below: block row 0 red, block row 1 blue, alpha 255.
std::vector<uint8_t> blockRow(uint32_t y) {
    return y < 4 ? std::vector<uint8_t>{255, 0, 0, 255} : std::vector<uint8_t>{0, 0, 255, 255};
}

// Two 4x8 Rgba files whose rows are single colours, so that the order can
// be read off the buffer without any decoder: buffer row 0 holds file row
// 7 unless the preference is set to a non-zero value.
TEST_F(Delivery, PreferenceSetsTheRowOrder) {
    const int zero = 0, one = 1, seven = 7, minusOne = -1;
    struct Case {
        const char *name;
        const int *preference;
        bool fileOrder;
    } cases[] = {
        {"absent", nullptr, false}, {"0", &zero, false},     {"1", &one, true},
        {"7", &seven, true},        {"-1", &minusOne, true},
    };
    std::vector<uint8_t> pixels;
    for (uint32_t y = 0; y < 8; ++y) {
        for (int x = 0; x < 4; ++x) put32(pixels, 0x80000000u | (255 - y) | (10 * y) << 8 | y << 16);
    }
    std::vector<uint8_t> blocks;
    for (uint32_t color : {0xF800u, 0x001Fu}) {
        put16(blocks, 0x80FF);  // alpha0 255, alpha1 128, every index 0
        put16(blocks, 0);
        put32(blocks, 0);
        put16(blocks, color);  // equal endpoints, every index 0
        put16(blocks, color);
        put32(blocks, 0);
    }
    const struct {
        const char *name;
        Texture texture;
        RowColour colour;
    } files[] = {
        {"A8R8G8B8",
         {maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 4, 8, 0x41), pixels},
         uncompressedRow},
        {"DXT5", {dxtFields("DXT5", 4, 8), blocks}, blockRow},
    };
    for (const auto &f : files) {
        TempFile file(f.texture.file());
        const int handle = openOk(file.path());
        for (const Case &c : cases) {
            SCOPED_TRACE(testing::Message() << f.name << ", preference " << c.name);
            setPreference(c.preference);
            std::vector<uint8_t> buffer(4 * 8 * 4, 0);
            ASSERT_EQ(image(handle, buffer.data()), 0);
            for (uint32_t row = 0; row < 8; ++row) {
                const std::vector<uint8_t> want = f.colour(c.fileOrder ? row : 7 - row);
                for (uint32_t x = 0; x < 4; ++x) {
                    const auto pixel = buffer.begin() + static_cast<std::ptrdiff_t>(16 * row + 4 * x);
                    EXPECT_EQ(std::vector<uint8_t>(pixel, pixel + 4), want)
                        << "buffer row " << row << " pixel " << x;
                }
            }
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// A 5x6 image holds one whole block: file rows 0-3, columns 0-3.  Every
// other pixel is kept (Rgba, moved with the flip) or zero (Rgb).  Worked
// out pixel by pixel from the rule, without the reference decoder.
TEST_F(Delivery, PixelsOutsideTheBlocks) {
    std::vector<uint8_t> dxt1Block, dxt5Block = {200, 200, 0, 0, 0, 0, 0, 0};
    put16(dxt1Block, 0xF800);  // four-colour: Rgb
    put16(dxt1Block, 0x001F);
    put32(dxt1Block, 0);
    put16(dxt5Block, 0x07E0);
    put16(dxt5Block, 0x07E0);
    put32(dxt5Block, 0);
    struct Case {
        const char *name;
        Texture texture;
        size_t pixelBytes;
        std::vector<uint8_t> solid;
    } cases[] = {
        {"DXT1 Rgb", {dxtFields("DXT1", 5, 6), dxt1Block}, 3, {255, 0, 0}},
        {"DXT5 Rgba", {dxtFields("DXT5", 5, 6), dxt5Block}, 4, {0, 255, 0, 200}},
    };
    for (const Case &c : cases) {
        TempFile file(c.texture.file());
        const int handle = openOk(file.path());
        for (int preference : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.name << ", preference " << preference);
            qvhostSetPreference(FlipPreference, preference);
            const std::vector<uint8_t> before = randomBytes(5 * 6 * c.pixelBytes, 99);
            std::vector<uint8_t> buffer = before;
            ASSERT_EQ(image(handle, buffer.data()), 0);
            for (size_t row = 0; row < 6; ++row) {
                const size_t fileRow = preference != 0 ? row : 5 - row;
                for (size_t x = 0; x < 5; ++x) {
                    for (size_t ch = 0; ch < c.pixelBytes; ++ch) {
                        uint8_t want = 0;
                        if (x < 4 && fileRow < 4) {
                            want = c.solid[ch];
                        } else if (c.pixelBytes == 4) {
                            want = before[(fileRow * 5 + x) * 4 + ch];  // where the whole flip puts it
                        }
                        EXPECT_EQ(buffer[(row * 5 + x) * c.pixelBytes + ch], want)
                            << "buffer row " << row << " pixel " << x << " channel " << ch;
                    }
                }
            }
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// The preference is read first on every request, also when the handle is
// bad, with the default 0; a request on a handle that no query planned then
// reads the preferences that choose the image.
TEST_F(Delivery, PreferenceIsReadOnEveryRequest) {
    const Texture texture = makeTexture(named("DXT5"), 8, 8, 3);
    TempFile file(texture.file());
    const int handle = openOk(file.path());
    std::vector<uint8_t> buffer(8 * 8 * 4);
    for (int request : {handle, handle, -1, 20, 7, handle}) {
        SCOPED_TRACE(request);
        qvhostClearCalls();
        image(request, buffer.data());
        ASSERT_EQ(qvhostCallCount(), request == handle ? 8 : 1);
        QvHostCall call;
        ASSERT_TRUE(qvhostCallAt(0, &call));
        EXPECT_STREQ(call.name, "qvModelingPrefGetInteger");
        EXPECT_STREQ(call.text, FlipPreference);
        EXPECT_EQ(call.args[1], 0) << "default value";
    }
    // A changed preference takes effect at the next request on the same handle.
    for (int preference : {1, 0, 1}) {
        qvhostSetPreference(FlipPreference, preference);
        const std::vector<uint8_t> before = buffer;
        ASSERT_EQ(image(handle, buffer.data()), 0);
        EXPECT_EQ(buffer, reference::image(texture.fields, texture.payload, before, preference))
            << preference;
    }
    EXPECT_EQ(close(handle), 0);
}

TEST_F(Delivery, InvalidHandlesLeaveTheBufferAlone) {
    TempFile file(makeTexture(named("DXT1 opaque"), 8, 8, 4).file());
    const int closed = openOk(file.path());
    const int open = openOk(file.path());
    ASSERT_EQ(close(closed), 0);
    for (int handle : {closed, open + 1, 19, 20, 21, -1, 1000, INT_MIN, INT_MAX}) {
        SCOPED_TRACE(handle);
        const std::vector<uint8_t> before = randomBytes(8 * 8 * 3, 6);
        std::vector<uint8_t> buffer = before;
        EXPECT_EQ(image(handle, buffer.data()), -8);
        EXPECT_EQ(buffer, before);
    }
    EXPECT_EQ(close(open), 0);
}

// The fixture closes at tear-down every handle a test left open, so that
// the next test starts with all twenty slots free.  Three handles left
// open must all be free again after its TearDown.
TEST_F(Delivery, FixtureClosesEveryHandleLeftOpen) {
    TempFile file(makeTexture(named("DXT5"), 4, 4, 1).file());
    std::vector<int> left;
    for (int i = 0; i < 3; ++i) left.push_back(openOk(file.path()));
    PluginTest::TearDown();
    std::vector<int> reopened;
    for (int i = 0; i < 3; ++i) reopened.push_back(openOk(file.path()));
    EXPECT_EQ(reopened, left) << "a handle left open by the test is still open after its tear-down";
    // Whatever stayed open must not reach the other tests.
    for (int handle = 0; handle < 20; ++handle) importer().close(nullptr, nullptr, handle);
}

std::vector<uint8_t> withLinearSize(DdsFields fields, uint32_t size, const std::vector<uint8_t> &payload) {
    fields.flags |= 0x80000;
    fields.pitchOrLinearSize = size;
    return ddsFile(fields, payload);
}

struct NamedFile {
    const char *name;
    std::vector<uint8_t> bytes;
    DdsRefusal reason;
};

std::vector<NamedFile> refusedFiles() {
    DdsFields mipCountZero = dxtFields("DXT1", 4, 4);
    mipCountZero.flags |= 0x20000;
    DdsFields refusedFlag = dxtFields("DXT1", 4, 4);
    refusedFlag.flags |= 0x200;
    std::vector<uint8_t> cutShort = ddsFile(dxtFields("DXT1", 4, 4), {});
    cutShort.resize(100);
    return {
        {"unknown FourCC", ddsFile(dxtFields("ABCD", 4, 4), randomBytes(16, 1)), DdsRefusal::UnsupportedFourCC},
        {"DX10 without its record", ddsFile(dxtFields("DX10", 4, 4), randomBytes(16, 1)), DdsRefusal::Dx10HeaderTruncated},
        {"DX10 420_OPAQUE", dx10File(106, 4, 4, randomBytes(16, 1)), DdsRefusal::UnsupportedDxgiFormat},
        {"12-bit", ddsFile(maskFields(12, 0xF00, 0xF0, 0xF, 0, 4, 4, 0x40), randomBytes(64, 1)), DdsRefusal::UnsupportedBitCount},
        {"4-bit palette", ddsFile(maskFields(4, 0, 0, 0, 0, 4, 4, 0x8), randomBytes(16, 1)), DdsRefusal::SmallPalette},
        {"width 0", ddsFile(dxtFields("DXT1", 0, 4), randomBytes(8, 1)), DdsRefusal::ZeroDimension},
        {"DXT1 2x2 holding 7 bytes", ddsFile(dxtFields("DXT1", 2, 2), randomBytes(7, 1)), DdsRefusal::LevelTruncated},
        {"DXT1 2x2 linear size 4", withLinearSize(dxtFields("DXT1", 2, 2), 4, randomBytes(8, 1)), DdsRefusal::NoWholeBlock},
        {"DXT5 3x8 linear size 16", withLinearSize(dxtFields("DXT5", 3, 8), 16, randomBytes(64, 1)), DdsRefusal::NoWholeBlock},
        {"DXT1 data one byte short", ddsFile(dxtFields("DXT1", 8, 8), randomBytes(31, 1)), DdsRefusal::LevelTruncated},
        {"24-bit data one byte short",
         ddsFile(maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 5, 3, 0x40), randomBytes(44, 5)), DdsRefusal::LevelTruncated},
        {"linear size below the blocks", withLinearSize(dxtFields("DXT1", 8, 8), 16, randomBytes(32, 1)),
         DdsRefusal::LinearSizeTooSmall},
        {"linear size beyond the file", withLinearSize(dxtFields("DXT1", 4, 4), 9, randomBytes(8, 1)), DdsRefusal::LevelTruncated},
        {"fourCC 0, 32-bit, 6x6", ddsFile(maskFields(32, 0xFF, 0, 0, 0, 6, 6, 0x4), randomBytes(144, 1)),
         DdsRefusal::LinearSizeTooSmall},
        {"mip flag with count 0", ddsFile(mipCountZero, randomBytes(8, 1)), DdsRefusal::MipCountBelowOne},
        {"header flag 0x200", ddsFile(refusedFlag, randomBytes(8, 1)), DdsRefusal::HeaderFlagRefused},
        {"header cut short", cutShort, DdsRefusal::HeaderTruncated},
    };
}

TEST_F(Delivery, RefusedFilesLeaveTheBufferAlone) {
    for (const NamedFile &refused : refusedFiles()) {
        DdsPlan plan;
        EXPECT_EQ(ddsPlanImage(ddsMemorySource(refused.bytes.data(), refused.bytes.size()), &plan), refused.reason)
            << refused.name;
        TempFile file(refused.bytes);
        const int handle = openOk(file.path());
        for (bool query : {false, true}) {
            SCOPED_TRACE(testing::Message() << refused.name << (query ? ", after the query" : ", no query"));
            if (query) {
                QvImageInfo record{};
                EXPECT_EQ(info(handle, &record), -8);
            }
            const std::vector<uint8_t> before = randomBytes(256, 8);
            std::vector<uint8_t> buffer = before;
            EXPECT_EQ(image(handle, buffer.data()), -8);
            EXPECT_EQ(buffer, before);
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// A file rewritten between the query and the image request.
TEST_F(Delivery, FileChangedSinceTheQuery) {
    struct Case {
        const char *name;
        Texture before, after;
        bool query;
        int status;
    } cases[] = {
        {"other height", makeTexture(named("DXT5"), 8, 8, 1), makeTexture(named("DXT5"), 8, 4, 2), true, -8},
        {"other width", makeTexture(named("A8R8G8B8"), 6, 6, 1), makeTexture(named("A8R8G8B8"), 7, 6, 2),
         true, -8},
        {"same pixel count, other shape", makeTexture(named("DXT5"), 8, 8, 1),
         makeTexture(named("DXT5"), 4, 16, 2), true, -8},
        {"Rgb to Rgba: first block turns three-colour", makeTexture(named("DXT1 opaque"), 8, 8, 1),
         makeTexture(named("DXT1 alpha"), 8, 8, 2), true, -8},
        {"Rgba to Rgb: first block turns four-colour", makeTexture(named("DXT1 alpha"), 8, 8, 1),
         makeTexture(named("DXT1 opaque"), 8, 8, 2), true, -8},
        {"Rgb to Rgba: a later block's texel turns transparent", makeTexture(named("DXT1 opaque"), 16, 16, 1),
         makeTexture(named("DXT1 late alpha"), 16, 16, 2), true, -8},
        {"Rgba to Rgb: the later blocks' transparent texels go", makeTexture(named("DXT1 late alpha"), 16, 16, 1),
         makeTexture(named("DXT1 opaque"), 16, 16, 2), true, -8},
        {"Rgb to DXT5 Rgba", makeTexture(named("DXT1 opaque"), 8, 8, 1), makeTexture(named("DXT5"), 8, 8, 2),
         true, -8},
        {"now refused",
         makeTexture(named("DXT5"), 8, 8, 1),
         {dxtFields("ABCD", 8, 8), randomBytes(64, 2)},
         true,
         -8},
        {"same size, new pixels", makeTexture(named("DXT3"), 8, 8, 1), makeTexture(named("DXT3"), 8, 8, 2),
         true, 0},
        {"same size, DXT1 Rgba to DXT5", makeTexture(named("DXT1 alpha"), 12, 8, 1),
         makeTexture(named("DXT5"), 12, 8, 2), true, 0},
        {"same size, 32-bit to 5:6:5", makeTexture(named("A8R8G8B8"), 6, 5, 1),
         makeTexture(named("R5G6B5"), 6, 5, 2), true, 0},
        {"same size, Rgb stays Rgb", makeTexture(named("DXT1 opaque"), 5, 7, 1),
         makeTexture(named("DXT1 opaque"), 5, 7, 2), true, 0},
        {"other size without a query", makeTexture(named("DXT5"), 8, 8, 1),
         makeTexture(named("DXT5"), 12, 4, 2), false, 0},
        {"refused at the query, fine now",
         {dxtFields("ABCD", 8, 8), randomBytes(64, 2)},
         makeTexture(named("DXT5"), 8, 8, 2),
         true,
         0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TempFile file(c.before.file());
        const int handle = openOk(file.path());
        if (c.query) {
            QvImageInfo record{};
            const bool refused = reference::formatOf(c.before.fields) == reference::Format::None;
            EXPECT_EQ(info(handle, &record), refused ? -8 : 0);
        }
        file.rewrite(c.after.file());
        const int type = reference::textureType(c.after.fields, c.after.payload);
        const std::vector<uint8_t> before = randomBytes(bufferBytes(c.after.fields, type), 11);
        std::vector<uint8_t> buffer = before;
        EXPECT_EQ(image(handle, buffer.data()), c.status);
        if (c.status == 0) {
            EXPECT_TRUE(sameBuffer(buffer, reference::image(c.after.fields, c.after.payload, before, 0),
                                   c.after.fields.width, type == reference::Rgb ? 3 : 4));
        } else {
            EXPECT_EQ(buffer, before);
        }
        EXPECT_EQ(close(handle), 0);
    }
}

// What a query told the host belongs to its handle: a new file in the same
// slot is measured afresh.
TEST_F(Delivery, QueryOfAClosedFileDoesNotCarryOver) {
    const Texture first = makeTexture(named("DXT5"), 8, 8, 1);
    const Texture second = makeTexture(named("DXT1 opaque"), 4, 12, 2);
    TempFile firstFile(first.file()), secondFile(second.file());
    const int handle = openOk(firstFile.path());
    QvImageInfo record{};
    ASSERT_EQ(info(handle, &record), 0);
    ASSERT_EQ(close(handle), 0);
    ASSERT_EQ(openOk(secondFile.path()), handle);
    const std::vector<uint8_t> before = randomBytes(4 * 12 * 3, 12);
    std::vector<uint8_t> buffer = before;
    ASSERT_EQ(image(handle, buffer.data()), 0);
    EXPECT_TRUE(sameBuffer(buffer, reference::image(second.fields, second.payload, before, 0), 4, 3));
    EXPECT_EQ(close(handle), 0);
}

// For N = 1, 2, ... the Nth host allocation fails until a request gets
// through: every failing request says -8, releases what it took, and the
// next one still delivers the right image.
TEST_F(Delivery, AllocationFailures) {
    const Texture textures[] = {makeTexture(named("DXT1 opaque"), 37, 22, 1),
                                makeTexture(named("DXT5"), 6, 6, 2), makeTexture(named("A8R8G8B8"), 5, 7, 3),
                                makeTexture(named("A8R8G8B8"), 256, 160, 4),
                                makeTexture(named("R8G8B8"), 50000, 2, 5)};
    for (const Texture &texture : textures) {
        TempFile file(texture.file());
        const int handle = openOk(file.path());
        QvImageInfo record{};
        ASSERT_EQ(info(handle, &record), 0);
        const int type = reference::textureType(texture.fields, texture.payload);
        bool delivered = false;
        for (int n = 1; n <= 32 && !delivered; ++n) {
            SCOPED_TRACE(testing::Message()
                         << texture.fields.width << "x" << texture.fields.height << ", failing call " << n);
            const std::vector<uint8_t> before =
                randomBytes(bufferBytes(texture.fields, type), static_cast<uint32_t>(n));
            std::vector<uint8_t> buffer = before;
            const int callsBefore = qvhostMallocCalls();
            qvhostFailMallocCall(n);
            const int status = image(handle, buffer.data());
            qvhostFailMallocCall(0);
            const int calls = qvhostMallocCalls() - callsBefore;
            EXPECT_EQ(qvhostLiveAllocations(), 0);
            if (calls >= n) {
                EXPECT_EQ(status, -8) << "the failed allocation went unnoticed";
            } else {
                ASSERT_EQ(status, 0);
                EXPECT_TRUE(sameBuffer(buffer, reference::image(texture.fields, texture.payload, before, 0),
                                       texture.fields.width, type == reference::Rgb ? 3 : 4));
                delivered = true;
            }
        }
        EXPECT_TRUE(delivered);
        EXPECT_EQ(close(handle), 0);
    }
}

}  // namespace
