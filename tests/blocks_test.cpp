// The block decoders: palettes, alpha tables, index layout, and random
// blocks of every format against the reference decoder.

#include "bc1_3/bc1_3.h"
#include "bc6_7/bc6h.h"
#include "bc6_7/bc7.h"
#include "block_kernels.h"
#include "common/channel.h"
#include "common/channel_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <string>
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

// DXT1, DXT3 and DXT5 are every other one of the reference's first five, the normal map after them.
reference::Format referenceFormat(BlockFormat format) {
    return static_cast<reference::Format>(format == BlockFormat::Dxt5Normal ? 5 : 2 * ddsIndex(format));
}

// Palettes worked out by hand: each channel the exact mix of the endpoint
// fields, rounded half up.  DXT3 and DXT5 colour blocks (alwaysFour) take
// the thirds whatever the endpoint order.
TEST(Blocks, PaletteEntries) {
    const Pixel clear = {0, 0, 0, 0};
    const Pixel white = {255, 255, 255, 255};
    struct Case {
        const char *name;
        uint16_t color0, color1;
        std::array<Pixel, 4> entries;
        bool alwaysFour = false;
    } cases[] = {
        {"blue under red, DXT3/DXT5", 0x001F, 0xF800,
         {{{0, 0, 255, 255}, {255, 0, 0, 255}, {85, 0, 170, 255}, {170, 0, 85, 255}}}, true},
        {"equal endpoints, DXT3/DXT5", 0xFFFF, 0xFFFF, {{white, white, white, white}}, true},
        {"grey 0x7BEF, DXT3/DXT5", 0x7BEF, 0x7BEF,
         {{{123, 125, 123, 255}, {123, 125, 123, 255}, {123, 125, 123, 255}, {123, 125, 123, 255}}}, true},
        {"red over blue, four-colour", 0xF800, 0x001F,
         {{{255, 0, 0, 255}, {0, 0, 255, 255}, {170, 0, 85, 255}, {85, 0, 170, 255}}}},
        {"white over black, four-colour", 0xFFFF, 0x0000,
         {{white, {0, 0, 0, 255}, {170, 170, 170, 255}, {85, 85, 85, 255}}}},
        {"one apart, four-colour: 16/3 and 8/3 round to 5 and 3", 0x0001, 0x0000,
         {{{0, 0, 8, 255}, {0, 0, 0, 255}, {0, 0, 5, 255}, {0, 0, 3, 255}}}},
        {"black under white, three-colour: 127.5 rounds up", 0x0000, 0xFFFF,
         {{{0, 0, 0, 255}, white, {128, 128, 128, 255}, clear}}},
        {"blue under red, three-colour", 0x001F, 0xF800,
         {{{0, 0, 255, 255}, {255, 0, 0, 255}, {128, 0, 128, 255}, clear}}},
        {"mean of the greens", 0x0020, 0x07E0, {{{0, 4, 0, 255}, {0, 255, 0, 255}, {0, 130, 0, 255}, clear}}},
        {"mean of the smallest steps", 0x0000, 0x0821,
         {{{0, 0, 0, 255}, {8, 4, 8, 255}, {4, 2, 4, 255}, clear}}},
        {"equal endpoints 0x1234", 0x1234, 0x1234,
         {{{16, 69, 165, 255}, {16, 69, 165, 255}, {16, 69, 165, 255}, clear}}},
        {"equal endpoints 0xFFFF", 0xFFFF, 0xFFFF, {{white, white, white, clear}}},
        {"both zero", 0x0000, 0x0000, {{{0, 0, 0, 255}, {0, 0, 0, 255}, {0, 0, 0, 255}, clear}}},
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
        ddsChannelTable(c.alpha0, c.alpha1, table.data());
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
        const std::array<Pixel, 16> importer = decodeWithImporter(BlockFormat::Dxt1, bytes);
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
// in DXT3 and DXT5 that is the two-thirds mix (170, 170, 170), never DXT1's
// transparent black.
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
        {"DXT3 nibbles 0,15,0,15", BlockFormat::Dxt3, dxt3Alternating, alternating},
        {"DXT3 nibble k at pixel k", BlockFormat::Dxt3, dxt3Ramp, ramp},
        {"DXT5 indices 0..7 twice", BlockFormat::Dxt5, dxt5Counting, counting},
        {"DXT5 equal endpoints, index 0", BlockFormat::Dxt5, dxt5Equal, equal},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = c.alpha;
        bytes.insert(bytes.end(), allIndexThree.begin(), allIndexThree.end());
        const std::array<Pixel, 16> importer = decodeWithImporter(c.format, bytes);
        const std::array<Pixel, 16> ours = reference::block(referenceFormat(c.format), bytes.data());
        for (size_t k = 0; k < 16; ++k) {
            const Pixel expected = {170, 170, 170, c.expected[k]};
            EXPECT_EQ(importer[k], expected) << "pixel " << k;
            EXPECT_EQ(ours[k], expected) << "reference pixel " << k;
        }
    }
}

// Random blocks: half of them are three-colour, which exercises index 3;
// a DXT5 normal map's every alpha and green make a normal.
TEST(Blocks, RandomBlocksMatchTheReference) {
    using B = BlockFormat;
    for (BlockFormat format : {B::Dxt1, B::Dxt3, B::Dxt5, B::Dxt5Normal}) {
        SCOPED_TRACE(ddsIndex(format));
        const size_t size = format == BlockFormat::Dxt1 ? 8 : 16;
        const std::vector<uint8_t> data = randomBytes(size * 2000, 40 + ddsIndex(format));
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
    for (BlockFormat format : {BlockFormat::Dxt1, BlockFormat::Dxt3, BlockFormat::Dxt5}) {
        for (int bytesPerPixel : {4, 3}) {
            for (uint32_t blockCount : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 16u, 33u}) {
                SCOPED_TRACE(testing::Message() << "format " << ddsIndex(format) << ", " << bytesPerPixel << " bytes, "
                                                << blockCount << " blocks");
                const size_t size = format == BlockFormat::Dxt1 ? 8 : 16;
                const std::vector<uint8_t> blocks = randomBytes(
                    size * blockCount, 100 * blockCount + ddsIndex(format) + static_cast<uint32_t>(bytesPerPixel));
                const size_t rowBytes = 4 * blockCount * static_cast<size_t>(bytesPerPixel);
                std::vector<std::vector<uint8_t>> rows(4, std::vector<uint8_t>(rowBytes + 5, 0x3C));
                uint8_t *const pointers[4] = {rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()};
                ddsBlockRowKernel(format, bytesPerPixel)(blocks.data(), blockCount, pointers);
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

// Hand-worked BC4 and BC5 blocks.  Index bytes 88 C6 FA, twice, give
// pixels k and k + 8 index k; 88 0C 00 gives pixels 0-3 indices 0, 1, 2, 6.
// Tables as DXT5's: 255 over 0 steps down by sevenths (218, 182, 145,
// 109, 72, 36); 50 under 100 by fifths, then 0 and 255.  Signed endpoints
// move up by 128: 0x80 (-128) and 0x81 (-127) to 1, 0x00 to 128, 0x7F
// (127) to 255.  Normal blue: (128, 128) -> 254.998 -> 255; (255, 128) and
// (0, 0) -> 127.5 -> 128; (153, 128) -> 252.42 -> 252.
TEST(Blocks, RgtcHandWorkedBlocks) {
    auto grey = [](uint8_t v) { return Pixel{v, v, v, 255}; };
    const std::vector<uint8_t> counting = {0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};
    auto channel = [&counting](uint8_t e0, uint8_t e1, std::vector<uint8_t> indices = {}) {
        std::vector<uint8_t> bytes = {e0, e1};
        if (indices.empty()) indices = counting;
        bytes.insert(bytes.end(), indices.begin(), indices.end());
        return bytes;
    };
    auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t> &b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<uint8_t> normalIndices = {0x88, 0x0C, 0x00, 0x88, 0x0C, 0x00};
    const std::vector<uint8_t> zeros(6, 0), sixAt3 = {0x00, 0x0C, 0x00, 0x00, 0x0C, 0x00};
    struct Case {
        const char *name;
        BlockFormat format;
        std::vector<uint8_t> block;
        std::array<Pixel, 8> pixels;  // pixel k and k + 8
    } cases[] = {
        {"BC4 255 over 0", BlockFormat::Bc4, channel(255, 0),
         {{grey(255), grey(0), grey(218), grey(182), grey(145), grey(109), grey(72), grey(36)}}},
        {"BC4 signed -128 and -127: both 1", BlockFormat::Bc4Signed, channel(0x80, 0x81),
         {{grey(1), grey(1), grey(1), grey(1), grey(1), grey(1), grey(0), grey(255)}}},
        {"BC4 signed 127 over 0: 255 over 128", BlockFormat::Bc4Signed, channel(0x7F, 0x00),
         {{grey(255), grey(128), grey(236), grey(218), grey(200), grey(182), grey(164), grey(146)}}},
        {"BC5 255 over 0, 50 under 100", BlockFormat::Bc5, join(channel(255, 0), channel(50, 100)),
         {{{255, 50, 0, 255}, {0, 100, 0, 255}, {218, 60, 0, 255}, {182, 70, 0, 255}, {145, 80, 0, 255},
           {109, 90, 0, 255}, {72, 0, 0, 255}, {36, 255, 0, 255}}}},
        {"BC5 signed: -127 index 0, 0 over -128: 128 over 1", BlockFormat::Bc5Signed,
         join(channel(0x81, 0x7F, zeros), channel(0x00, 0x80)),
         {{{1, 128, 0, 255}, {1, 1, 0, 255}, {1, 109, 0, 255}, {1, 91, 0, 255}, {1, 73, 0, 255}, {1, 55, 0, 255},
           {1, 37, 0, 255}, {1, 19, 0, 255}}}},
        {"BC5 normal", BlockFormat::Bc5Normal, join(channel(128, 255, normalIndices), channel(128, 128, sixAt3)),
         {{{128, 128, 255, 255}, {255, 128, 128, 255}, {153, 128, 252, 255}, {0, 0, 128, 255},
           {128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}}}},
        {"BC5 signed normal: 0 and 127 are 128 and 255", BlockFormat::Bc5SignedNormal,
         join(channel(0x00, 0x7F, normalIndices), channel(0x00, 0x00, zeros)),
         {{{128, 128, 255, 255}, {255, 128, 128, 255}, {153, 128, 252, 255}, {0, 128, 128, 255},
           {128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}, {128, 128, 255, 255}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.block.size(), ddsBlockBytes(c.format));
        uint8_t out[4 * 20];
        std::memset(out, 0xA5, sizeof out);
        ddsDecodeBlock(c.format, c.block.data(), out, 20);
        for (size_t i = 0; i < 16; ++i) {
            const uint8_t *p = &out[(i / 4) * 20 + 4 * (i % 4)];
            EXPECT_EQ((Pixel{p[0], p[1], p[2], p[3]}), c.pixels[i % 8]) << "pixel " << i;
        }
        for (size_t r = 0; r < 4; ++r) EXPECT_EQ(out[r * 20 + 16], 0xA5) << "row " << r;
    }
}

// A 16-byte block from fields written one after another from bit 0 up,
// each value's low bit first.
struct BitField {
    uint32_t value;
    unsigned bits;
};
std::array<uint8_t, 16> packFields(std::initializer_list<BitField> fields) {
    std::array<uint8_t, 16> block{};
    unsigned position = 0;
    for (const BitField &f : fields) {
        for (unsigned b = 0; b < f.bits; ++b, ++position) {
            // Fields wider than 32 bits are zero padding above bit 31.
            if (position < 128 && b < 32 && (f.value >> b & 1))
                block[position / 8] = static_cast<uint8_t>(block[position / 8] | 1 << position % 8);
        }
    }
    EXPECT_EQ(position, 128u) << "the fields fill the block";
    return block;
}

// One block through every tier's kernel that this build and processor
// have (four bytes a pixel), as 4 x 4 RGBA pixels, with the tier's name.
std::vector<std::pair<std::string, std::array<Pixel, 16>>> everyTier(BlockFormat format, const uint8_t *block) {
    std::vector<std::pair<std::string, std::array<Pixel, 16>>> all;
    for (KernelTier tier : {KernelTier::Plain, KernelTier::Portable, KernelTier::Sse2, KernelTier::Avx2}) {
        const BlockRowKernel kernel = ddsBlockRowKernelOfTier(format, 4, tier);
        if (kernel == nullptr) continue;
        uint8_t out[4][16];
        uint8_t *const rows[4] = {out[0], out[1], out[2], out[3]};
        kernel(block, 1, rows);
        std::array<Pixel, 16> pixels;
        for (size_t i = 0; i < 16; ++i) std::copy_n(&out[i / 4][4 * (i % 4)], 4, pixels[i].begin());
        all.push_back({"tier " + std::to_string(static_cast<int>(tier)), pixels});
    }
    return all;
}

// Hand-worked BC7 blocks.  Mode 6: 7-bit endpoints plus a p-bit make
// 8 bits; index 8 has weight 34, ((64 - 34) * e0 + 34 * e1 + 32) >> 6.
// Mode 4: 5-bit colour (31 -> 255, 16 -> 132) and 6-bit alpha (63 -> 255)
// widened by repeating the top bits; rotation 1 swaps red and alpha.
TEST(Blocks, Bc7HandWorkedBlocks) {
    const Pixel e0 = {255, 1, 129, 255}, e1 = {1, 255, 129, 255}, mid = {120, 136, 129, 255};
    const Pixel r0 = {0, 0, 132, 255};
    struct Case {
        const char *name;
        std::array<uint8_t, 16> block;
        std::array<Pixel, 16> expected;
    } cases[] = {
        {"mode 6, indices 0, then 15 at pixel 1 and 8 at pixel 2",
         packFields({{0x40, 7}, {127, 7}, {0, 7}, {0, 7}, {127, 7}, {64, 7}, {64, 7}, {127, 7}, {127, 7},
                     {1, 1}, {1, 1}, {0, 3}, {15, 4}, {8, 4}, {0, 52}}),
         {{e0, e1, mid, e0, e0, e0, e0, e0, e0, e0, e0, e0, e0, e0, e0, e0}}},
        {"reserved mode (first byte 0) with the other bits set",
         {{0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}},
         {}},
        {"mode 4, rotation 1, colour from the 2-bit indices, alpha index 7 at pixel 15",
         packFields({{0x10, 5}, {1, 2}, {0, 1}, {31, 5}, {0, 5}, {0, 5}, {0, 5}, {16, 5}, {16, 5},
                     {0, 6}, {63, 6}, {0, 31}, {0, 44}, {7, 3}}),
         {{r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, {255, 0, 132, 255}}}},
        {"mode 4, rotation 1, index selection: colour from the 3-bit indices",
         packFields({{0x10, 5}, {1, 2}, {1, 1}, {31, 5}, {0, 5}, {0, 5}, {0, 5}, {16, 5}, {16, 5},
                     {0, 6}, {63, 6}, {0, 31}, {0, 44}, {7, 3}}),
         {{r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, r0, {0, 0, 132, 0}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint8_t out[4 * 20];
        std::memset(out, 0xA5, sizeof out);
        ddsDecodeBc7Block(c.block.data(), out, 20);
        for (size_t i = 0; i < 16; ++i) {
            const uint8_t *p = &out[(i / 4) * 20 + 4 * (i % 4)];
            EXPECT_EQ((Pixel{p[0], p[1], p[2], p[3]}), c.expected[i]) << "pixel " << i;
        }
        for (size_t r = 0; r < 4; ++r) EXPECT_EQ(out[r * 20 + 16], 0xA5) << "row " << r;
        for (const auto &[tier, pixels] : everyTier(BlockFormat::Bc7, c.block.data())) EXPECT_EQ(pixels, c.expected) << tier;
    }
}

// Hand-worked BC6H blocks.  Mode 11 (00011): 10-bit endpoints as stored.
// Unsigned, 0 -> 0, 1023 -> 0xFFFF, 512 -> ((512 << 15) + 0x4000) >> 9 =
// 32800, 1 -> 96, then (c * 31) >> 6.  Signed, 1023 is -1 -> -96 and 512
// is -512 -> -0x7FFF, then 31/32 of the magnitude with the sign bit.
// Pixel 2 has index 7, weight 30: (30 * 65535 + 32) / 64 = 30720.03 (30719
// without the 32), and signed (30 * -96 + 32) / 64 = -44.5 goes down to -45.
// Mode 7 (00111): 11-bit r0 = 0 plus the 9-bit delta -1 wraps to 2047
// (unsigned: the top value, 0xFFFF) or is -1 (signed: -48 -> 0x802E);
// g 100 + 3.  Mode 11 with red 6 -> 416 and 1023: pixel 2's (34 * 416 +
// 30 * 65535 + 32) >> 6 = 30941 (30940 without the 32) is half 0x3A8B,
// byte 209, where 0x3A8A would give 208.
TEST(Blocks, Bc6hHandWorkedBlocks) {
    using Half3 = std::array<uint16_t, 3>;
    const auto mode11 = packFields({{3, 5}, {0, 10}, {512, 10}, {1, 10}, {1023, 10}, {512, 10}, {0, 10},
                                    {0, 3}, {15, 4}, {7, 4}, {0, 52}});
    const auto mode7 = packFields({{7, 5}, {0, 10}, {100, 10}, {0, 10}, {0x1FF, 9}, {0, 1}, {3, 9}, {0, 1},
                                   {0, 9}, {0, 1}, {0, 3}, {0xFFFFFFFF, 30}, {0xFFFFFFFF, 30}});
    const auto edge = packFields({{3, 5}, {6, 10}, {0, 10}, {0, 10}, {1023, 10}, {0, 10}, {0, 10},
                                  {0, 3}, {15, 4}, {7, 4}, {0, 52}});
    std::array<uint8_t, 16> reserved;
    reserved.fill(0xFF);
    reserved[0] = 0x13;  // 10011
    struct Case {
        const char *name;
        std::array<uint8_t, 16> block;
        bool isSigned;
        Half3 pixel0, pixel1, pixel2;  // pixels 3..15 as pixel 0 (mode 7: as pixel 1)
    } cases[] = {
        {"mode 11 unsigned", mode11, false, {0, 0x3E0F, 0x002E}, {0x7BFF, 0x3E0F, 0},
         {0x3A20, 0x3E0F, 0x0018}},
        {"mode 11 signed", mode11, true, {0, 0xFBFF, 0x005D}, {0x805D, 0xFBFF, 0}, {0x802B, 0xFBFF, 0x0031}},
        {"mode 11 unsigned, rounding at a byte's edge", edge, false, {0x00C9, 0, 0}, {0x7BFF, 0, 0}, {0x3A8B, 0, 0}},
        {"mode 7 unsigned", mode7, false, {0, 0x0615, 0}, {0x7BFF, 0x0644, 0}, {0x7BFF, 0x0644, 0}},
        {"mode 7 signed", mode7, true, {0, 0x0C2B, 0}, {0x802E, 0x0C88, 0}, {0x802E, 0x0C88, 0}},
        {"reserved mode 10011", reserved, false, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        {"reserved mode 10011, signed", reserved, true, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        uint16_t halves[16][3];
        std::memset(halves, 0x5A, sizeof halves);
        ddsDecodeBc6hHalves(c.block.data(), c.isSigned, halves);
        const Half3 &rest = c.block[0] == 7 ? c.pixel1 : c.pixel0;
        for (size_t i = 0; i < 16; ++i) {
            const Half3 &expected = i == 0 ? c.pixel0 : i == 1 ? c.pixel1 : i == 2 ? c.pixel2 : rest;
            EXPECT_EQ((Half3{halves[i][0], halves[i][1], halves[i][2]}), expected) << "pixel " << i;
        }
        // The 8-bit block, in every tier: each channel of the expected
        // halves through ddsHalfToUnorm8, alpha 255.
        std::array<Pixel, 16> bytes;
        for (size_t i = 0; i < 16; ++i) {
            const Half3 &expected = i == 0 ? c.pixel0 : i == 1 ? c.pixel1 : i == 2 ? c.pixel2 : rest;
            bytes[i] = {ddsHalfToUnorm8(expected[0]), ddsHalfToUnorm8(expected[1]), ddsHalfToUnorm8(expected[2]), 255};
        }
        const BlockFormat format = c.isSigned ? BlockFormat::Bc6hSigned : BlockFormat::Bc6h;
        for (const auto &[tier, pixels] : everyTier(format, c.block.data())) EXPECT_EQ(pixels, bytes) << tier;
    }
}

// Halves below 1 are N * 2^-s; 255 * N / 2^s rounds to nearest, and the
// one exact tie, 0.5 (127.5), goes up.
TEST(Blocks, HalfToUnorm8) {
    const struct {
        uint16_t half;
        uint8_t expected;
        const char *why;
    } cases[] = {
        {0x0000, 0, "+0"},
        {0x8000, 0, "-0"},
        {0x0001, 0, "smallest subnormal"},
        {0x2C00, 16, "1/16: 15.9375"},
        {0x3800, 128, "0.5: 127.5, the tie, goes up"},
        {0x3901, 159, "1281/2048: 326655/2048 = 159.4995, just below the tie"},
        {0x3902, 160, "1282/2048: 159.62"},
        {0x3BFF, 255, "2047/2048: 254.875"},
        {0x3C00, 255, "1.0"},
        {0x4000, 255, "2.0"},
        {0x7BFF, 255, "largest finite"},
        {0x7C00, 255, "+inf"},
        {0xBC00, 0, "-1.0"},
        {0xFC00, 0, "-inf"},
        {0x7E00, 0, "NaN"},
        {0xFE00, 0, "NaN with the sign bit"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ddsHalfToUnorm8(c.half), c.expected) << std::hex << c.half << " " << c.why;
}

}  // namespace
