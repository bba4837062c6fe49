// ASTC blocks of every footprint (tests/astc/blocks.bin, made by
// tests/astc/make_fixtures.py: astcenc's encodings of LDR and HDR images,
// random blocks, every block mode, every colour endpoint mode with 1 to 4
// partitions and 1 or 2 planes, void extents) through the plain decoder,
// each block's bytes against those ARM's astcenc decodes it to (by their
// 32-bit FNV-1a hash, which the fixtures hold), and the portable and SSE2
// block-row kernels too.  The kernels against the plain decoder, on those
// blocks and mutated ones: fast_path_test.cpp.

#include "astc/astc.h"
#include "block_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The blocks of one footprint and the FNV-1a hash of each one's expected
// RGBA bytes (rows top first).
struct Footprint {
    unsigned width, height;
    std::vector<uint8_t> blocks;
    std::vector<uint32_t> expectedHashes;
};

std::vector<Footprint> loadFixtures() {
    std::ifstream file(DDSIMAGE_SOURCE_DIR "/tests/astc/blocks.bin", std::ios::binary);
    const std::vector<uint8_t> data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<Footprint> footprints;
    for (size_t at = 0; at + 4 <= data.size();) {
        Footprint f{data[at], data[at + 1], {}, {}};
        const size_t count = data[at + 2] | size_t{data[at + 3]} << 8;
        at += 4;
        for (size_t i = 0; i < count && at + 20 <= data.size(); ++i, at += 20) {
            f.blocks.insert(f.blocks.end(), data.begin() + static_cast<ptrdiff_t>(at),
                            data.begin() + static_cast<ptrdiff_t>(at + 16));
            f.expectedHashes.push_back(data[at + 16] | uint32_t{data[at + 17]} << 8 | uint32_t{data[at + 18]} << 16 |
                                       uint32_t{data[at + 19]} << 24);
        }
        footprints.push_back(std::move(f));
    }
    return footprints;
}

uint32_t fnv1a(const std::vector<uint8_t> &bytes) {
    uint32_t hash = 0x811C9DC5u;
    for (uint8_t b : bytes) hash = (hash ^ b) * 0x01000193u;
    return hash;
}

std::string hex(const uint8_t *block) {
    std::string text;
    char digits[3];
    for (int i = 0; i < 16; ++i) std::snprintf(digits, sizeof digits, "%02x", block[i]), text += digits;
    return text;
}

TEST(Astc, FixturesCoverEveryFootprint) {
    const std::vector<Footprint> fixtures = loadFixtures();
    ASSERT_EQ(fixtures.size(), 14u);
    for (unsigned i = 0; i < 14; ++i) {
        const BlockShape shape = ddsBlockShape(static_cast<BlockFormat>(ddsIndex(BlockFormat::Astc4x4) + i));
        EXPECT_EQ(shape.width, fixtures[i].width);
        EXPECT_EQ(shape.height, fixtures[i].height);
        EXPECT_GE(fixtures[i].expectedHashes.size(), 100u);
    }
}

// The plain decoder, then the portable and SSE2 kernels (rows of one
// block, four bytes a pixel), in the fixtures' footprint order.
TEST(Astc, PlainDecoderMatchesAstcenc) {
    const std::vector<Footprint> fixtures = loadFixtures();
    for (unsigned i = 0; i < fixtures.size(); ++i) {
        const Footprint &f = fixtures[i];
        const BlockFormat format = static_cast<BlockFormat>(ddsIndex(BlockFormat::Astc4x4) + i);
        for (int tier : {-1, static_cast<int>(KernelTier::Portable), static_cast<int>(KernelTier::Sse2)}) {
            const BlockRowKernel kernel = tier < 0 ? nullptr : ddsBlockRowKernelOfTier(format, 4, static_cast<KernelTier>(tier));
            if (tier >= 0 && kernel == nullptr) continue;
            int failures = 0;
            for (size_t b = 0; b < f.expectedHashes.size(); ++b) {
                std::vector<uint8_t> pixels(size_t{f.width} * f.height * 4, 0x5A);
                std::vector<uint8_t *> rows;
                for (unsigned t = 0; t < f.height; ++t) rows.push_back(pixels.data() + size_t{t} * f.width * 4);
                if (kernel != nullptr)
                    kernel(&f.blocks[16 * b], 1, rows.data());
                else
                    ddsDecodeAstcBlock(&f.blocks[16 * b], f.width, f.height, pixels.data(), static_cast<ptrdiff_t>(f.width) * 4);
                if (fnv1a(pixels) != f.expectedHashes[b] && ++failures <= 5)
                    ADD_FAILURE() << f.width << "x" << f.height << " tier " << tier << " block " << b << ": "
                                  << hex(&f.blocks[16 * b]);
            }
            EXPECT_EQ(failures, 0) << f.width << "x" << f.height << ", tier " << tier;
        }
    }
}

}  // namespace
