// PVRTC1 and ATC.  PVRTC: the plain decoder against Imagination's
// PVRTexToolCLI on random levels (tests/pvrtc/), and the banded path
// (tiles, reordering, word rows) against the plain decoder on random
// levels of every small shape.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bytes.h"
#include "pvrtc.h"

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
// here) into rows of `bytesPerPixel` bytes a pixel followed by guard bytes.
// Returns the image's rows, each with its guard.
std::vector<uint8_t> decodeBanded(const std::vector<uint8_t> &level, uint32_t width, uint32_t height, bool twoBits,
                                  uint32_t side, int bytesPerPixel, size_t guard) {
    const uint32_t gridWidth = ddsPvrtcGridWidth(width, twoBits), gridHeight = ddsPvrtcGridHeight(height);
    std::vector<uint8_t> linear(level.size()), band(size_t{gridWidth} * side * 8);
    for (uint32_t first = 0; first < gridHeight; first += side) {
        for (uint32_t t = 0; t < gridWidth / side; ++t) {
            const uint64_t offset = ddsPvrtcTileOffset(t, first, side, gridWidth, gridHeight);
            std::memcpy(band.data() + size_t{t} * side * side * 8, level.data() + offset, size_t{side} * side * 8);
        }
        ddsPvrtcTilesToRows(band.data(), gridWidth, side, linear.data() + size_t{first} * gridWidth * 8);
    }
    const size_t stride = width * static_cast<size_t>(bytesPerPixel) + guard;
    std::vector<uint8_t> pixels(stride * gridHeight * 4, 0xA5);
    auto wordRow = [&](uint32_t y) { return linear.data() + size_t{y % gridHeight} * gridWidth * 8; };
    for (uint32_t y = 0; y < gridHeight; ++y) {
        uint8_t *const rows[4] = {&pixels[(4 * y) * stride], &pixels[(4 * y + 1) * stride],
                                  &pixels[(4 * y + 2) * stride], &pixels[(4 * y + 3) * stride]};
        ddsDecodePvrtcWordRow(wordRow(y + gridHeight - 1), wordRow(y), wordRow(y + 1), gridWidth, twoBits, rows, width,
                              bytesPerPixel);
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
        ASSERT_EQ(level.size(), ddsPvrtcLevelBytes(width, height, twoBits));
        int w = 0, h = 0, channels = 0;
        stbi_uc *png = stbi_load((base + ".png").c_str(), &w, &h, &channels, 4);
        ASSERT_NE(png, nullptr);
        const std::vector<uint8_t> expected(png, png + size_t{width} * height * 4);
        stbi_image_free(png);
        ASSERT_EQ(w * h, static_cast<int>(width * height));
        EXPECT_EQ(decodePlain(level, width, height, twoBits, 4, 0), expected);
        EXPECT_EQ(decodeBanded(level, width, height, twoBits, 1, 4, 0), expected);
    }
}

TEST(Pvrtc, BandedRowsMatchThePlainDecoderOnEveryShape) {
    Random random{0x9E3779B9u};
    for (bool twoBits : {false, true}) {
        for (uint32_t width = 1; width <= 16; width *= 2) {
            for (uint32_t height = 1; height <= 16; height *= 2) {
                const uint32_t gridWidth = ddsPvrtcGridWidth(width, twoBits), gridHeight = ddsPvrtcGridHeight(height);
                const std::vector<uint8_t> level = random.bytes(ddsPvrtcLevelBytes(width, height, twoBits));
                for (uint32_t side = 1; side <= gridWidth && side <= gridHeight; side *= 2) {
                    for (int bytesPerPixel : {3, 4}) {
                        SCOPED_TRACE(testing::Message() << width << " x " << height << (twoBits ? " 2bpp" : " 4bpp")
                                                        << ", tiles of " << side << ", " << bytesPerPixel);
                        EXPECT_EQ(decodeBanded(level, width, height, twoBits, side, bytesPerPixel, 5),
                                  decodePlain(level, width, height, twoBits, bytesPerPixel, 5));
                    }
                }
            }
        }
    }
}

}  // namespace
