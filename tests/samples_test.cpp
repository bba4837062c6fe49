// The sample textures in samples/, decoded through the loaded plug-in in
// file order, against the PNGs that ImageMagick (or, for the formats it
// cannot read, Pillow) made of them (tests/reference/) and, for DXT and
// mask formats, against the reference decoder; and the real files
// of tests/realworld/ against their manifest and Pillow's pictures of them.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "dds_builder.h"
#include "plan.h"
#include "plugin_fixture.h"
#include "reference_decoder.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

using Samples = PluginTest;

const std::string sourceDir = DDSIMAGE_SOURCE_DIR;

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t at32(const std::vector<uint8_t> &bytes, size_t offset) {
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

// The header fields the reference decoder needs, from the file's bytes.
DdsFields fieldsOf(const std::vector<uint8_t> &file) {
    DdsFields f;
    f.flags = at32(file, 8);
    f.height = at32(file, 12);
    f.width = at32(file, 16);
    f.pitchOrLinearSize = at32(file, 20);
    f.mipMapCount = static_cast<int32_t>(at32(file, 28));
    f.pixelFlags = at32(file, 80);
    f.fourCC = at32(file, 84);
    f.rgbBitCount = at32(file, 88);
    f.rMask = at32(file, 92);
    f.gMask = at32(file, 96);
    f.bMask = at32(file, 100);
    f.aMask = at32(file, 104);
    return f;
}

// How our pixels may differ from the reference PNG's.
enum class Allowed {
    // Colours within 1 (ImageMagick replicates the 5:6:5 bits and rounds
    // the thirds down, within 1 of the exact mixes), DXT1 and DXT3 alpha
    // equal, DXT5 alpha within 1; the transparent texel of a three-colour
    // block is black and transparent in both.
    Blocks,
    Exact,  // every channel equal
    // Every channel within 1: for 5:6:5 ImageMagick rounds v * 255 / m to
    // the nearest integer (or replicates bits, within 1 of that), we
    // truncate the float product, which lies less than 1 below the exact
    // quotient.  rgb565.dds differs by 1 at worst (measured).  Pillow
    // stores BC6H halves as int(f * 255), truncated, where we round: bc6h.dds
    // is 0 or 1 above it.
    WithinOne,
    NoPicture,  // no PNG: the reference decoder only
};

struct Sample {
    const char *name;
    int type;
    Allowed allowed;
};

const Sample samples[] = {
    {"dxt1_opaque", reference::Rgb, Allowed::Blocks},    {"dxt1_alpha", reference::Rgba, Allowed::Blocks},
    {"dxt3", reference::Rgba, Allowed::Blocks},          {"dxt5", reference::Rgba, Allowed::Blocks},
    {"dxt5_odd_size", reference::Rgba, Allowed::Blocks}, {"rgba32", reference::Rgba, Allowed::Exact},
    {"rgb32", reference::Rgba, Allowed::Exact},          {"rgb24", reference::Rgba, Allowed::Exact},
    {"rgb565", reference::Rgba, Allowed::WithinOne},     {"argb4444", reference::Rgba, Allowed::Exact},
    {"rgb332", reference::Rgba, Allowed::NoPicture},
    {"bc4", reference::Rgb, Allowed::Exact},             {"bc5", reference::Rgb, Allowed::Exact},
    {"bc6h", reference::Rgb, Allowed::WithinOne},        {"bc7", reference::Rgba, Allowed::Exact},
    {"l8", reference::Rgb, Allowed::Exact},              {"rgba16f", reference::Rgba, Allowed::Exact},
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

Picture loadPng(const std::string &path) {
    Picture picture;
    int channels = 0;
    stbi_uc *pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 4);
    if (pixels == nullptr) return picture;
    picture.rgba.assign(
        pixels, pixels + static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height) * 4);
    stbi_image_free(pixels);
    return picture;
}

int distance(uint8_t a, uint8_t b) { return std::abs(int{a} - int{b}); }

// The largest difference of each channel (R, G, B, A) over the compared
// texels, and the transparent three-colour texels, which are not compared.
struct BlockDifference {
    std::array<int, 4> worst{};
    int transparentTexels = 0;
};

// Compares the block texels of our file-order buffer with another
// decoder's picture.  Our decoded block (bx, by) is block k = by * stride +
// bx of the data, the stride as the reference decoder picks it; the picture
// holds block k at (k mod ceil(w/4), k div ceil(w/4)), as the encoders store
// them.  Texels that fall outside it are not compared.  A transparent texel
// must be transparent black in ours and transparent in the picture.
BlockDifference compareBlocks(const DdsFields &fields, const std::vector<uint8_t> &data,
                              const std::vector<uint8_t> &ours, size_t pixelBytes, const Picture &theirs) {
    const reference::Format format = reference::formatOf(fields);
    const size_t blockBytes = format == reference::Format::Dxt1 ? 8 : 16;
    const size_t width = fields.width, height = fields.height;
    const size_t perRow = width / 4, storedPerRow = (width + 3) / 4;
    const size_t stride = reference::blocksPerStoredRow(fields, data.size());
    // A file that holds its partial blocks has every pixel decoded.
    const bool partial = reference::holdsPartialBlocks(fields, data.size());
    const size_t decodedWidth = partial ? width : perRow * 4, decodedHeight = partial ? height : height / 4 * 4;
    BlockDifference difference;
    int compared = 0;
    for (size_t y = 0; y < decodedHeight; ++y) {
        for (size_t x = 0; x < decodedWidth; ++x) {
            const size_t k = (y / 4) * stride + x / 4;
            const uint8_t *block = &data[k * blockBytes];
            const uint8_t *colour = block + blockBytes - 8;
            const bool threeColour =
                format == reference::Format::Dxt1 && (colour[0] | colour[1] << 8) <= (colour[2] | colour[3] << 8);
            const bool transparent = threeColour && ((colour[4 + y % 4] >> (2 * (x % 4))) & 3) == 3;
            const size_t tx = 4 * (k % storedPerRow) + x % 4, ty = 4 * (k / storedPerRow) + y % 4;
            if (tx >= static_cast<size_t>(theirs.width) || ty >= static_cast<size_t>(theirs.height)) continue;
            const uint8_t *p = &ours[(y * width + x) * pixelBytes];
            const uint8_t *q = &theirs.rgba[(ty * static_cast<size_t>(theirs.width) + tx) * 4];
            ++compared;
            if (transparent) {
                ++difference.transparentTexels;
                for (size_t c = 0; c < pixelBytes; ++c) EXPECT_EQ(p[c], 0) << x << "," << y;
                EXPECT_EQ(q[3], 0) << "the picture's transparent texel at " << tx << "," << ty;
                continue;
            }
            for (size_t c = 0; c < pixelBytes; ++c) {
                difference.worst[c] = std::max(difference.worst[c], distance(p[c], q[c]));
            }
        }
    }
    EXPECT_GT(compared, 0);
    return difference;
}

// The largest difference of any channel of our buffer (3 or 4 bytes a
// pixel) from the RGBA picture; -1 when the sizes differ.
int comparePixels(const std::vector<uint8_t> &ours, size_t pixelBytes, const Picture &theirs) {
    if (ours.size() / pixelBytes != theirs.rgba.size() / 4) return -1;
    int worst = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        worst = std::max(worst, distance(ours[i], theirs.rgba[i / pixelBytes * 4 + i % pixelBytes]));
    }
    return worst;
}

// The top level of a BC6H or BC7 file through one tier's kernel, in file
// order, the plan's bytes a pixel: each tier against the picture, not only
// the one the import runs.
std::vector<uint8_t> kernelImage(BlockRowKernel kernel, const std::vector<uint8_t> &file, const DdsPlan &plan) {
    const size_t rowBytes = size_t{plan.blocksPerRow} * 4 * plan.pixelBytes, width = size_t{plan.width} * plan.pixelBytes;
    std::vector<uint8_t> image(width * plan.height), rows(4 * rowBytes);
    uint8_t *const pointers[4] = {&rows[0], &rows[rowBytes], &rows[2 * rowBytes], &rows[3 * rowBytes]};
    for (uint32_t y = 0; y < plan.height; ++y) {
        if (y % 4 == 0) kernel(&file[static_cast<size_t>(plan.dataOffset) + size_t{y / 4} * plan.blocksPerRow * 16], plan.blocksPerRow, pointers);
        std::copy_n(pointers[y % 4], width, &image[y * width]);
    }
    return image;
}

TEST_F(Samples, MatchImageMagickAndTheReference) {
    for (const Sample &sample : samples) {
        SCOPED_TRACE(sample.name);
        const std::string path = sourceDir + "/samples/" + sample.name + ".dds";
        const std::vector<uint8_t> file = readFile(path);
        ASSERT_GT(file.size(), 128u);
        const DdsFields fields = fieldsOf(file);
        const std::vector<uint8_t> data(file.begin() + 128, file.end());

        const int handle = openOk(path);
        QvImageInfo record{};
        ASSERT_EQ(info(handle, &record), 0);
        EXPECT_EQ(record.type, sample.type);
        ASSERT_EQ(record.width, static_cast<int>(fields.width));
        ASSERT_EQ(record.height, static_cast<int>(fields.height));

        const size_t pixelBytes = record.type == reference::Rgb ? 3 : 4;
        const std::vector<uint8_t> before = randomBytes(fields.width * fields.height * pixelBytes, 21);
        std::vector<uint8_t> ours = before;
        qvhostSetPreference("KER:FlipDDSImages", 1);
        ASSERT_EQ(image(handle, ours.data()), 0);
        EXPECT_EQ(close(handle), 0);
        // The reference decoder knows DXT1/DXT3/DXT5 and RGB masks.
        const reference::Format format = reference::formatOf(fields);
        if (format != reference::Format::None) {
            EXPECT_EQ(ours, reference::image(fields, data, before, 1)) << "not the reference decoder's image";
        }

        // Outside the whole blocks of a file without its partial blocks an
        // Rgba buffer keeps what it held (file order: in place), an Rgb one
        // is zero.
        if (format != reference::Format::Uncompressed && format != reference::Format::None &&
            !reference::holdsPartialBlocks(fields, data.size())) {
            for (size_t y = 0; y < fields.height; ++y) {
                for (size_t x = 0; x < fields.width; ++x) {
                    if (x < fields.width / 4 * 4 && y < fields.height / 4 * 4) continue;
                    for (size_t c = 0; c < pixelBytes; ++c) {
                        const size_t i = (y * fields.width + x) * pixelBytes + c;
                        ASSERT_EQ(ours[i], pixelBytes == 4 ? before[i] : 0) << x << "," << y;
                    }
                }
            }
        }

        if (sample.allowed == Allowed::NoPicture) continue;
        const Picture theirs = loadPng(sourceDir + "/tests/reference/" + sample.name + ".png");
        ASSERT_EQ(theirs.width, static_cast<int>(fields.width)) << stbi_failure_reason();
        ASSERT_EQ(theirs.height, static_cast<int>(fields.height));
        switch (sample.allowed) {
            case Allowed::Blocks: {
                const BlockDifference d = compareBlocks(fields, data, ours, pixelBytes, theirs);
                EXPECT_LE(std::max({d.worst[0], d.worst[1], d.worst[2]}), 1);
                EXPECT_LE(d.worst[3], reference::formatOf(fields) == reference::Format::Dxt5 ? 1 : 0);
                if (record.type == reference::Rgba && reference::formatOf(fields) == reference::Format::Dxt1) {
                    EXPECT_GT(d.transparentTexels, 0) << "the sample has transparent texels";
                }
                break;
            }
            case Allowed::Exact:
                EXPECT_EQ(comparePixels(ours, pixelBytes, theirs), 0);
                break;
            case Allowed::WithinOne: {
                const int worst = comparePixels(ours, pixelBytes, theirs);
                EXPECT_TRUE(worst == 0 || worst == 1) << worst;
                break;
            }
            case Allowed::NoPicture:
                break;
        }
    }
}

// tests/realworld/expected.txt (written by make_references.py): per file
// what the importer must do (type=4, type=5 or refused=Reason) and how its
// file-order pixels compare with Pillow's picture, reference/NAME.png:
// exact, within=N, blocks (colour within 1 of Pillow's replicated 5:6:5
// bits, alpha equal), reference (no picture: equal to the reference
// decoder's image) or - (not compared).  The
// largest difference of each compared file is printed and recorded.
TEST_F(Samples, RealWorldFilesMatchTheirManifestAndPillow) {
    const std::string dir = sourceDir + "/tests/realworld/";
    std::ifstream manifest(dir + "expected.txt");
    std::string line;
    int files = 0;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        std::string name, verdict, rule;
        words >> name >> verdict >> rule;
        SCOPED_TRACE(name);
        ++files;
        const std::vector<uint8_t> file = readFile(dir + name);
        DdsPlan plan;
        const DdsRefusal refusal = ddsPlanImage(ddsMemorySource(file.data(), file.size()), &plan);
        const int handle = openOk(dir + name);
        QvImageInfo record{};
        if (verdict.rfind("refused=", 0) == 0) {
            EXPECT_EQ(refusal == DdsRefusal::Accepted ? "-" : ddsRefusalName(refusal), verdict.substr(8));
            EXPECT_EQ(info(handle, &record), -8);
            EXPECT_EQ(close(handle), 0);
            continue;
        }
        ASSERT_EQ(refusal, DdsRefusal::Accepted) << ddsRefusalName(refusal);
        ASSERT_EQ(info(handle, &record), 0);
        EXPECT_EQ("type=" + std::to_string(record.type), verdict);
        const size_t pixelBytes = record.type == reference::Rgb ? 3 : 4;
        std::vector<uint8_t> ours(static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * pixelBytes);
        qvhostSetPreference("KER:FlipDDSImages", 1);
        ASSERT_EQ(image(handle, ours.data()), 0);
        EXPECT_EQ(close(handle), 0);
        if (rule == "-") continue;
        if (rule == "reference") {  // Pillow does not read it: the reference decoder's image
            Dx10Fields dx10;
            dx10.dxgiFormat = plan.dx10.dxgiFormat;
            const std::vector<uint8_t> data(file.begin() + (plan.hasDx10 ? 148 : 128), file.end());
            EXPECT_EQ(ours, reference::image(fieldsOf(file), data, std::vector<uint8_t>(ours.size() / pixelBytes * 4), 1,
                                             nullptr, plan.hasDx10 ? &dx10 : nullptr));
            continue;
        }

        const Picture theirs = loadPng(dir + "reference/" + name.substr(0, name.size() - 4) + ".png");
        ASSERT_EQ(theirs.width, record.width);
        ASSERT_EQ(theirs.height, record.height);
        int largest = 0;
        if (rule == "blocks") {
            const DdsFields fields = fieldsOf(file);
            const reference::Format format = reference::formatOf(fields);
            ASSERT_TRUE(format == reference::Format::Dxt1 || format == reference::Format::Dxt3 ||
                        format == reference::Format::Dxt5);
            const BlockDifference d =
                compareBlocks(fields, std::vector<uint8_t>(file.begin() + 128, file.end()), ours, pixelBytes, theirs);
            largest = *std::max_element(d.worst.begin(), d.worst.end());
            EXPECT_TRUE(d.worst[0] <= 1 && d.worst[1] <= 1 && d.worst[2] <= 1 && d.worst[3] == 0)
                << name << ": largest differences R " << d.worst[0] << " G " << d.worst[1] << " B " << d.worst[2]
                << " A " << d.worst[3];
        } else {
            ASSERT_TRUE(rule == "exact" || rule.rfind("within=", 0) == 0) << rule;
            const int bound = rule == "exact" ? 0 : std::stoi(rule.substr(7));
            largest = comparePixels(ours, pixelBytes, theirs);
            EXPECT_TRUE(largest >= 0 && largest <= bound) << name << ": largest difference " << largest;
            const BlockFormat b = plan.blocks;
            const bool bptc = b == BlockFormat::Bc6h || b == BlockFormat::Bc6hSigned || b == BlockFormat::Bc7;
            for (KernelTier tier : {KernelTier::Plain, KernelTier::Portable, KernelTier::Sse2, KernelTier::Avx2}) {
                const BlockRowKernel kernel = ddsBlockRowKernelOfTier(b, static_cast<int>(pixelBytes), tier);
                if (!bptc || kernel == nullptr) continue;
                const int worst = comparePixels(kernelImage(kernel, file, plan), pixelBytes, theirs);
                EXPECT_TRUE(worst >= 0 && worst <= bound) << "tier " << static_cast<int>(tier) << ": " << worst;
            }
        }
        RecordProperty(name, largest);
        std::printf("realworld %-56s %-8s largest difference %d\n", name.c_str(), rule.c_str(), largest);
    }
    EXPECT_GT(files, 0);
}

}  // namespace
