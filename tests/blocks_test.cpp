// The block decoders: palettes, alpha tables, index layout, and random
// blocks of every format against the reference decoder.

#include "blocks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "dds_builder.h"
#include "reference_decoder.h"

namespace {

using reference::Pixel;

Pixel entryOf(const ColorPalette &palette, int i) {
    const uint8_t *e = palette.entries[i];
    return {e[0], e[1], e[2], e[3]};
}

std::vector<uint8_t> colorBlock(uint16_t color0, uint16_t color1, std::array<uint8_t, 4> rows) {
    std::vector<uint8_t> bytes;
    put16(bytes, color0);
    put16(bytes, color1);
    bytes.insert(bytes.end(), rows.begin(), rows.end());
    return bytes;
}

// Decodes one block with dds/ into 4 x 4 RGBA pixels.
std::array<Pixel, 16> decodeWithImporter(BlockFormat format, const std::vector<uint8_t> &bytes) {
    uint8_t out[64];
    std::memset(out, 0x5A, sizeof out);
    ddsDecodeBlock(format, bytes.data(), out, 16);
    std::array<Pixel, 16> pixels;
    for (size_t i = 0; i < 16; ++i) pixels[i] = {out[4 * i], out[4 * i + 1], out[4 * i + 2], out[4 * i + 3]};
    return pixels;
}

reference::Format referenceFormat(BlockFormat format) {
    return format == Dxt1   ? reference::Format::Dxt1
           : format == Dxt3 ? reference::Format::Dxt3
                            : reference::Format::Dxt5;
}

// Palettes worked out by hand from the 5:6:5 expansion (no replication)
// and the truncating thirds and halves.  DXT3 and DXT5 colour blocks
// (alwaysFour) take the thirds whatever the endpoint order.
TEST(Blocks, PaletteEntries) {
    const Pixel cyan = {0, 255, 255, 0};
    struct Case {
        const char *name;
        uint16_t color0, color1;
        std::array<Pixel, 4> entries;
        bool alwaysFour = false;
    } cases[] = {
        {"blue under red, DXT3/DXT5",
         0x001F,
         0xF800,
         {{{0, 0, 248, 255}, {248, 0, 0, 255}, {82, 0, 165, 255}, {165, 0, 82, 255}}},
         true},
        {"equal endpoints, DXT3/DXT5",
         0xFFFF,
         0xFFFF,
         {{{248, 252, 248, 255}, {248, 252, 248, 255}, {248, 252, 248, 255}, {248, 252, 248, 255}}},
         true},
        {"red over blue, DXT3/DXT5",
         0xF800,
         0x001F,
         {{{248, 0, 0, 255}, {0, 0, 248, 255}, {165, 0, 82, 255}, {82, 0, 165, 255}}},
         true},
        {"red over blue, four-colour",
         0xF800,
         0x001F,
         {{{248, 0, 0, 255}, {0, 0, 248, 255}, {165, 0, 82, 255}, {82, 0, 165, 255}}}},
        {"white over black, four-colour",
         0xFFFF,
         0x0000,
         {{{248, 252, 248, 255}, {0, 0, 0, 255}, {165, 168, 165, 255}, {82, 84, 82, 255}}}},
        {"one apart, four-colour",
         0x0001,
         0x0000,
         {{{0, 0, 8, 255}, {0, 0, 0, 255}, {0, 0, 5, 255}, {0, 0, 2, 255}}}},
        {"blue under red, three-colour",
         0x001F,
         0xF800,
         {{{0, 0, 248, 255}, {248, 0, 0, 255}, {124, 0, 124, 255}, cyan}}},
        {"mean of the greens", 0x0020, 0x07E0, {{{0, 4, 0, 255}, {0, 252, 0, 255}, {0, 128, 0, 255}, cyan}}},
        {"mean of the smallest steps",
         0x0000,
         0x0821,
         {{{0, 0, 0, 255}, {8, 4, 8, 255}, {4, 2, 4, 255}, cyan}}},
        {"equal endpoints 0x1234",
         0x1234,
         0x1234,
         {{{16, 68, 160, 255}, {16, 68, 160, 255}, {16, 68, 160, 255}, cyan}}},
        {"equal endpoints 0xFFFF",
         0xFFFF,
         0xFFFF,
         {{{248, 252, 248, 255}, {248, 252, 248, 255}, {248, 252, 248, 255}, cyan}}},
        {"both zero", 0x0000, 0x0000, {{{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, cyan}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = colorBlock(c.color0, c.color1, {0, 0, 0, 0});
        const ColorPalette palette = ddsDecodeColorPalette(bytes.data(), c.alwaysFour);
        const std::array<Pixel, 4> expected = reference::palette(c.color0, c.color1, c.alwaysFour);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(entryOf(palette, i), c.entries[static_cast<size_t>(i)]) << "importer entry " << i;
            EXPECT_EQ(expected[static_cast<size_t>(i)], c.entries[static_cast<size_t>(i)])
                << "reference entry " << i;
        }
    }
}

TEST(Blocks, InterpolatedAlphaTables) {
    struct Case {
        uint8_t alpha0, alpha1;
        std::array<uint8_t, 8> table;
    } cases[] = {
        {255, 0, {255, 0, 218, 182, 145, 109, 72, 36}},
        {0, 255, {0, 255, 51, 102, 153, 204, 0, 255}},
        {100, 50, {100, 50, 92, 85, 78, 71, 64, 57}},  // (600+50)/7 ... (100+300)/7
        {50, 100, {50, 100, 60, 70, 80, 90, 0, 255}},  // (200+100)/5 ... (50+400)/5
        {128, 128, {128, 128, 128, 128, 128, 128, 0, 255}},
        {1, 0, {1, 0, 0, 0, 0, 0, 0, 0}},
        {0, 0, {0, 0, 0, 0, 0, 0, 0, 255}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.alpha0} << "," << int{c.alpha1});
        std::array<uint8_t, 8> table{};
        ddsInterpolatedAlphaTable(c.alpha0, c.alpha1, table.data());
        EXPECT_EQ(table, c.table);
        EXPECT_EQ(reference::alphaTable(c.alpha0, c.alpha1), c.table);
    }
}

// Pixel (c, r) takes bits 2c, 2c+1 of byte 4 + r.
TEST(Blocks, ColorIndexLayout) {
    const std::array<Pixel, 4> entries = reference::palette(0xF800, 0x001F);
    struct Case {
        const char *name;
        std::array<uint8_t, 4> rows;
        std::array<int, 16> indices;
    } cases[] = {
        {"index = column", {0xE4, 0xE4, 0xE4, 0xE4}, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3}},
        {"index = row", {0x00, 0x55, 0xAA, 0xFF}, {0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}},
        {"reversed columns", {0x1B, 0x1B, 0x1B, 0x1B}, {3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0, 3, 2, 1, 0}},
        {"single texel", {0x00, 0x00, 0x30, 0x00}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = colorBlock(0xF800, 0x001F, c.rows);
        const std::array<Pixel, 16> importer = decodeWithImporter(Dxt1, bytes);
        const std::array<Pixel, 16> ours = reference::block(reference::Format::Dxt1, bytes.data());
        for (size_t i = 0; i < 16; ++i) {
            const Pixel expected = entries[static_cast<size_t>(c.indices[i])];
            EXPECT_EQ(importer[i], expected) << "pixel " << i;
            EXPECT_EQ(ours[i], expected) << "reference pixel " << i;
        }
    }
}

// The alpha stages: DXT3 nibbles and DXT5 3-bit indices in pixel order, on
// top of a colour block with color0 < color1 whose texels all take index 3:
// in DXT3 and DXT5 that is the two-thirds mix (165, 168, 165), never DXT1's
// transparent cyan.
TEST(Blocks, AlphaStagesOverIndexThreeOfAFourColourBlock) {
    std::vector<uint8_t> allIndexThree = colorBlock(0x0000, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF});
    std::vector<uint8_t> dxt3Alternating = {0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0, 0xF0};
    std::vector<uint8_t> dxt3Ramp;  // nibble of pixel k = k
    for (int r = 0; r < 4; ++r)
        put16(dxt3Ramp,
              static_cast<uint32_t>((4 * r + 3) << 12 | (4 * r + 2) << 8 | (4 * r + 1) << 4 | 4 * r));
    const std::vector<uint8_t> dxt5Counting = {255, 0, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
    const std::vector<uint8_t> dxt5Equal = {128, 128, 0, 0, 0, 0, 0, 0};

    std::array<uint8_t, 16> alternating, ramp, counting, equal;
    for (size_t k = 0; k < 16; ++k) {
        alternating[k] = k % 2 == 0 ? 0 : 255;
        ramp[k] = static_cast<uint8_t>(17 * k);
        counting[k] = reference::alphaTable(255, 0)[k % 8];
        equal[k] = 128;
    }
    const std::array<uint8_t, 8> counted = {255, 0, 218, 182, 145, 109, 72, 36};
    for (size_t k = 0; k < 8; ++k) ASSERT_EQ(counting[k], counted[k]);

    struct Case {
        const char *name;
        BlockFormat format;
        std::vector<uint8_t> alpha;
        std::array<uint8_t, 16> expected;
    } cases[] = {
        {"DXT3 nibbles 0,15,0,15", Dxt3, dxt3Alternating, alternating},
        {"DXT3 nibble k at pixel k", Dxt3, dxt3Ramp, ramp},
        {"DXT5 indices 0..7 twice", Dxt5, dxt5Counting, counting},
        {"DXT5 equal endpoints, index 0", Dxt5, dxt5Equal, equal},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = c.alpha;
        bytes.insert(bytes.end(), allIndexThree.begin(), allIndexThree.end());
        const std::array<Pixel, 16> importer = decodeWithImporter(c.format, bytes);
        const std::array<Pixel, 16> ours = reference::block(referenceFormat(c.format), bytes.data());
        for (size_t k = 0; k < 16; ++k) {
            const Pixel expected = {165, 168, 165, c.expected[k]};
            EXPECT_EQ(importer[k], expected) << "pixel " << k;
            EXPECT_EQ(ours[k], expected) << "reference pixel " << k;
        }
    }
}

// Random blocks: half of them are three-colour, which exercises index 3.
TEST(Blocks, RandomBlocksMatchTheReference) {
    for (BlockFormat format : {Dxt1, Dxt3, Dxt5}) {
        SCOPED_TRACE(format);
        const size_t size = format == Dxt1 ? 8 : 16;
        const std::vector<uint8_t> data = randomBytes(size * 2000, 40 + static_cast<uint32_t>(format));
        int threeColour = 0;
        for (size_t b = 0; b < 2000; ++b) {
            const std::vector<uint8_t> bytes(data.begin() + static_cast<std::ptrdiff_t>(b * size),
                                             data.begin() + static_cast<std::ptrdiff_t>((b + 1) * size));
            const uint8_t *color = bytes.data() + (size - 8);
            if ((color[0] | color[1] << 8) <= (color[2] | color[3] << 8)) ++threeColour;
            // A stride wider than the block: the bytes between rows stay.
            std::vector<uint8_t> out(4 * 24, 0xA5);
            ddsDecodeBlock(format, bytes.data(), out.data(), 24);
            const std::array<Pixel, 16> expected = reference::block(referenceFormat(format), bytes.data());
            for (size_t r = 0; r < 4; ++r) {
                for (size_t c = 0; c < 4; ++c) {
                    const uint8_t *p = &out[r * 24 + 4 * c];
                    ASSERT_EQ((Pixel{p[0], p[1], p[2], p[3]}), expected[4 * r + c])
                        << "block " << b << " pixel " << c << "," << r;
                }
                for (size_t gap = 16; gap < 24; ++gap) ASSERT_EQ(out[r * 24 + gap], 0xA5) << "block " << b;
            }
        }
        EXPECT_GT(threeColour, 800);
        EXPECT_LT(threeColour, 1200);
    }
}

// A row of blocks into four separate rows, at four and three bytes a
// pixel; the bytes right of the last block stay as they were.
TEST(Blocks, BlockRowsMatchTheReference) {
    for (BlockFormat format : {Dxt1, Dxt3, Dxt5}) {
        for (int bytesPerPixel : {4, 3}) {
            for (uint32_t blockCount : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 33u}) {
                SCOPED_TRACE(testing::Message() << "format " << format << ", " << bytesPerPixel << " bytes, "
                                                << blockCount << " blocks");
                const size_t size = format == Dxt1 ? 8 : 16;
                const std::vector<uint8_t> blocks = randomBytes(
                    size * blockCount, 100 * blockCount + static_cast<uint32_t>(format + bytesPerPixel));
                const size_t rowBytes = 4 * blockCount * static_cast<size_t>(bytesPerPixel);
                std::vector<std::vector<uint8_t>> rows(4, std::vector<uint8_t>(rowBytes + 5, 0x3C));
                uint8_t *const pointers[4] = {rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()};
                ddsDecodeBlockRow(format, blocks.data(), blockCount, pointers, bytesPerPixel);
                for (size_t b = 0; b < blockCount; ++b) {
                    const std::array<Pixel, 16> expected =
                        reference::block(referenceFormat(format), &blocks[b * size]);
                    for (size_t r = 0; r < 4; ++r) {
                        for (size_t c = 0; c < 4; ++c) {
                            for (size_t ch = 0; ch < static_cast<size_t>(bytesPerPixel); ++ch) {
                                ASSERT_EQ(rows[r][(4 * b + c) * static_cast<size_t>(bytesPerPixel) + ch],
                                          expected[4 * r + c][ch])
                                    << "block " << b << " pixel " << c << "," << r << " channel " << ch;
                            }
                        }
                    }
                }
                for (size_t r = 0; r < 4; ++r) {
                    for (size_t i = rowBytes; i < rowBytes + 5; ++i)
                        EXPECT_EQ(rows[r][i], 0x3C) << "row " << r;
                }
            }
        }
    }
}

}  // namespace
