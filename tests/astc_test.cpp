// ASTC blocks of every footprint (tests/astc/blocks.bin, made by
// tests/astc/make_fixtures.py: astcenc's encodings of LDR and HDR images,
// random blocks, every block mode, every colour endpoint mode with 1 to 4
// partitions and 1 or 2 planes, void extents) through the plain decoder,
// each block's bytes against those ARM's astcenc decodes it to (by their
// 32-bit FNV-1a hash, which the fixtures hold); and every block-row kernel
// against the plain decoder byte for byte, on those blocks and on mutated
// ones.

#include "astc/astc.h"

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

// The footprint's blocks side by side through the plain decoder: height
// rows of RGBA pixels, block b at column width * b.
std::vector<std::vector<uint8_t>> plainRows(const Footprint &f) {
    const size_t count = f.blocks.size() / 16;
    std::vector<std::vector<uint8_t>> rows(f.height, std::vector<uint8_t>(count * f.width * 4));
    for (size_t b = 0; b < count; ++b) {
        std::vector<uint8_t> block(size_t{f.width} * f.height * 4);
        const ptrdiff_t stride = static_cast<ptrdiff_t>(f.width) * 4;
        ddsDecodeAstcBlock(&f.blocks[16 * b], f.width, f.height, block.data(), stride);
        for (unsigned t = 0; t < f.height; ++t)
            std::copy_n(block.begin() + static_cast<ptrdiff_t>(t) * stride, stride, rows[t].begin() + static_cast<ptrdiff_t>(b) * stride);
    }
    return rows;
}

TEST(Astc, FixturesCoverEveryFootprint) {
    const std::vector<Footprint> fixtures = loadFixtures();
    ASSERT_EQ(fixtures.size(), 14u);
    for (unsigned i = 0; i < 14; ++i) {
        unsigned width = 0, height = 0;
        ASSERT_TRUE(ddsAstcFootprint(i, &width, &height));
        EXPECT_EQ(width, fixtures[i].width);
        EXPECT_EQ(height, fixtures[i].height);
        EXPECT_GE(fixtures[i].expectedHashes.size(), 100u);
    }
    unsigned width = 0, height = 0;
    EXPECT_FALSE(ddsAstcFootprint(14, &width, &height));
    EXPECT_EQ(ddsAstcRowKernel(7, 7, 4), nullptr);
    EXPECT_EQ(ddsAstcRowKernel(4, 4, 2), nullptr);
}

TEST(Astc, PlainDecoderMatchesAstcenc) {
    for (const Footprint &f : loadFixtures()) {
        int failures = 0;
        for (size_t b = 0; b < f.expectedHashes.size(); ++b) {
            std::vector<uint8_t> pixels(size_t{f.width} * f.height * 4, 0x5A);
            ddsDecodeAstcBlock(&f.blocks[16 * b], f.width, f.height, pixels.data(), static_cast<ptrdiff_t>(f.width) * 4);
            if (fnv1a(pixels) != f.expectedHashes[b] && ++failures <= 5)
                ADD_FAILURE() << f.width << "x" << f.height << " block " << b << ": " << hex(&f.blocks[16 * b]);
        }
        EXPECT_EQ(failures, 0) << f.width << "x" << f.height;
    }
}

// Every kernel tier at 3 and 4 bytes a pixel against the plain decoder, on
// all of the footprint's blocks as one row between guard bytes.
void expectKernelsMatchPlainDecoder(const Footprint &f) {
    const struct {
        const char *name;
        BlockRowKernel (*lookup)(unsigned, unsigned, int);
    } tiers[] = {{"best", &ddsAstcRowKernel}, {"portable", &ddsAstcRowKernelPortable}, {"SSE2", &ddsAstcRowKernelSse2}};
    const std::vector<std::vector<uint8_t>> plain = plainRows(f);
    const uint32_t count = static_cast<uint32_t>(f.blocks.size() / 16);
    for (int bytesPerPixel : {3, 4}) {
        for (const auto &tier : tiers) {
            const BlockRowKernel kernel = tier.lookup(f.width, f.height, bytesPerPixel);
            if (kernel == nullptr && tier.lookup == &ddsAstcRowKernelSse2) continue;
            ASSERT_NE(kernel, nullptr) << tier.name;
            const size_t pixelBytes = static_cast<size_t>(bytesPerPixel);
            std::vector<std::vector<uint8_t>> rows(f.height, std::vector<uint8_t>(count * f.width * pixelBytes + 8, 0xA5));
            std::vector<uint8_t *> pointers;
            for (auto &row : rows) pointers.push_back(row.data());
            kernel(f.blocks.data(), count, pointers.data());
            for (unsigned t = 0; t < f.height; ++t) {
                std::vector<uint8_t> expected;
                for (size_t i = 0; i < plain[t].size(); i += 4)
                    expected.insert(expected.end(), plain[t].begin() + static_cast<ptrdiff_t>(i),
                                    plain[t].begin() + static_cast<ptrdiff_t>(i + pixelBytes));
                expected.insert(expected.end(), 8, 0xA5);  // the guard bytes, untouched
                const size_t at = static_cast<size_t>(
                    std::mismatch(rows[t].begin(), rows[t].end(), expected.begin()).first - rows[t].begin());
                const size_t block = at / (f.width * pixelBytes);
                ASSERT_EQ(at, rows[t].size()) << tier.name << ", " << f.width << "x" << f.height << ", " << bytesPerPixel
                                              << " bytes a pixel, row " << t << ", block " << block << ": "
                                              << (block < count ? hex(&f.blocks[16 * block]) : "past the end");
            }
        }
    }
}

TEST(Astc, RowKernelsMatchThePlainDecoder) {
    uint32_t state = 0x2545F491u;  // xorshift32
    auto next = [&state] {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        return state;
    };
    for (const Footprint &f : loadFixtures()) {
        expectKernelsMatchPlainDecoder(f);
        // 2000 random blocks, two in three under the first 32 bits (mode,
        // partitions, seed, endpoint modes) of a fixture block.
        Footprint mutated{f.width, f.height, std::vector<uint8_t>(2000 * 16), {}};
        for (size_t b = 0; b < 2000; ++b) {
            for (size_t i = 0; i < 16; ++i) mutated.blocks[16 * b + i] = static_cast<uint8_t>(next() >> 24);
            if (next() % 3 != 0) std::copy_n(&f.blocks[16 * (next() % (f.blocks.size() / 16))], 4, &mutated.blocks[16 * b]);
        }
        expectKernelsMatchPlainDecoder(mutated);
    }
}

}  // namespace
