// PVRTC1 and ATC.  PVRTC: the plain decoder against Imagination's
// PVRTexToolCLI on random levels (tests/pvrtc/), and the banded path
// (tiles, reordering, word rows) of every tier against the plain decoder
// on random levels of every small shape.  ATC: the plain decoders and the
// row kernels against blocks worked out by hand (the row kernels against
// the plain decoders on every endpoint pair: fast_path_test.cpp).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "common/bytes.h"
#include "common/cpu_features.h"
#include "pvrtc/pvrtc.h"
#include "common/simd.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace {

struct Random {  // xorshift32
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    std::vector<uint8_t> bytes(size_t count) {
        std::vector<uint8_t> out(count);
        for (uint8_t &b : out) b = static_cast<uint8_t>(next() >> 24);
        return out;
    }
};

// A level decoded the banded way: read as aligned tiles of `side` words
// a band, put into linear rows, decoded word row by word row (rows wrapped
// here; `tier` -1 the default decoder, else a KernelTier) into rows of
// `bytesPerPixel` bytes a pixel followed by guard bytes.  Returns the
// image's rows, each with its guard; empty where the tier is not available.
std::vector<uint8_t> decodeBanded(const std::vector<uint8_t> &level, uint32_t width, uint32_t height, bool twoBits,
                                  uint32_t side, int bytesPerPixel, size_t guard, int tier) {
    const uint32_t gridWidth = ddsPvrtcGridWidth(width, twoBits), gridHeight = ddsPvrtcGridHeight(height);
    std::vector<uint8_t> linear(level.size());
    for (uint32_t first = 0; first < gridHeight; first += side) {
        for (uint32_t t = 0; t < gridWidth / side; ++t) {
            const size_t offset = static_cast<size_t>(ddsPvrtcTileOffset(t, first, side, gridWidth, gridHeight));
            const std::vector<uint8_t> tile(level.begin() + static_cast<ptrdiff_t>(offset),
                                            level.begin() + static_cast<ptrdiff_t>(offset + size_t{side} * side * 8));
            ddsPvrtcTileToRows(tile.data(), side, 0, side, &linear[(size_t{first} * gridWidth + size_t{t} * side) * 8],
                               size_t{gridWidth} * 8);
        }
    }
    const size_t stride = width * static_cast<size_t>(bytesPerPixel) + guard;
    std::vector<uint8_t> pixels(stride * gridHeight * 4, 0xA5);
    auto wordRow = [&](uint32_t y) { return linear.data() + size_t{y % gridHeight} * gridWidth * 8; };
    for (uint32_t y = 0; y < gridHeight; ++y) {
        uint8_t *const rows[4] = {&pixels[4 * y * stride], &pixels[(4 * y + 1) * stride],
                                  &pixels[(4 * y + 2) * stride], &pixels[(4 * y + 3) * stride]};
        const uint8_t *above = wordRow(y + gridHeight - 1), *row = wordRow(y), *below = wordRow(y + 1);
        if (tier < 0) {
            ddsDecodePvrtcWordRow(above, row, below, gridWidth, twoBits, rows, width, bytesPerPixel);
        } else if (!ddsDecodePvrtcWordRowTier(static_cast<KernelTier>(tier), above, row, below, gridWidth, twoBits,
                                              rows, width, bytesPerPixel)) {
            return {};
        }
    }
    pixels.resize(stride * height);
    return pixels;
}

// The plain decoder's pixels in the same shape.
std::vector<uint8_t> decodePlain(const std::vector<uint8_t> &level, uint32_t width, uint32_t height, bool twoBits,
                                 int bytesPerPixel, size_t guard) {
    std::vector<uint8_t> rgba(size_t{width} * height * 4);
    ddsDecodePvrtcImage(level.data(), width, height, twoBits, rgba.data());
    std::vector<uint8_t> pixels;
    for (size_t p = 0; p < rgba.size() / 4; ++p) {
        pixels.insert(pixels.end(), &rgba[4 * p], &rgba[4 * p] + bytesPerPixel);
        if ((p + 1) % width == 0) pixels.insert(pixels.end(), guard, 0xA5);
    }
    return pixels;
}

TEST(Pvrtc, MatchesImaginationsDecoder) {
    const char *names[] = {"pvrtc4_4x4",  "pvrtc4_8x8",  "pvrtc4_32x16",  "pvrtc4_16x64",  "pvrtc4_64x64",
                           "pvrtc2_8x4", "pvrtc2_16x8", "pvrtc2_64x16", "pvrtc2_16x32", "pvrtc2_64x64"};
    for (const char *name : names) {
        SCOPED_TRACE(name);
        const std::string base = std::string(DDSIMAGE_SOURCE_DIR) + "/tests/pvrtc/" + name;
        std::ifstream in(base + ".pvr", std::ios::binary);
        const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_GT(file.size(), 52u);
        const uint32_t height = ddsLoad32(&file[24]), width = ddsLoad32(&file[28]);
        const bool twoBits = ddsLoad32(&file[8]) == 1;
        const std::vector<uint8_t> level(file.begin() + 52, file.end());
        ASSERT_EQ(level.size(), size_t{ddsPvrtcGridWidth(width, twoBits)} * ddsPvrtcGridHeight(height) * 8);
        int w = 0, h = 0, channels = 0;
        stbi_uc *png = stbi_load((base + ".png").c_str(), &w, &h, &channels, 4);
        ASSERT_NE(png, nullptr);
        const std::vector<uint8_t> expected(png, png + size_t{width} * height * 4);
        stbi_image_free(png);
        ASSERT_EQ(w * h, static_cast<int>(width * height));
        EXPECT_EQ(decodePlain(level, width, height, twoBits, 4, 0), expected);
        for (int tier : {-1, static_cast<int>(KernelTier::Portable), static_cast<int>(KernelTier::Ssse3)}) {
            const auto banded = decodeBanded(level, width, height, twoBits, 2, 4, 0, tier);
            if (banded.empty()) continue;  // a tier this build or processor lacks
            EXPECT_EQ(banded, expected) << "tier " << tier;
        }
    }
}

TEST(Pvrtc, BandedRowsMatchThePlainDecoderOnEveryShape) {
#if defined(DDS_HAVE_SSSE3)
    // The SSSE3 tier is built in; where the processor has SSSE3 it runs.
    EXPECT_EQ(decodeBanded(std::vector<uint8_t>(32), 4, 4, false, 1, 4, 0, static_cast<int>(KernelTier::Ssse3)).empty(),
              !ddsCpuHasSsse3());
    ddsAllowCpuExtensions(false);  // and where it is not allowed, it does not
    EXPECT_TRUE(
        decodeBanded(std::vector<uint8_t>(32), 4, 4, false, 1, 4, 0, static_cast<int>(KernelTier::Ssse3)).empty());
    ddsAllowCpuExtensions(true);
#endif
    Random random{0x9E3779B9u};
    for (bool twoBits : {false, true}) {
        for (uint32_t width = 1; width <= 16; width *= 2) {
            for (uint32_t height = 1; height <= 16; height *= 2) {
                const uint32_t gridWidth = ddsPvrtcGridWidth(width, twoBits), gridHeight = ddsPvrtcGridHeight(height);
                const std::vector<uint8_t> level = random.bytes(size_t{gridWidth} * gridHeight * 8);
                for (uint32_t side = 1; side <= gridWidth && side <= gridHeight; side *= 2) {
                    for (int bytesPerPixel : {3, 4}) {
                        SCOPED_TRACE(testing::Message() << width << " x " << height << (twoBits ? " 2bpp" : " 4bpp")
                                                        << ", tiles of " << side << ", " << bytesPerPixel);
                        const auto plain = decodePlain(level, width, height, twoBits, bytesPerPixel, 5);
                        for (int tier : {-1, static_cast<int>(KernelTier::Portable), static_cast<int>(KernelTier::Ssse3)}) {
                            const auto banded =
                                decodeBanded(level, width, height, twoBits, side, bytesPerPixel, 5, tier);
                            if (banded.empty()) continue;
                            EXPECT_EQ(banded, plain) << "tier " << tier;
                        }
                    }
                }
            }
        }
    }
}

// Hand-worked blocks.  Colour indices: row 0 is 0, 1, 2, 3, row 1 3, 2, 1,
// 0, row 2 all 0, row 3 all 3; interpolated alpha indices: pixel i has
// i % 8.  Mode 0: c0 = 0x7C0A (31, 0, 10 -> 255, 0, 82), c1 = 0x07F4
// (0, 63, 20 -> 0, 255, 165): (5 c0 + 3 c1) >> 3 = (1275, 765, 905) >> 3,
// (3 c0 + 5 c1) >> 3 = (765, 1275, 1071) >> 3.  Mode 1: c0 = 0xD145
// (20, 10, 5 -> 165, 82, 41), c1 = 0xF91F (31, 8, 31 -> 255, 32, 255):
// c0 - (c1 >> 2) = (165 - 63, 82 - 8, 41 - 63 -> 0).  Alpha 200, 10:
// (6 * 200 + 10 + 3) / 7 = 173 ...; 11, 200: (4 * 11 + 200 + 2) / 5 = 49 ...
struct AtcCase {
    const char *name;
    BlockFormat format;
    uint8_t block[16];
    uint8_t palette[4][3];
    int alpha[8];  // by interpolated index; -1: explicit (pixel i: 17 i); 255: none
};

const AtcCase atcCases[] = {
    {"mode 0", BlockFormat::AtcRgb, {0x0A, 0x7C, 0xF4, 0x07, 0xE4, 0x1B, 0x00, 0xFF},
     {{255, 0, 82}, {159, 95, 113}, {95, 159, 133}, {0, 255, 165}}, {255, 255, 255, 255, 255, 255, 255, 255}},
    {"mode 1", BlockFormat::AtcRgb, {0x45, 0xD1, 0x1F, 0xF9, 0xE4, 0x1B, 0x00, 0xFF},
     {{0, 0, 0}, {102, 74, 0}, {165, 82, 41}, {255, 32, 255}}, {255, 255, 255, 255, 255, 255, 255, 255}},
    {"explicit", BlockFormat::AtcExplicitAlpha,
     {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x0A, 0x7C, 0xF4, 0x07, 0xE4, 0x1B, 0x00, 0xFF},
     {{255, 0, 82}, {159, 95, 113}, {95, 159, 133}, {0, 255, 165}}, {-1}},
    {"interpolated, 7 steps", BlockFormat::AtcInterpolatedAlpha,
     {200, 10, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x45, 0xD1, 0x1F, 0xF9, 0xE4, 0x1B, 0x00, 0xFF},
     {{0, 0, 0}, {102, 74, 0}, {165, 82, 41}, {255, 32, 255}}, {200, 10, 173, 146, 119, 91, 64, 37}},
    {"interpolated, 5 steps", BlockFormat::AtcInterpolatedAlpha,
     {11, 200, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x0A, 0x7C, 0xF4, 0x07, 0xE4, 0x1B, 0x00, 0xFF},
     {{255, 0, 82}, {159, 95, 113}, {95, 159, 133}, {0, 255, 165}}, {11, 200, 49, 87, 124, 162, 0, 255}},
    {"interpolated, equal ends: 5 steps", BlockFormat::AtcInterpolatedAlpha,
     {100, 100, 0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA, 0x0A, 0x7C, 0xF4, 0x07, 0xE4, 0x1B, 0x00, 0xFF},
     {{255, 0, 82}, {159, 95, 113}, {95, 159, 133}, {0, 255, 165}}, {100, 100, 100, 100, 100, 100, 0, 255}},
};

TEST(Atc, HandWorkedBlocks) {
    const int colourIndex[16] = {0, 1, 2, 3, 3, 2, 1, 0, 0, 0, 0, 0, 3, 3, 3, 3};
    for (const AtcCase &c : atcCases) {
        // The plain decoder, then the portable and SSSE3 kernels at four
        // bytes a pixel.
        for (int tier : {-1, static_cast<int>(KernelTier::Portable), static_cast<int>(KernelTier::Ssse3)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", tier " << tier);
            const BlockRowKernel kernel =
                tier < 0 ? nullptr : ddsBlockRowKernelOfTier(c.format, 4, static_cast<KernelTier>(tier));
            if (tier >= 0 && kernel == nullptr) continue;
            uint8_t out[4 * 20];
            std::memset(out, 0x5A, sizeof out);
            uint8_t *const rows[4] = {out, out + 20, out + 40, out + 60};
            if (kernel != nullptr)
                kernel(c.block, 1, rows);
            else
                ddsDecodeBlock(c.format, c.block, out, 20);
            for (int i = 0; i < 16; ++i) {
                const uint8_t *p = out + (i / 4) * 20 + (i % 4) * 4;
                const uint8_t *e = c.palette[colourIndex[i]];
                const int alpha = c.alpha[0] == -1 ? 17 * i : c.alpha[i % 8];
                EXPECT_EQ(std::vector<int>(p, p + 4), (std::vector<int>{e[0], e[1], e[2], alpha})) << "pixel " << i;
            }
            EXPECT_EQ(out[16], 0x5A);  // nothing past the block's row
        }
    }
}

}  // namespace
