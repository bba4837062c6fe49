// Host allocations that fail: for every N until the import goes through,
// the Nth qvMalloc from the start of open / query / image / close returns
// null.  The import then ends in -8, or gives exactly the image of an import
// where nothing failed; never 0 with other pixels.  Nothing leaks, and the
// table of open files stays usable.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dds_builder.h"
#include "plugin_fixture.h"

namespace {

constexpr uint8_t Fill = 0x5C;

struct Shape {
    const char *name;
    std::vector<uint8_t> file;
};

std::vector<uint8_t> dxt1Data(uint16_t color0, uint16_t color1, size_t blocks, uint32_t seed) {
    std::vector<uint8_t> bytes;
    const std::vector<uint8_t> indices = randomBytes(4 * blocks, seed);
    for (size_t i = 0; i < blocks; ++i) {
        put16(bytes, static_cast<uint32_t>(color0 + i % 7));
        put16(bytes, color1);
        for (size_t k = 0; k < 4; ++k) bytes.push_back(indices[4 * i + k]);
    }
    return bytes;
}

std::vector<Shape> shapes() {
    return {
        {"DXT1 four-colour (rgb) 16x8", ddsFile(dxtFields("DXT1", 16, 8), dxt1Data(0xF800, 0x001F, 8, 1))},
        {"DXT1 three-colour (rgba) 8x8", ddsFile(dxtFields("DXT1", 8, 8), dxt1Data(0x001F, 0xF800, 4, 2))},
        {"DXT1 rgb 13x6, partial blocks stored", ddsFile(dxtFields("DXT1", 13, 6), dxt1Data(0xF800, 0x1F, 8, 3))},
        {"DXT3 12x12", ddsFile(dxtFields("DXT3", 12, 12), randomBytes(144, 4))},
        {"DXT5 10x7, whole blocks only", ddsFile(dxtFields("DXT5", 10, 7), randomBytes(32, 5))},
        {"DXT5 256x256: several chunks", ddsFile(dxtFields("DXT5", 256, 256), randomBytes(65536, 6))},
        {"8-bit 7x5", ddsFile(maskFields(8, 0xE0, 0x1C, 0x03, 0, 7, 5, 0x40), randomBytes(35, 7))},
        {"16-bit 5x3", ddsFile(maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 5, 3, 0x41), randomBytes(30, 8))},
        {"24-bit 6x5", ddsFile(maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 6, 5, 0x40), randomBytes(90, 9))},
        {"32-bit 3x9", ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 3, 9, 0x41), randomBytes(108, 10))},
        {"32-bit 512x512: eight chunks",
         ddsFile(maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 512, 512, 0x41), randomBytes(1 << 20, 11))},
    };
}

class AllocationFailure : public PluginTest {
  protected:
    struct Outcome {
        int status = 0;          // first status that was not 0, else 0
        int mallocs = 0;         // qvMalloc calls the sequence made
        std::vector<uint8_t> pixels;
    };

    // open, query, image request into an exactly sized buffer, close.
    Outcome import(const std::string &path, int failingMalloc) {
        Outcome outcome;
        const int before = qvhostMallocCalls();
        qvhostFailMallocCall(failingMalloc);
        int handle = -1;
        outcome.status = open(path, &handle);
        if (outcome.status == 0) {
            QvImageInfo record{};
            outcome.status = info(handle, &record);
            if (outcome.status == 0) {
                const size_t bytes = static_cast<size_t>(record.width) * static_cast<size_t>(record.height) *
                                     (record.type == 4 ? 3u : 4u);
                outcome.pixels.assign(bytes, Fill);
                outcome.status = image(handle, outcome.pixels.data());
            }
            const int closed = close(handle);
            if (outcome.status == 0) outcome.status = closed;
        }
        outcome.mallocs = qvhostMallocCalls() - before;
        qvhostFailMallocCall(0);
        return outcome;
    }

    // After a failed import the table still opens files into the lowest
    // slots and closes them.
    void expectTableUsable(const std::string &path) {
        int first = -1;
        int second = -1;
        ASSERT_EQ(open(path, &first), 0);
        ASSERT_EQ(open(path, &second), 0);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(second, 1);
        EXPECT_EQ(close(first), 0);
        int reused = -1;
        ASSERT_EQ(open(path, &reused), 0);
        EXPECT_EQ(reused, 0);
        EXPECT_EQ(close(reused), 0);
        EXPECT_EQ(close(second), 0);
    }
};

TEST_F(AllocationFailure, EachFailingAllocationEndsInReadFailedOrTheRightImage) {
    for (const Shape &shape : shapes()) {
        SCOPED_TRACE(shape.name);
        TempFile file(shape.file);
        for (int preference : {-1, 0, 1}) {
            SCOPED_TRACE(preference);
            qvhostReset();
            if (preference >= 0) qvhostSetPreference("KER:FlipDDSImages", preference);

            const Outcome reference = import(file.path(), 0);
            ASSERT_EQ(reference.status, 0);
            ASSERT_GE(reference.mallocs, 1) << "the image request works in a host-allocated chunk";

            int failing = 1;
            for (;; ++failing) {
                SCOPED_TRACE(failing);
                ASSERT_LE(failing, reference.mallocs + 1);
                const Outcome outcome = import(file.path(), failing);
                EXPECT_EQ(qvhostLiveAllocations(), 0) << "leak";
                EXPECT_EQ(qvhostBadFrees(), 0);
                expectTableUsable(file.path());
                if (outcome.mallocs < failing) {
                    // The failure was never reached: a whole import.
                    EXPECT_EQ(outcome.status, 0);
                    EXPECT_TRUE(outcome.pixels == reference.pixels);
                    break;
                }
                EXPECT_EQ(outcome.status, -8) << "an allocation failed, yet the import reported " << outcome.status;
            }
            EXPECT_EQ(failing, reference.mallocs + 1) << "every allocation was made to fail once";
        }
    }
}

// The same, with many files open: a failure in one leaves the others and
// their handles alone.
TEST_F(AllocationFailure, OtherOpenFilesAreUntouched) {
    TempFile big(shapes().back().file);
    TempFile small(shapes().front().file);
    std::vector<int> handles;
    for (int i = 0; i < 19; ++i) handles.push_back(openOk(small.path()));
    for (int i = 0; i < 19; ++i) EXPECT_EQ(handles[static_cast<size_t>(i)], i);

    int handle = -1;
    ASSERT_EQ(open(big.path(), &handle), 0);
    EXPECT_EQ(handle, 19);
    QvImageInfo record{};
    ASSERT_EQ(info(handle, &record), 0);
    std::vector<uint8_t> pixels(static_cast<size_t>(record.width) * static_cast<size_t>(record.height) * 4, Fill);
    qvhostFailMallocCall(1);
    EXPECT_EQ(image(handle, pixels.data()), -8);
    qvhostFailMallocCall(0);
    EXPECT_EQ(qvhostLiveAllocations(), 0);
    // A retry on the same handle goes through.
    EXPECT_EQ(image(handle, pixels.data()), 0);
    EXPECT_EQ(close(handle), 0);

    // Every other handle still names its file.
    for (int h : handles) {
        QvImageInfo other{};
        EXPECT_EQ(info(h, &other), 0) << h;
        EXPECT_EQ(other.width, 16);
        EXPECT_EQ(close(h), 0);
    }
    EXPECT_EQ(qvhostLiveAllocations(), 0);
    EXPECT_EQ(qvhostBadFrees(), 0);
}

}  // namespace
