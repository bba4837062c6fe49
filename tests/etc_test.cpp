// ETC1, ETC2 and EAC: the plain decoders and every block-row kernel against
// pixels that independent decoders gave (tests/etc/make_fixtures.py:
// etc1tool for ETC1, PVRTexToolCLI for the others).  The kernels against
// the plain decoders on random blocks of every mode: fast_path_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "etc/etc_rules.h"

namespace {

std::vector<uint8_t> readFile(const std::string &name) {
    std::ifstream in(std::string(DDSIMAGE_SOURCE_DIR) + "/tests/etc/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using B = BlockFormat;

struct NamedKernel {
    const char *name;
    BlockRowKernel kernel;
};

std::vector<NamedKernel> kernels(BlockFormat format, int bytesPerPixel) {
    std::vector<NamedKernel> all = {{"chosen", ddsBlockRowKernel(format, bytesPerPixel)},
                                    {"portable", ddsBlockRowKernelOfTier(format, bytesPerPixel, KernelTier::Portable)}};
    if (BlockRowKernel ssse3 = ddsBlockRowKernelOfTier(format, bytesPerPixel, KernelTier::Ssse3)) all.push_back({"SSSE3", ssse3});
    return all;
}

// Four rows of `count` blocks at `bytesPerPixel`, from the 16 RGBA pixels
// of each block (row by row), followed by guard bytes.
using Rows = std::vector<std::vector<uint8_t>>;
const size_t Guard = 5;

Rows rowsOf(const std::vector<uint8_t> &rgba, uint32_t count, int bytesPerPixel) {
    Rows rows(4, std::vector<uint8_t>(count * 4u * static_cast<size_t>(bytesPerPixel) + Guard, 0xA7));
    for (uint32_t k = 0; k < count; ++k)
        for (size_t y = 0; y < 4; ++y)
            for (size_t x = 0; x < 4; ++x)
                for (size_t c = 0; c < static_cast<size_t>(bytesPerPixel); ++c)
                    rows[y][(4 * k + x) * static_cast<size_t>(bytesPerPixel) + c] = rgba[64 * k + 16 * y + 4 * x + c];
    return rows;
}

Rows kernelRows(BlockRowKernel kernel, const uint8_t *blocks, uint32_t count, int bytesPerPixel) {
    Rows rows(4, std::vector<uint8_t>(count * 4u * static_cast<size_t>(bytesPerPixel) + Guard, 0xA7));
    uint8_t *const pointers[4] = {rows[0].data(), rows[1].data(), rows[2].data(), rows[3].data()};
    kernel(blocks, count, pointers);
    return rows;
}

std::vector<uint8_t> plainPixels(BlockFormat format, const std::vector<uint8_t> &blocks) {
    const uint32_t blockBytes = ddsBlockBytes(format);
    std::vector<uint8_t> rgba(blocks.size() / blockBytes * 64);
    for (size_t k = 0; k < blocks.size() / blockBytes; ++k)
        ddsDecodeBlock(format, blocks.data() + k * blockBytes, rgba.data() + 64 * k, 16);
    return rgba;
}

// Every decoder of `format` on `blocks` against `rgba`, 16 pixels a block.
void expectDecodersGive(BlockFormat format, const std::vector<uint8_t> &blocks, const std::vector<uint8_t> &rgba) {
    const uint32_t count = static_cast<uint32_t>(blocks.size() / ddsBlockBytes(format));
    ASSERT_EQ(rgba.size(), count * 64u);
    const std::vector<uint8_t> plain = plainPixels(format, blocks);
    size_t firstWrong = count;  // the kernels are checked whatever the plain decoder gives
    for (size_t k = count; k-- > 0;)
        if (std::memcmp(plain.data() + 64 * k, rgba.data() + 64 * k, 64) != 0) firstWrong = k;
    EXPECT_EQ(firstWrong, count) << "plain decoder, first block unlike the independent decoder's";
    for (int bytesPerPixel : {3, 4}) {
        const Rows expected = rowsOf(rgba, count, bytesPerPixel);
        for (const NamedKernel &k : kernels(format, bytesPerPixel))
            EXPECT_EQ(kernelRows(k.kernel, blocks.data(), count, bytesPerPixel), expected)
                << k.name << " kernel, " << bytesPerPixel << " bytes a pixel, " << count << " blocks";
    }
}

TEST(Etc, DecodersGiveTheIndependentDecodersPixels) {
    // ETC1 decodes as ETC2 RGB.
    const std::pair<const char *, BlockFormat> fixtures[] = {
        {"etc1_random", B::Etc2Rgb}, {"etc1_encoded", B::Etc2Rgb}, {"etc2_rgb", B::Etc2Rgb},
        {"etc2_punch", B::Etc2PunchThrough}, {"etc2_rgba", B::Etc2Rgba}, {"eac_r11", B::EacR11},
        {"eac_rg11", B::EacRg11}};
    for (const auto &[name, format] : fixtures) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> blocks = readFile(std::string(name) + ".blocks");
        ASSERT_FALSE(blocks.empty());
        expectDecodersGive(format, blocks, readFile(std::string(name) + ".rgba"));
    }
}

// Every 11-bit value that R11 blocks of multiplier 0 reach (base * 8 + 4
// plus each modifier of each table, clamped to 0..2047: all 2048 of them),
// against round(255 v / 2047) worked out here in floating point.
TEST(Etc, ElevenBitValuesRoundToTheNearestByte) {
    std::vector<uint8_t> blocks, rgba;
    for (int base = 0; base < 256; ++base) {
        for (int table = 0; table < 16; ++table) {
            // Pixel i = 4x + y has index i % 8.
            const uint8_t block[8] = {uint8_t(base), uint8_t(table), 0x05, 0x39, 0x77, 0x05, 0x39, 0x77};
            blocks.insert(blocks.end(), block, block + 8);
            for (int p = 0; p < 16; ++p) {
                const int modifier = kEacModifiers[table][(4 * (p % 4) + p / 4) % 8];
                const int v = std::min(2047, std::max(0, base * 8 + 4 + modifier));
                const auto byte = static_cast<uint8_t>(std::floor(v * 255.0 / 2047 + 0.5));
                rgba.insert(rgba.end(), {byte, byte, byte, 255});
            }
        }
    }
    expectDecodersGive(B::EacR11, blocks, rgba);
}

}  // namespace
