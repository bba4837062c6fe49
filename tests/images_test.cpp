// Any image of a file, and a cube map's cross, through the loaded plug-in:
// every image of real and made files with mips, arrays, cube faces and
// volumes, of every family, equals the first image of a file made of that
// image's bytes under a header of its size; a cross holds its faces in
// their cells; HDR values with an exposure and sRGB by the rule, every
// other value as without them; a choice beyond the file takes the nearest
// image; the refusals.  Where the images lie is worked out here, apart from the
// planner.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bc6_7/bc6h.h"
#include "dds_builder.h"
#include "plan.h"
#include "plugin_fixture.h"
#include "qvhost.h"
#include "reference_decoder.h"
#include "source.h"

namespace {

using Images = PluginTest;

// How a level is stored: blocks of blockWidth x blockHeight pixels (1 x 1
// for pixels) of unitBytes; 1-bit rows; 4:2:2 pairs of unitBytes; 4:2:0
// planes of unitBytes samples; PVRTC1's word grid, at least 2 x 2 words.
enum class Stored { Blocks, Bits, Pairs, Planes, WordGrid };
struct Storage {
    Stored kind;
    uint32_t blockWidth, blockHeight, unitBytes;
};
constexpr Storage pixels(uint32_t bytes) { return {Stored::Blocks, 1, 1, bytes}; }
constexpr Storage blocks(uint32_t bytes, uint32_t width = 4, uint32_t height = 4) {
    return {Stored::Blocks, width, height, bytes};
}

uint64_t levelBytes(const Storage &s, uint64_t w, uint64_t h) {
    const uint64_t across = (w + s.blockWidth - 1) / s.blockWidth, down = (h + s.blockHeight - 1) / s.blockHeight;
    switch (s.kind) {
        case Stored::Bits: return (w + 7) / 8 * h;
        case Stored::Pairs: return (w + 1) / 2 * s.unitBytes * h;
        case Stored::Planes: return (w * h + w * h / 2) * s.unitBytes;
        case Stored::WordGrid: return std::max<uint64_t>(across, 2) * std::max<uint64_t>(down, 2) * 8;
        case Stored::Blocks: break;
    }
    return across * down * s.unitBytes;
}

uint32_t side(uint32_t size, uint32_t level) { return std::max(1u, size >> level); }

// What a file holds: elements, the faces each holds (bit f; 1 without a
// cube), levels, the top level's slices; and the bytes before the first
// image (a palette's).
struct Shape {
    uint32_t elements, faces, levels, depth;
    uint32_t prefix = 0;
};

struct FileCase {
    std::string name;
    std::vector<uint8_t> bytes;
    Storage storage;
    Shape shape;
};

uint32_t get32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t{b[at]} | uint32_t{b[at + 1]} << 8 | uint32_t{b[at + 2]} << 16 | uint32_t{b[at + 3]} << 24;
}
void set32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
    for (size_t i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
bool hasDx10(const std::vector<uint8_t> &file) { return get32(file, 84) == fourCC("DX10"); }
size_t dataStart(const FileCase &c) { return (hasDx10(c.bytes) ? 148 : 128) + c.shape.prefix; }

// One image: its place in the file's order and where its bytes lie.
struct Image {
    uint32_t element, face, level, slice, width, height;
    size_t offset, bytes;
};

// Every image, in the order the file stores them.
std::vector<Image> imagesOf(const FileCase &c) {
    std::vector<Image> images;
    const uint32_t width = get32(c.bytes, 16), height = get32(c.bytes, 12);
    size_t offset = dataStart(c);
    for (uint32_t e = 0; e < c.shape.elements; ++e) {
        for (uint32_t f = 0; f < 6; ++f) {
            if ((c.shape.faces >> f & 1) == 0) continue;
            for (uint32_t l = 0; l < c.shape.levels; ++l) {
                const auto bytes = static_cast<size_t>(levelBytes(c.storage, side(width, l), side(height, l)));
                for (uint32_t s = 0; s < side(c.shape.depth, l); ++s, offset += bytes) {
                    images.push_back({e, f, l, s, side(width, l), side(height, l), offset, bytes});
                }
            }
        }
    }
    return images;
}

// A file holding `image` alone: the header at its size, one level, no
// cube, array or volume; the prefix; the image's bytes.
std::vector<uint8_t> fileOfImage(const FileCase &c, const Image &image) {
    const size_t start = dataStart(c);
    std::vector<uint8_t> file(c.bytes.begin(), c.bytes.begin() + static_cast<ptrdiff_t>(start));
    set32(file, 8, get32(file, 8) & ~0x8A0000u);  // no mip count, linear size or depth flags
    set32(file, 12, image.height);
    set32(file, 16, image.width);
    set32(file, 24, 0);   // depth
    set32(file, 28, 0);   // mip count
    set32(file, 112, 0);  // caps2: no cube, no volume
    if (hasDx10(file)) {
        set32(file, 132, 3);  // 2D
        set32(file, 136, get32(file, 136) & ~4u);
        set32(file, 140, 1);
    }
    file.insert(file.end(), c.bytes.begin() + static_cast<ptrdiff_t>(image.offset),
                c.bytes.begin() + static_cast<ptrdiff_t>(image.offset + image.bytes));
    return file;
}

std::vector<uint8_t> readFile(const std::string &name) {
    std::ifstream in(std::string(DDSIMAGE_REALWORLD_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A made file: `header` (and DX10 record) as built, then caps2 and depth,
// and random bytes for every image.
FileCase made(const std::string &name, std::vector<uint8_t> header, Storage storage, Shape shape,
              uint32_t caps2 = 0) {
    FileCase c{name, std::move(header), storage, shape};
    set32(c.bytes, 112, caps2);
    if (shape.depth > 1) set32(c.bytes, 24, shape.depth), set32(c.bytes, 8, get32(c.bytes, 8) | 0x800000);
    if (shape.levels > 1) set32(c.bytes, 28, shape.levels), set32(c.bytes, 8, get32(c.bytes, 8) | 0x20000);
    const std::vector<Image> images = imagesOf(c);
    const size_t end = images.back().offset + images.back().bytes;
    const std::vector<uint8_t> payload = randomBytes(end - c.bytes.size(), static_cast<uint32_t>(name.size()));
    c.bytes.insert(c.bytes.end(), payload.begin(), payload.end());
    return c;
}

std::vector<uint8_t> dx10Header(uint32_t dxgi, uint32_t width, uint32_t height, uint32_t arraySize,
                                uint32_t misc = 0, uint32_t dimension = 3) {
    Dx10Fields dx10;
    dx10.dxgiFormat = dxgi, dx10.arraySize = arraySize, dx10.miscFlag = misc, dx10.dimension = dimension;
    return dx10File(dxtFields("DX10", width, height), dx10, {});
}

std::vector<uint8_t> legacyHeader(DdsFields fields, uint32_t width, uint32_t height) {
    fields.width = width, fields.height = height;
    return ddsFile(fields, {});
}

constexpr uint32_t AllFaces = 0x3F;
constexpr uint32_t CubeCaps = 0xFE00;

// Real files with several images, and a made file of each family.
std::vector<FileCase> fileCases() {
    std::vector<FileCase> cases = {
        {"gli__cube_rgba8_unorm.dds", {}, pixels(4), {2, AllFaces, 1, 1}},
        {"magnum__dxt1-cube-mips.dds", {}, blocks(8), {1, AllFaces, 3, 1}},
        {"magnum__dxt10-bc7-cube-mips.dds", {}, blocks(16), {1, AllFaces, 3, 1}},
        {"magnum__rgba8unorm-cube-mips.dds", {}, blocks(8), {1, AllFaces, 3, 1}},
        {"magnum__dxt10-r16f-cube.dds", {}, pixels(2), {1, AllFaces, 1, 1}},
        {"magnum__dxt10-r8snorm-cube-array.dds", {}, pixels(1), {2, AllFaces, 1, 1}},
        {"magnum__dxt10-rgba8unorm-array.dds", {}, pixels(4), {3, 1, 1, 1}},
        {"magnum__dxt1-3d.dds", {}, blocks(8), {1, 1, 1, 3}},
        {"magnum__dxt10-bc7-3d.dds", {}, blocks(16), {1, 1, 1, 3}},
        {"magnum__rgba8unorm-3d.dds", {}, pixels(4), {1, 1, 1, 3}},
        {"magnum2017__3D_R16G16B16A16_FLOAT.dds", {}, pixels(8), {1, 1, 1, 3}},
        {"magnum2017__2DMips_R16G16_SNORM.dds", {}, pixels(4), {1, 1, 2, 1}},
    };
    for (FileCase &c : cases) c.bytes = readFile(c.name);
    const DdsFields a8r8g8b8 = maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0, 0, 0x41);
    DdsFields p8 = maskFields(8, 0, 0, 0, 0, 0, 0, 0x20);
    cases.push_back(made("DXT1 cube, three faces", legacyHeader(dxtFields("DXT1", 9, 7), 9, 7), blocks(8),
                         {1, 0x2A, 4, 1}, 0x200 | 0x2A << 10));
    cases.push_back(made("BC3 array", dx10Header(77, 13, 6, 2), blocks(16), {2, 1, 4, 1}));
    cases.push_back(made("BC5 array", dx10Header(83, 8, 8, 3), blocks(16), {3, 1, 4, 1}));
    cases.push_back(made("BC6H cube", dx10Header(95, 8, 4, 1, 4), blocks(16), {1, AllFaces, 2, 1}));
    cases.push_back(made("A8R8G8B8 volume", legacyHeader(a8r8g8b8, 6, 5), pixels(4), {1, 1, 3, 4}, 0x200000));
    cases.push_back(made("R16G16B16A16_FLOAT array", dx10Header(10, 5, 3, 2), pixels(8), {2, 1, 3, 1}));
    cases.push_back(made("R8G8B8A8_SNORM cube array", dx10Header(31, 3, 3, 2, 4), pixels(4), {2, AllFaces, 2, 1}));
    cases.push_back(made("R1 array", dx10Header(66, 19, 3, 2), {Stored::Bits, 1, 1, 1}, {2, 1, 3, 1}));
    cases.push_back(made("YUY2 mips", dx10Header(107, 7, 4, 1), {Stored::Pairs, 1, 1, 4}, {1, 1, 3, 1}));
    cases.push_back(made("NV12 mips", dx10Header(103, 8, 4, 2), {Stored::Planes, 1, 1, 1}, {2, 1, 2, 1}));
    cases.push_back(made("P8 mips", legacyHeader(p8, 5, 4), pixels(1), {1, 1, 3, 1, 1024}));
    cases.push_back(made("ETC2 cube", legacyHeader(dxtFields("ETC2", 6, 6), 6, 6), blocks(8), {1, AllFaces, 3, 1},
                         CubeCaps));
    cases.push_back(made("ATC mips", legacyHeader(dxtFields("ATCI", 12, 8), 12, 8), blocks(16), {1, 1, 4, 1}));
    cases.push_back(made("ASTC 6x5 array", dx10Header(146, 13, 11, 2), blocks(16, 6, 5), {2, 1, 4, 1}));
    cases.push_back(made("PVRTC1 4 bpp mips", legacyHeader(dxtFields("PTC4", 16, 8), 16, 8),
                         {Stored::WordGrid, 4, 4, 8}, {1, 1, 5, 1}));
    return cases;
}

using Imported = PluginTest::Imported;

void setChoice(const Image &image, bool cube, int exposure = 0, bool srgb = false) {
    qvhostClearPreferences();
    qvhostSetPreference("KER:FlipDDSImages", 1);
    if (exposure != 0) qvhostSetPreference("DDS:Exposure", exposure);
    if (srgb) qvhostSetPreference("DDS:HdrSrgb", 1);
    qvhostSetPreference("DDS:MipLevel", static_cast<int>(image.level));
    qvhostSetPreference("DDS:Element", static_cast<int>(image.element));
    qvhostSetPreference("DDS:Slice", static_cast<int>(image.slice));
    if (cube) qvhostSetPreference("DDS:Face", static_cast<int>(image.face));
}

// The texture the planner sees in a file.
DdsTexture textureOf(const std::vector<uint8_t> &bytes, DdsRefusal *refusal, const DdsImageChoice &choice = {},
                     DdsImageIndex *image = nullptr) {
    DdsPlan plan;
    *refusal = ddsPlanImage(ddsMemorySource(bytes.data(), bytes.size()), &plan, choice);
    if (image != nullptr) *image = plan.image;
    return plan.texture;
}

// Pixels of an Rgb import as Rgba, alpha 255.
std::vector<uint8_t> asRgba(const Imported &image) {
    if (image.type == 5) return image.pixels;
    std::vector<uint8_t> rgba;
    for (size_t i = 0; i < image.pixels.size(); i += 3) {
        rgba.insert(rgba.end(), image.pixels.begin() + static_cast<ptrdiff_t>(i),
                    image.pixels.begin() + static_cast<ptrdiff_t>(i + 3));
        rgba.push_back(255);
    }
    return rgba;
}

// The rule on the HDR values of an image of half floats (R16_FLOAT grey,
// R16G16B16A16_FLOAT) or BC6H blocks with an exposure and sRGB, as RGBA in
// file order (alpha as without them); empty for a file of other values.
std::vector<uint8_t> exposedImage(const FileCase &c, const Image &image, int exposure, bool srgb) {
    const uint32_t dxgi = hasDx10(c.bytes) ? get32(c.bytes, 128) : 0;
    const uint32_t channels = dxgi == 10 ? 4 : dxgi == 54 ? 1 : 0;
    if (dxgi != 95 && dxgi != 96 && channels == 0) return {};
    std::vector<uint8_t> rgba;
    const uint8_t *data = &c.bytes[image.offset];
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            uint16_t halves[16][3], pixel[4] = {0, 0, 0, 0x3C00};
            if (channels == 0) {
                ddsDecodeBc6hHalves(data + 16 * (y / 4 * ((image.width + 3) / 4) + x / 4), dxgi == 96, halves);
                std::copy_n(halves[y % 4 * 4 + x % 4], 3, pixel);
            }
            for (uint32_t k = 0; k < channels; ++k) {
                const uint8_t *at = data + (size_t{y} * image.width + x) * 2 * channels + 2 * k;
                pixel[k] = static_cast<uint16_t>(at[0] | at[1] << 8);
            }
            if (channels == 1) pixel[1] = pixel[2] = pixel[0];
            for (uint32_t k = 0; k < 4; ++k)
                rgba.push_back(reference::hdrByte(reference::halfValue(pixel[k]), k < 3 ? exposure : 0, k < 3 && srgb));
        }
    }
    return rgba;
}

}  // namespace


TEST_F(Images, EveryImageIsTheFirstImageOfAFileOfItsOwn) {
    const auto import = [this](const std::vector<uint8_t> &bytes) { return importBytes(bytes); };
    for (const FileCase &c : fileCases()) {
        SCOPED_TRACE(c.name);
        DdsRefusal refusal;
        const DdsTexture texture = textureOf(c.bytes, &refusal);
        ASSERT_EQ(refusal, DdsRefusal::Accepted);
        EXPECT_EQ(texture.elements, c.shape.elements);
        EXPECT_EQ(texture.faces, c.shape.faces);
        EXPECT_EQ(texture.levels, c.shape.levels);
        EXPECT_EQ(texture.depth, c.shape.depth);
        const std::vector<Image> images = imagesOf(c);
        ASSERT_LE(images.back().offset + images.back().bytes, c.bytes.size());
        for (const Image &image : images) {
            SCOPED_TRACE(::testing::Message() << "element " << image.element << " face " << image.face << " level "
                                              << image.level << " slice " << image.slice);
            setChoice(image, texture.cube);
            const Imported chosen = import(c.bytes);
            qvhostClearPreferences();
            qvhostSetPreference("KER:FlipDDSImages", 1);
            const Imported alone = import(fileOfImage(c, image));
            ASSERT_EQ(alone.status, 0);
            EXPECT_EQ(chosen.status, 0);
            EXPECT_EQ(chosen.width, static_cast<int>(image.width));
            EXPECT_EQ(chosen.height, static_cast<int>(image.height));
            EXPECT_EQ(chosen.type, alone.type);
            EXPECT_TRUE(chosen.pixels == alone.pixels);
            // 1.5 stops down and sRGB: HDR values within 1 of the rule, every other value as without them.
            setChoice(image, texture.cube, -150, true);
            const Imported exposed = import(c.bytes);
            const std::vector<uint8_t> rule = exposedImage(c, image, -150, true), got = asRgba(exposed);
            const auto withinOne = [](int a, int b) { return std::abs(a - b) <= 1; };
            EXPECT_TRUE(rule.empty() ? exposed.pixels == chosen.pixels
                                     : got.size() == rule.size() && std::equal(got.begin(), got.end(), rule.begin(), withinOne));
        }
    }
}

// The cell of face f, column and row: -X, +Z, +X, -Z across the middle,
// +Y above +Z and -Y below it.
constexpr uint32_t CellColumn[6] = {2, 0, 1, 1, 1, 3};
constexpr uint32_t CellRow[6] = {1, 1, 0, 2, 1, 1};

TEST_F(Images, ACrossHoldsTheFacesInTheirCells) {
    const auto import = [this](const std::vector<uint8_t> &bytes) { return importBytes(bytes); };
    for (const FileCase &c : fileCases()) {
        if ((c.shape.faces & ~1u) == 0) continue;
        SCOPED_TRACE(c.name);
        const uint32_t width = get32(c.bytes, 16), height = get32(c.bytes, 12);
        for (uint32_t element : {0u, c.shape.elements - 1}) {
            for (uint32_t level : {0u, c.shape.levels - 1}) {
                const uint32_t w = side(width, level), h = side(height, level);
                setChoice(Image{element, 0, level, 0, 0, 0, 0, 0}, false, -2000);
                qvhostSetPreference("DDS:CubeCross", 1);
                const Imported cross = import(c.bytes);
                ASSERT_EQ(cross.status, 0);
                ASSERT_EQ(cross.type, 5);
                ASSERT_EQ(cross.width, static_cast<int>(4 * w));
                ASSERT_EQ(cross.height, static_cast<int>(3 * h));
                for (uint32_t face = 0; face < 6; ++face) {
                    std::vector<uint8_t> expected(size_t{w} * h * 4, 0);
                    if (c.shape.faces >> face & 1) {
                        setChoice(Image{element, face, level, 0, 0, 0, 0, 0}, true, -2000);
                        expected = asRgba(import(c.bytes));
                    }
                    for (uint32_t y = 0; y < h; ++y) {
                        const size_t at = ((size_t{CellRow[face]} * h + y) * 4 * w + CellColumn[face] * w) * 4;
                        EXPECT_TRUE(std::equal(expected.begin() + static_cast<ptrdiff_t>(y * w * 4),
                                               expected.begin() + static_cast<ptrdiff_t>((y + 1) * w * 4),
                                               cross.pixels.begin() + static_cast<ptrdiff_t>(at)))
                            << "face " << face << " row " << y;
                    }
                }
                // The host's default row order: the whole cross upside down.
                setChoice(Image{element, 0, level, 0, 0, 0, 0, 0}, false, -2000);
                qvhostSetPreference("DDS:CubeCross", 1);
                qvhostSetPreference("KER:FlipDDSImages", 0);
                const Imported reversed = import(c.bytes);
                const size_t row = size_t{4} * w * 4;
                for (size_t y = 0; y < 3 * h; ++y) {
                    EXPECT_TRUE(std::equal(cross.pixels.begin() + static_cast<ptrdiff_t>(y * row),
                                           cross.pixels.begin() + static_cast<ptrdiff_t>((y + 1) * row),
                                           reversed.pixels.end() - static_cast<ptrdiff_t>((y + 1) * row)));
                }
            }
        }
    }
}

// A choice beyond the file takes the nearest image; a face a legacy cube
// map leaves out is refused; the image must be in the file.
TEST_F(Images, NearestImageAndRefusals) {
    const std::vector<FileCase> cases = fileCases();
    auto file = [&](const char *name) {
        return std::find_if(cases.begin(), cases.end(), [&](const FileCase &c) { return c.name == name; })->bytes;
    };
    const std::vector<uint8_t> cut = [&] {
        std::vector<uint8_t> bytes = file("BC5 array");
        bytes.resize(148 + 64);  // the first 8 x 8 level, then nothing
        return bytes;
    }();
    struct Row {
        std::vector<uint8_t> bytes;
        DdsImageChoice choice;
        DdsRefusal refusal;
        DdsImageIndex image;  // element, face, level, slice
    };
    auto choice = [](int level, int element, int face, int slice) {
        DdsImageChoice c;
        c.level = level, c.element = element, c.face = face, c.slice = slice;
        return c;
    };
    const Row rows[] = {
        {file("magnum__dxt10-bc7-cube-mips.dds"), choice(99, 5, 9, 4), DdsRefusal::Accepted, {0, 5, 2, 0}},
        {file("magnum__dxt10-bc7-cube-mips.dds"), choice(-3, -1, -1, -9), DdsRefusal::Accepted, {0, 0, 0, 0}},
        {file("magnum__dxt10-bc7-cube-mips.dds"), choice(1, 0, ddsAnyFace, 0), DdsRefusal::Accepted, {0, 0, 1, 0}},
        {file("DXT1 cube, three faces"), choice(0, 0, ddsAnyFace, 0), DdsRefusal::Accepted, {0, 1, 0, 0}},
        {file("DXT1 cube, three faces"), choice(2, 0, 7, 0), DdsRefusal::Accepted, {0, 5, 2, 0}},
        {file("DXT1 cube, three faces"), choice(0, 0, 0, 0), DdsRefusal::CubeFaceMissing, {}},
        {file("DXT1 cube, three faces"), choice(0, 0, 4, 0), DdsRefusal::CubeFaceMissing, {}},
        {file("A8R8G8B8 volume"), choice(1, 3, 2, 9), DdsRefusal::Accepted, {0, 0, 1, 1}},
        {file("A8R8G8B8 volume"), choice(9, 0, 0, 9), DdsRefusal::Accepted, {0, 0, 2, 0}},
        {file("R16G16B16A16_FLOAT array"), choice(0, 7, 3, 0), DdsRefusal::Accepted, {1, 0, 0, 0}},
        {cut, choice(0, 0, 0, 0), DdsRefusal::Accepted, {0, 0, 0, 0}},
        {cut, choice(1, 0, 0, 0), DdsRefusal::LevelTruncated, {}},
        {cut, choice(0, 1, 0, 0), DdsRefusal::LevelTruncated, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(::testing::Message() << row.choice.level << " " << row.choice.element << " "
                                          << row.choice.face << " " << row.choice.slice);
        DdsRefusal refusal;
        DdsImageIndex image{};
        textureOf(row.bytes, &refusal, row.choice, &image);
        EXPECT_EQ(refusal, row.refusal);
        if (refusal != DdsRefusal::Accepted) continue;
        EXPECT_EQ(image.element, row.image.element);
        EXPECT_EQ(image.face, row.image.face);
        EXPECT_EQ(image.level, row.image.level);
        EXPECT_EQ(image.slice, row.image.slice);
    }
}
