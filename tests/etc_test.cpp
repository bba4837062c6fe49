// ETC1, ETC2 and EAC: the plain decoders and every block-row kernel against
// pixels that independent decoders gave (tests/etc/make_fixtures.py:
// etc1tool for ETC1, PVRTexToolCLI for the others), and the kernels against
// the plain decoders over random blocks of every mode.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "etc/etc.h"

namespace {

std::vector<uint8_t> readFile(const std::string &name) {
    std::ifstream in(std::string(DDSIMAGE_SOURCE_DIR) + "/tests/etc/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct NamedKernel {
    const char *name;
    BlockRowKernel kernel;
};

std::vector<NamedKernel> kernels(EtcFormat format, int bytesPerPixel) {
    std::vector<NamedKernel> all = {{"chosen", ddsEtcRowKernel(format, bytesPerPixel)},
                                    {"portable", ddsEtcRowKernelPortable(format, bytesPerPixel)}};
    if (BlockRowKernel ssse3 = ddsEtcRowKernelSsse3(format, bytesPerPixel)) all.push_back({"SSSE3", ssse3});
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

std::vector<uint8_t> plainPixels(EtcFormat format, const std::vector<uint8_t> &blocks) {
    const uint32_t blockBytes = ddsEtcBlockBytes(format);
    std::vector<uint8_t> rgba(blocks.size() / blockBytes * 64);
    for (size_t k = 0; k < blocks.size() / blockBytes; ++k)
        ddsEtcBlockDecoder(format)(blocks.data() + k * blockBytes, rgba.data() + 64 * k, 16);
    return rgba;
}

// Every decoder of `format` on `blocks` against `rgba`, 16 pixels a block.
void expectDecodersGive(EtcFormat format, const std::vector<uint8_t> &blocks, const std::vector<uint8_t> &rgba,
                        bool plainToo) {
    const uint32_t count = static_cast<uint32_t>(blocks.size() / ddsEtcBlockBytes(format));
    ASSERT_EQ(rgba.size(), count * 64u);
    if (plainToo) {
        const std::vector<uint8_t> plain = plainPixels(format, blocks);
        for (size_t k = 0; k < count; ++k)
            ASSERT_EQ(std::vector<uint8_t>(plain.data() + 64 * k, plain.data() + 64 * (k + 1)),
                      std::vector<uint8_t>(rgba.data() + 64 * k, rgba.data() + 64 * (k + 1)))
                << "plain decoder, block " << k;
    }
    for (int bytesPerPixel : {3, 4}) {
        const Rows expected = rowsOf(rgba, count, bytesPerPixel);
        for (const NamedKernel &k : kernels(format, bytesPerPixel))
            EXPECT_EQ(kernelRows(k.kernel, blocks.data(), count, bytesPerPixel), expected)
                << k.name << " kernel, " << bytesPerPixel << " bytes a pixel, " << count << " blocks";
    }
}

TEST(Etc, DecodersGiveTheIndependentDecodersPixels) {
    const std::pair<const char *, EtcFormat> fixtures[] = {
        {"etc1_random", EtcFormat::Etc1},   {"etc1_encoded", EtcFormat::Etc1},
        {"etc2_rgb", EtcFormat::Etc2Rgb},   {"etc2_punch", EtcFormat::Etc2PunchThrough},
        {"etc2_rgba", EtcFormat::Etc2Rgba}, {"eac_r11", EtcFormat::EacR11},
        {"eac_rg11", EtcFormat::EacRg11}};
    for (const auto &[name, format] : fixtures) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> blocks = readFile(std::string(name) + ".blocks");
        ASSERT_FALSE(blocks.empty());
        expectDecodersGive(format, blocks, readFile(std::string(name) + ".rgba"), true);
    }
}

// xorshift32.
struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        return state;
    }
};

bool sumInRange(uint8_t byte) {
    const int sum = (byte >> 3) + ((byte & 7) >= 4 ? (byte & 7) - 8 : byte & 7);
    return sum >= 0 && sum <= 31;
}

// A colour block of mode `mode` (0 individual or, in punch-through blocks,
// differential, 1 differential, 2 T, 3 H, 4 planar): its first three bytes
// drawn until their sums select the mode.  The differential bit (opaque bit)
// is random outside the individual mode.
void randomColorBlock(uint8_t *block, unsigned mode, bool punchThrough, Random &random) {
    for (int k = 0; k < 8; ++k) block[k] = static_cast<uint8_t>(random.next() >> 24);
    if (mode == 0 && !punchThrough) {
        block[3] &= 0xFD;
        return;
    }
    if (!punchThrough) block[3] |= 2;
    const unsigned outside = mode == 0 ? 3 : mode - 1;  // the first channel whose sum leaves 0..31, 3 for none
    for (unsigned c = 0; c < 3; ++c) {
        while (sumInRange(block[c]) != (c != outside) && c <= outside)
            block[c] = static_cast<uint8_t>(random.next() >> 24);
    }
}

void randomEacBlock(uint8_t *block, Random &random) {
    for (int k = 0; k < 8; ++k) block[k] = static_cast<uint8_t>(random.next() >> 24);
    if (random.next() % 4 == 0) block[1] &= 0x0F;  // multiplier 0
    if (random.next() % 4 == 0) block[0] = random.next() % 2 ? 255 : 0;
}

TEST(Etc, KernelsMatchThePlainDecoderOnRandomBlocksOfEveryMode) {
    for (EtcFormat format : {EtcFormat::Etc2Rgb, EtcFormat::Etc2PunchThrough, EtcFormat::Etc2Rgba, EtcFormat::EacR11,
                             EtcFormat::EacRg11}) {
        const uint32_t blockBytes = ddsEtcBlockBytes(format);
        Random random{0x5EEDu + static_cast<uint32_t>(format)};
        for (uint32_t count = 1; count <= 400; count += count < 40 ? 1 : 97) {
            std::vector<uint8_t> blocks(count * blockBytes);
            for (uint32_t k = 0; k < count; ++k) {
                uint8_t *block = blocks.data() + k * blockBytes;
                const bool eac = format == EtcFormat::EacR11 || format == EtcFormat::EacRg11;
                if (eac || format == EtcFormat::Etc2Rgba) randomEacBlock(block, random);
                if (format == EtcFormat::EacRg11) randomEacBlock(block + 8, random);
                if (!eac)
                    randomColorBlock(block + blockBytes - 8, (k + count) % 5, format == EtcFormat::Etc2PunchThrough,
                                     random);
            }
            SCOPED_TRACE(testing::Message() << "format " << static_cast<int>(format) << ", " << count << " blocks");
            expectDecodersGive(format, blocks, plainPixels(format, blocks), false);
            if (HasFailure()) return;
        }
    }
}

}  // namespace
