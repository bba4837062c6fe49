// Hostile files through the loaded plug-in: every file of tests/crashers
// with the results its manifest (expected.txt, written with the files by
// make_crashers.py) says the importer must give, and files rewritten between
// the information query and the image request.  Every host buffer is a heap
// block of exactly the reported size, so that the sanitize preset's
// AddressSanitizer stops any write past it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "dds_builder.h"
#include "plan.h"
#include "plugin_fixture.h"

namespace {

constexpr uint8_t Fill = 0xC3;
constexpr char FlipPreference[] = "KER:FlipDDSImages";

const std::string crashersDir = std::string(DDSIMAGE_SOURCE_DIR) + "/tests/crashers";

struct Expected {
    std::string file;
    int open = 0;
    int info = 0;   // meaningful when open is 0
    int image = 0;  // meaningful when open is 0
    int width = 0, height = 0, type = 0;
    std::string check;  // "-", "pixel=HEX" or "alpha=HH"
    std::string reason; // why the plan refuses the file, "-" when it does not
};

int statusField(const std::string &text) { return text == "-" ? 1 : std::stoi(text); }

std::vector<Expected> readManifest() {
    std::vector<Expected> entries;
    std::ifstream in(crashersDir + "/expected.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string name, open, info, image, width, height, type, check, reason;
        fields >> name >> open >> info >> image >> width >> height >> type >> check >> reason;
        if (reason.empty()) ADD_FAILURE() << "short manifest line: " << line;
        Expected e;
        e.file = name;
        e.open = statusField(open);
        e.info = statusField(info);
        e.image = statusField(image);
        e.width = statusField(width);
        e.height = statusField(height);
        e.type = statusField(type);
        e.check = check;
        e.reason = reason;
        entries.push_back(e);
    }
    return entries;
}

std::vector<uint8_t> hexBytes(const std::string &hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

size_t bytesPerPixel(int type) { return type == 4 ? 3 : 4; }

size_t bufferBytes(const QvImageInfo &record) {
    return static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * bytesPerPixel(record.type);
}

// Rows of `a` are those of `b` in reverse order.
bool rowsReversed(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, size_t rows) {
    if (a.size() != b.size() || rows == 0 || a.size() % rows != 0) return false;
    const size_t stride = a.size() / rows;
    for (size_t y = 0; y < rows; ++y) {
        if (!std::equal(a.begin() + static_cast<std::ptrdiff_t>(y * stride),
                        a.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride),
                        b.begin() + static_cast<std::ptrdiff_t>((rows - 1 - y) * stride))) {
            return false;
        }
    }
    return true;
}

std::vector<uint8_t> readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every pixel meets the manifest's rule.
void checkPixels(const std::string &rule, const std::vector<uint8_t> &pixels, int type) {
    if (rule == "-") return;
    const size_t step = bytesPerPixel(type);
    ASSERT_EQ(pixels.size() % step, 0u);
    if (rule.rfind("pixel=", 0) == 0) {
        const std::vector<uint8_t> pixel = hexBytes(rule.substr(6));
        ASSERT_EQ(pixel.size(), step) << rule;
        for (size_t i = 0; i < pixels.size(); i += step) {
            ASSERT_TRUE(std::equal(pixel.begin(), pixel.end(), pixels.begin() + static_cast<std::ptrdiff_t>(i)))
                << "pixel " << i / step;
        }
    } else if (rule.rfind("alpha=", 0) == 0) {
        ASSERT_EQ(step, 4u);
        const uint8_t alpha = hexBytes(rule.substr(6)).at(0);
        for (size_t i = 3; i < pixels.size(); i += 4) ASSERT_EQ(pixels[i], alpha) << "pixel " << i / 4;
    } else {
        FAIL() << "unknown check " << rule;
    }
}

// width x height x 4 from a file's header, when it is at most 64 MiB;
// else 1.
size_t declaredRgbaBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> head(20, 0);
    in.read(reinterpret_cast<char *>(head.data()), 20);
    if (in.gcount() < 20) return 1;
    auto load32 = [&](size_t at) {
        return static_cast<uint64_t>(head[at]) | static_cast<uint64_t>(head[at + 1]) << 8 |
               static_cast<uint64_t>(head[at + 2]) << 16 | static_cast<uint64_t>(head[at + 3]) << 24;
    };
    const uint64_t bytes = load32(12) * load32(16) * 4;
    return bytes == 0 || bytes > (uint64_t{64} << 20) ? 1 : static_cast<size_t>(bytes);
}

using Crashers = PluginTest;

TEST_F(Crashers, ManifestNamesEveryFileOnce) {
    std::set<std::string> listed;
    for (const Expected &e : readManifest()) EXPECT_TRUE(listed.insert(e.file).second) << e.file << " twice";
    std::set<std::string> present;
    for (const auto &entry : std::filesystem::directory_iterator(crashersDir)) {
        if (entry.path().extension() == ".dds") present.insert(entry.path().filename().string());
    }
    EXPECT_FALSE(present.empty());
    EXPECT_EQ(listed, present);
}

TEST_F(Crashers, EachFileGetsItsExpectedResults) {
    const std::vector<Expected> manifest = readManifest();
    ASSERT_FALSE(manifest.empty());
    for (const Expected &e : manifest) {
        SCOPED_TRACE(e.file);
        const std::string path = crashersDir + "/" + e.file;
        if (e.open == 0) {
            const std::vector<uint8_t> bytes = readFile(path);
            DdsPlan plan;
            const DdsRefusal refusal = ddsPlanImage(ddsMemorySource(bytes.data(), bytes.size()), &plan);
            EXPECT_EQ(refusal == DdsRefusal::Accepted ? "-" : ddsRefusalName(refusal), e.reason);
        }
        std::vector<uint8_t> rowsReversedOrder;  // image with the preference unset
        for (int fileOrder : {0, 1}) {
            SCOPED_TRACE(fileOrder ? "preference 1: file row order" : "preference unset: last row first");
            qvhostReset();
            if (fileOrder) qvhostSetPreference(FlipPreference, 1);
            int handle = -1;
            ASSERT_EQ(open(path, &handle), e.open);
            if (e.open != 0) continue;

            QvImageInfo record{};
            EXPECT_EQ(info(handle, &record), e.info);
            EXPECT_EQ(qvhostMallocCalls(), 0) << "the query allocates nothing";
            if (e.info == 0) {
                EXPECT_EQ(record.width, e.width);
                EXPECT_EQ(record.height, e.height);
                EXPECT_EQ(record.type, e.type);
                ASSERT_EQ(record.setFields, 31);
                std::vector<uint8_t> pixels(bufferBytes(record), Fill);
                EXPECT_EQ(image(handle, pixels.data()), e.image);
                checkPixels(e.check, pixels, record.type);
                if (fileOrder == 0) {
                    rowsReversedOrder = pixels;
                } else {
                    EXPECT_TRUE(rowsReversed(pixels, rowsReversedOrder, static_cast<size_t>(record.height)))
                        << "the two row orders differ by more than the order";
                }
            } else {
                EXPECT_EQ(record.setFields, 0);
                // A refused file gets no pixel and no working memory.  The
                // buffer holds the header's width x height at four bytes a
                // pixel when that is not huge, so that a file accepted by
                // mistake fails here rather than corrupting the heap; else
                // one byte (AddressSanitizer sees a write past it).
                std::vector<uint8_t> probe(declaredRgbaBytes(path), Fill);
                const int mallocs = qvhostMallocCalls();
                EXPECT_EQ(image(handle, probe.data()), e.image);
                EXPECT_TRUE(std::all_of(probe.begin(), probe.end(), [](uint8_t b) { return b == Fill; }))
                    << "a refused file wrote pixels";
                EXPECT_EQ(qvhostMallocCalls(), mallocs);
                EXPECT_EQ(qvhostPeakBytes(), 0);
            }
            EXPECT_EQ(close(handle), 0);
            EXPECT_EQ(qvhostLiveAllocations(), 0);
            EXPECT_EQ(qvhostBadFrees(), 0);
        }
    }
}

// Files rewritten between the query and the image request.

std::vector<uint8_t> dxt1Blocks(uint16_t color0, uint16_t color1, size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t> indices = randomBytes(4 * count, seed);
    for (size_t i = 0; i < count; ++i) {
        put16(bytes, color0);
        put16(bytes, color1);
        bytes.insert(bytes.end(), indices.begin() + static_cast<std::ptrdiff_t>(4 * i),
                     indices.begin() + static_cast<std::ptrdiff_t>(4 * i + 4));
    }
    return bytes;
}

std::vector<uint8_t> cut(std::vector<uint8_t> bytes, size_t size) {
    bytes.resize(size);
    return bytes;
}

std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct RewriteCase {
    const char *name;
    std::vector<uint8_t> before;
    std::vector<uint8_t> after;
    int status;  // of the image request after the rewrite
};

std::vector<RewriteCase> rewriteCases() {
    const DdsFields rgba32 = maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 9, 7, 0x41);
    const DdsFields rgb565 = maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 9, 7, 0x40);
    const DdsFields rgb24 = maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 9, 7, 0x40);
    const std::vector<uint8_t> opaque8x8 = ddsFile(dxtFields("DXT1", 8, 8), dxt1Blocks(0xF800, 0x001F, 4, 1));
    const std::vector<uint8_t> pixels32 = ddsFile(rgba32, randomBytes(9 * 7 * 4, 2));
    const std::vector<uint8_t> dxt3 = ddsFile(dxtFields("DXT3", 12, 8), randomBytes(96, 3));
    const std::vector<uint8_t> big = ddsFile(maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 300, 200, 0x40),
                                             randomBytes(300 * 200 * 4, 4));
    return {
        {"wider", opaque8x8, ddsFile(dxtFields("DXT1", 12, 8), dxt1Blocks(0xF800, 0x001F, 6, 1)), -8},
        {"taller", pixels32, ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 9, 8, 0x41),
                                     randomBytes(9 * 8 * 4, 2)), -8},
        {"narrower", pixels32, ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 8, 7, 0x41),
                                       randomBytes(8 * 7 * 4, 2)), -8},
        {"DXT1 whose first block turns three-colour: four bytes a pixel, not three", opaque8x8,
         ddsFile(dxtFields("DXT1", 8, 8), dxt1Blocks(0x001F, 0xF800, 4, 1)), -8},
        {"DXT1 whose first block turns four-colour",
         ddsFile(dxtFields("DXT1", 8, 8), dxt1Blocks(0x001F, 0xF800, 4, 1)), opaque8x8, -8},
        {"DXT1 rewritten as DXT5 of the same size: type 4 becomes 5", opaque8x8,
         ddsFile(dxtFields("DXT5", 8, 8), randomBytes(64, 5)), -8},
        {"truncated to half its top level", pixels32, cut(pixels32, 128 + 9 * 7 * 2), -8},
        {"truncated by one byte", pixels32, cut(pixels32, pixels32.size() - 1), -8},
        {"truncated to its header", dxt3, cut(dxt3, 128), -8},
        {"truncated inside its header", dxt3, cut(dxt3, 60), -8},
        {"emptied", dxt3, {}, -8},
        {"header flag 0x200 set", dxt3, [&] {
             std::vector<uint8_t> bytes = dxt3;
             bytes[9] |= 0x02;
             return bytes;
         }(), -8},
        {"24-bit rewritten as 32-bit without the data for it", ddsFile(rgb24, randomBytes(9 * 7 * 3, 6)),
         concat(headerBytes(rgba32), randomBytes(9 * 7 * 3 - 4, 6)), -8},
        {"a large file truncated in its second chunk", big, cut(big, 128 + 200000), -8},
        // Still what the query reported: the new file's image.
        {"same header, other pixels", pixels32, ddsFile(rgba32, randomBytes(9 * 7 * 4, 7)), 0},
        {"DXT3 rewritten as DXT5 of the same size", dxt3, ddsFile(dxtFields("DXT5", 12, 8), randomBytes(96, 8)), 0},
        {"32-bit rewritten as 16-bit of the same size", pixels32, ddsFile(rgb565, randomBytes(9 * 7 * 2, 9)), 0},
        {"made longer", pixels32, concat(ddsFile(rgba32, randomBytes(9 * 7 * 4, 10)), randomBytes(999, 11)), 0},
        {"a large file with other pixels", big,
         ddsFile(maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0, 300, 200, 0x40), randomBytes(300 * 200 * 4, 12)), 0},
    };
}

class RewrittenFiles : public PluginTest {
  protected:
    // Imports `contents` from scratch; the pixels, or empty on any failure.
    std::vector<uint8_t> importFresh(const std::vector<uint8_t> &contents, const QvImageInfo &expected) {
        TempFile file(contents);
        int handle = -1;
        if (open(file.path(), &handle) != 0) return {};
        QvImageInfo record{};
        std::vector<uint8_t> pixels;
        if (info(handle, &record) == 0 && record.width == expected.width && record.height == expected.height &&
            record.type == expected.type) {
            pixels.assign(bufferBytes(record), Fill);
            if (image(handle, pixels.data()) != 0) pixels.clear();
        }
        close(handle);
        return pixels;
    }
};

TEST_F(RewrittenFiles, RefusedWhenTheyNoLongerFitTheReportElseTheNewImage) {
    for (const RewriteCase &c : rewriteCases()) {
        SCOPED_TRACE(c.name);
        for (int fileOrder : {0, 1}) {
            SCOPED_TRACE(fileOrder);
            qvhostReset();
            if (fileOrder) qvhostSetPreference(FlipPreference, 1);
            TempFile file(c.before);
            const int handle = openOk(file.path());
            QvImageInfo record{};
            ASSERT_EQ(info(handle, &record), 0);
            std::vector<uint8_t> before(bufferBytes(record), Fill);
            ASSERT_EQ(image(handle, before.data()), 0) << "the file is fine before the rewrite";

            file.rewrite(c.after);
            std::vector<uint8_t> pixels(bufferBytes(record), Fill);
            EXPECT_EQ(image(handle, pixels.data()), c.status);
            if (c.status == 0) {
                const std::vector<uint8_t> expected = importFresh(c.after, record);
                ASSERT_FALSE(expected.empty());
                EXPECT_TRUE(pixels == expected) << "not the rewritten file's image";
                EXPECT_FALSE(pixels == before) << "still the old file's image";
            }
            EXPECT_EQ(close(handle), 0);
            EXPECT_EQ(qvhostLiveAllocations(), 0);
            EXPECT_EQ(qvhostBadFrees(), 0);
        }
    }
}

}  // namespace
