// Where the rows of blocks lie in a file whose width is not a multiple of 4.

#include <gtest/gtest.h>

#include <vector>

#include "dds_builder.h"
#include "plugin_fixture.h"

namespace {

using BlockLayout = PluginTest;

// A DXT1 block of one solid colour: every index 0 selects color0.
std::vector<uint8_t> solidBlock(uint16_t color) {
    std::vector<uint8_t> block;
    put16(block, color);
    put16(block, 0);
    put32(block, 0);
    return block;
}

// Blocks numbered in file order, each a distinct colour whose red channel
// tells the block number.
std::vector<uint8_t> numberedBlocks(int count) {
    std::vector<uint8_t> data;
    for (int i = 0; i < count; ++i) {
        const std::vector<uint8_t> block = solidBlock(static_cast<uint16_t>((i + 1) << 11 | 0x1F));
        data.insert(data.end(), block.begin(), block.end());
    }
    return data;
}

struct LayoutCase {
    const char *name;
    uint32_t width, height;
    int storedBlocks;
    uint32_t linearSize;  // 0: no linear-size flag
    int blocksPerStoredRow;
};

TEST_F(BlockLayout, RowsOfBlocksFollowTheStoredStride) {
    const LayoutCase cases[] = {
        // 10 x 9: three blocks touch each row, two of them whole.
        {"encoder layout, no linear size", 10, 9, 9, 0, 3},
        {"encoder layout with its linear size", 10, 9, 9, 72, 3},
        {"encoder layout with trailing mip levels", 10, 9, 12, 0, 3},
        {"only whole blocks stored", 10, 9, 4, 0, 2},
        {"linear size declares only whole blocks", 10, 9, 9, 32, 2},
        {"width a multiple of 4", 8, 9, 6, 0, 2},
    };
    qvhostSetPreference("KER:FlipDDSImages", 1);
    for (const LayoutCase &c : cases) {
        SCOPED_TRACE(c.name);
        DdsFields fields = dxtFields("DXT1", c.width, c.height);
        if (c.linearSize != 0) {
            fields.flags |= 0x80000;
            fields.pitchOrLinearSize = c.linearSize;
        }
        TempFile file(ddsFile(fields, numberedBlocks(c.storedBlocks)));
        const int handle = openOk(file.path());
        QvImageInfo record{};
        ASSERT_EQ(info(handle, &record), 0);
        ASSERT_EQ(record.type, 4);
        std::vector<uint8_t> pixels(c.width * c.height * 3, 0xEE);
        ASSERT_EQ(image(handle, pixels.data()), 0);
        for (uint32_t by = 0; by < c.height / 4; ++by) {
            for (uint32_t bx = 0; bx < c.width / 4; ++bx) {
                const int block = static_cast<int>(by) * c.blocksPerStoredRow + static_cast<int>(bx);
                // The bottom-right pixel of the block carries its colour.
                const size_t at = ((4 * by + 3) * c.width + 4 * bx + 3) * 3;
                // Red field n is n * 255 / 31, rounded.
                EXPECT_EQ(pixels[at], ((block + 1) * 510 + 31) / 62) << "block " << bx << "," << by;
                EXPECT_EQ(pixels[at + 2], 255);
            }
        }
        EXPECT_EQ(close(handle), 0);
    }
}

}  // namespace
