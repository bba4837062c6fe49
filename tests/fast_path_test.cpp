// The fast paths of the decoders against the plain implementations kept
// beside them, byte for byte, over random data of every shape; and the
// working memory of the whole import, which must not grow with the image's
// height and only with one row's width.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "block_kernels.h"
#include "common/cpu_features.h"
#include "dds_builder.h"
#include "header.h"
#include "decode_threads.h"
#include "host_decode.h"
#include "parallel_decode.h"
#include "plugin_fixture.h"
#include "common/simd.h"
#include "top_level.h"
#include "layout_kernels.h"
#include "reference_decoder.h"

namespace {

// xorshift32, seeded per case.
struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    uint8_t byte() { return static_cast<uint8_t>(next() >> 24); }
};

// Blocks that reach every branch: random bytes, endpoints equal, in both
// orders, extreme endpoints, DXT5 alpha (and BC4/BC5 channel) endpoints
// equal and swapped, and the signed endpoint -128 (0x80).  Random ETC2
// blocks take every mode (T, H and planar about one block in thirty each,
// one in sixteen in punch-through blocks), random EAC blocks every
// multiplier.
using B = BlockFormat;

bool isRgtc(BlockFormat format) { return format >= B::Bc4 && format <= B::Bc5SignedNormal; }

// ASTC: each block from tests/astc/blocks.bin (astcenc's encodings, every
// block mode, endpoint mode, partition count and plane count, void extents)
// of the format's footprint, or random bytes under the first 32 bits
// (mode, partitions, seed, endpoint modes) of one of them, or random.
void astcBlock(const std::vector<uint8_t> &fixtures, uint8_t *block, Random &random) {
    const size_t fixture = 16 * (random.next() % (fixtures.size() / 16));
    switch (random.next() % 3) {
        case 0: std::copy_n(&fixtures[fixture], 16, block); break;
        case 1: std::copy_n(&fixtures[fixture], 4, block); break;
        default: break;
    }
}

std::vector<uint8_t> randomBlocks(BlockFormat format, uint32_t count, Random &random) {
    const uint32_t blockBytes = ddsBlockBytes(format);
    std::vector<uint8_t> bytes(static_cast<size_t>(count) * blockBytes);
    for (uint8_t &b : bytes) b = random.byte();
    const std::vector<uint8_t> fixtures = isAstc(format) ? astcFixtureBlocks(ddsBlockShape(format).width, ddsBlockShape(format).height)
                                                            : std::vector<uint8_t>{};
    if (isAstc(format) && fixtures.empty()) ADD_FAILURE() << "no fixture blocks of format " << ddsIndex(format);
    const size_t colorOffset = blockBytes - 8;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t *block = bytes.data() + static_cast<size_t>(i) * blockBytes;
        if (isAstc(format)) {
            if (!fixtures.empty()) astcBlock(fixtures, block, random);
            continue;
        }
        uint8_t *color = block + colorOffset;
        switch (random.next() % 6) {
            case 0: color[2] = color[0], color[3] = color[1]; break;  // color0 == color1
            case 1: color[0] = color[1] = 0xFF; color[2] = color[3] = 0; break;
            case 2: color[0] = color[1] = 0; color[2] = color[3] = 0xFF; break;
            default: break;
        }
        if ((format == B::Dxt5 || isRgtc(format) || format == B::AtcInterpolatedAlpha) && random.next() % 4 == 0) block[1] = block[0];
        if (isRgtc(format) && random.next() % 4 == 0) block[random.next() % 2] = 0x80;
    }
    return bytes;
}

// Decodes a row of blocks with `kernel` into the block's height of
// separate rows that start with random bytes and end with guard bytes past
// the written pixels.
template <class Kernel>
std::vector<std::vector<uint8_t>> decodeInto(Kernel kernel, BlockFormat format, const std::vector<uint8_t> &blocks,
                                             uint32_t count, int bytesPerPixel, uint32_t seed) {
    const BlockShape shape = ddsBlockShape(format);
    std::vector<std::vector<uint8_t>> rows(shape.height);
    std::vector<uint8_t *> pointers;
    Random random{seed};
    for (auto &row : rows) {
        row.resize(static_cast<size_t>(count) * shape.width * static_cast<size_t>(bytesPerPixel) + 7);
        for (uint8_t &b : row) b = random.byte();
        pointers.push_back(row.data());
    }
    kernel(blocks.data(), count, pointers.data());
    return rows;
}

struct NamedTier {
    const char *name;
    KernelTier tier;
};

const NamedTier fastTiers[] = {
    {"portable", KernelTier::Portable}, {"SSE2", KernelTier::Sse2}, {"SSSE3", KernelTier::Ssse3}, {"AVX2", KernelTier::Avx2}};

// Every tier that has a kernel for the format, and the one the import
// runs, against the plain tier: the same bytes, rows and guards alike.
testing::AssertionResult sameAsPlain(BlockFormat format, const std::vector<uint8_t> &blocks, uint32_t count,
                                     int bytesPerPixel, uint32_t seed) {
    const auto plain = decodeInto(ddsBlockRowKernelOfTier(format, bytesPerPixel, KernelTier::Plain), format, blocks,
                                  count, bytesPerPixel, seed);
    // Every tier that differs is named, not only the first.
    std::string differ;
    if (decodeInto(ddsBlockRowKernel(format, bytesPerPixel), format, blocks, count, bytesPerPixel, seed) != plain) {
        differ += " the import's kernel";
    }
    for (const NamedTier &tier : fastTiers) {
        const BlockRowKernel kernel = ddsBlockRowKernelOfTier(format, bytesPerPixel, tier.tier);
        if (kernel != nullptr && decodeInto(kernel, format, blocks, count, bytesPerPixel, seed) != plain) {
            differ += std::string(" ") + tier.name;
        }
    }
    if (!differ.empty()) return testing::AssertionFailure() << "differing from the plain tier:" << differ;
    return testing::AssertionSuccess();
}

// The tier table: every block format with kernels, and the tiers that
// must have one for it (where this build and processor have the tier).
std::vector<KernelTier> tiersOf(BlockFormat format) {
    using T = KernelTier;
    if (isAstc(format)) return {T::Portable, T::Sse2};
    if (format >= B::Etc2Rgb) return {T::Portable, T::Ssse3};
    return {T::Portable, T::Sse2, T::Ssse3};
}

std::vector<BlockFormat> tierTableFormats() {
    std::vector<BlockFormat> formats = {B::Dxt1, B::Dxt3,      B::Dxt5,      B::Bc4,           B::Bc4Signed,
                                        B::Bc5,  B::Bc5Signed, B::Bc5Normal, B::Bc5SignedNormal};
    for (unsigned f = ddsIndex(B::Etc2Rgb); f <= ddsIndex(B::Astc12x12); ++f) formats.push_back(static_cast<BlockFormat>(f));
    return formats;
}

// Whether this build and processor run `tier`.
bool haveTier(KernelTier tier) {
#if !defined(DDS_HAVE_SSE2)
    if (tier == KernelTier::Sse2) return false;
#endif
#if !defined(DDS_HAVE_SSSE3)
    if (tier == KernelTier::Ssse3) return false;
#endif
    return tier != KernelTier::Ssse3 || ddsCpuHasSsse3();
}

TEST(FastPaths, BlockRowsMatchThePlainDecoder) {
#if defined(DDS_HAVE_SSSE3)
    // The SSSE3 kernels are built in; where the processor has SSSE3 they run.
    EXPECT_EQ(ddsBlockRowKernelOfTier(B::Dxt1, 4, KernelTier::Ssse3) != nullptr, ddsCpuHasSsse3());
    EXPECT_EQ(ddsBlockRowKernel(B::Dxt1, 4), ddsBlockRowKernelOfTier(B::Dxt1, 4, KernelTier::Ssse3));
#endif
#if defined(DDS_HAVE_AVX2)
    // Likewise AVX2 for BC7, and allowing up to SSSE3 leaves SSSE3 alone.
    EXPECT_EQ(ddsBlockRowKernelOfTier(B::Bc7, 3, KernelTier::Avx2) != nullptr, ddsCpuHasAvx2());
    EXPECT_EQ(ddsBlockRowKernel(B::Bc7, 3), ddsBlockRowKernelOfTier(B::Bc7, 3, ddsCpuHasAvx2() ? KernelTier::Avx2 : KernelTier::Sse2));
    const bool ssse3 = ddsCpuHasSsse3();
    ddsAllowCpuExtensionsUpTo(CpuExtension::Ssse3);
    EXPECT_TRUE(ddsBlockRowKernelOfTier(B::Bc7, 3, KernelTier::Avx2) == nullptr && ddsCpuHasSsse3() == ssse3);
    ddsAllowCpuExtensions(true);
#endif
    for (BlockFormat format : tierTableFormats()) {
        for (KernelTier tier : tiersOf(format)) {
            // Also with the processor's extensions not allowed.
            for (bool allowed : {false, true}) {
                ddsAllowCpuExtensions(allowed);
                EXPECT_EQ(ddsBlockRowKernelOfTier(format, 4, tier) != nullptr, haveTier(tier))
                    << "format " << ddsIndex(format) << ", tier " << static_cast<int>(tier) << ", allowed " << allowed;
            }
        }
        for (int bytesPerPixel : {3, 4}) {
            for (uint32_t count = 0; count <= 40; ++count) {
                SCOPED_TRACE(testing::Message() << "format " << ddsIndex(format) << ", " << bytesPerPixel
                                                << " bytes a pixel, " << count << " blocks");
                Random random{0x1234567u + count * 977u + ddsIndex(format) * 131u +
                              static_cast<uint32_t>(bytesPerPixel)};
                const std::vector<uint8_t> blocks = randomBlocks(format, count, random);
                ASSERT_TRUE(sameAsPlain(format, blocks, count, bytesPerPixel, random.next()));
            }
        }
    }
}

TEST(FastPaths, EveryColourAndAlphaEndpointPair) {
    // Each colour endpoint pair in both modes meets every index, and every
    // DXT5 alpha (BC4/BC5 channel) pair every alpha index: 65536 blocks a
    // format, in rows of 64.  BC5's green block is its red one with the
    // endpoints swapped, so that red and green meet in every pair.
    // ATC's alpha blocks are laid out as DXT5's: every ATCI pair too.
    for (BlockFormat format : {B::Dxt1, B::Dxt3, B::Dxt5, B::Bc4, B::Bc4Signed, B::Bc5, B::Bc5Signed, B::Bc5Normal,
                               B::Bc5SignedNormal, B::AtcInterpolatedAlpha}) {
        for (int bytesPerPixel : {3, 4}) {
            const uint32_t blockBytes = ddsBlockBytes(format);
            const uint32_t count = 64;
            // Pass 0 gives every alpha pair indices 0..7 twice; pass 1 scrambles them.
            for (uint32_t pass = 0; pass < 2; ++pass)
            for (uint32_t first = 0; first < 65536; first += count) {
                std::vector<uint8_t> blocks(static_cast<size_t>(count) * blockBytes);
                for (uint32_t i = 0; i < count; ++i) {
                    const uint32_t n = first + i;
                    uint8_t *block = blocks.data() + static_cast<size_t>(i) * blockBytes;
                    uint8_t *color = format == B::Dxt1 ? block : block + 8;
                    // Endpoints from n scrambled, so both orders and equal ones occur.
                    const uint32_t c0 = (n * 2654435761u) >> 16, c1 = (n * 40503u + (n >> 3)) & 0xFFFF;
                    if (!isRgtc(format)) {
                        color[0] = static_cast<uint8_t>(c0), color[1] = static_cast<uint8_t>(c0 >> 8);
                        color[2] = static_cast<uint8_t>(n % 7 == 0 ? c0 : c1);
                        color[3] = static_cast<uint8_t>((n % 7 == 0 ? c0 : c1) >> 8);
                        color[4] = 0xE4, color[5] = 0x1B, color[6] = 0x4E, color[7] = 0xB1;  // all indices in every column
                    }
                    if (format != B::Dxt1) {
                        block[0] = static_cast<uint8_t>(n), block[1] = static_cast<uint8_t>(n >> 8);
                        const uint8_t pattern[6] = {0x88, 0xC6, 0xFA, 0x88, 0xC6, 0xFA};  // indices 0..7 twice
                        for (int k = 0; k < 6; ++k) block[2 + k] = static_cast<uint8_t>(pattern[k] ^ (pass * n >> (k % 3)));
                    }
                    if (ddsBlockBytes(format) == 16 && isRgtc(format)) {
                        std::copy(block, block + 8, block + 8);
                        std::swap(block[8], block[9]);
                    }
                }
                ASSERT_TRUE(sameAsPlain(format, blocks, count, bytesPerPixel, first))
                    << "format " << ddsIndex(format) << ", blocks from " << first;
            }
        }
    }
}

// Sets `count` bits of a block from bit `at` (bit k in byte k / 8) to `value`.
void putBits(uint8_t *block, unsigned at, unsigned count, uint32_t value) {
    for (unsigned i = 0; i < count; ++i) {
        const unsigned bit = at + i;
        block[bit / 8] = static_cast<uint8_t>((block[bit / 8] & ~(1u << (bit % 8))) | ((value >> i) & 1u) << (bit % 8));
    }
}

// BC7: every mode (and the byte 0 of no mode) with each value of the six
// bits after the mode bits: every partition, and in modes 4 and 5 every
// rotation and index selection.  BC6H: every value of the five mode bits
// with every partition (bits 77-81 in the two-region modes).  The other
// bits random, sparse or dense, so that endpoints reach 0 and their
// largest values.  (bc6hEveryValue adds the blocks that give every value.)
std::vector<uint8_t> bptcBlocks(BlockFormat format, Random &random) {
    std::vector<uint8_t> bytes;
    const unsigned shapes = format == B::Bc7 ? 9 * 64 : 32 * 32;
    for (unsigned shape = 0; shape < shapes; ++shape) {
        uint8_t block[16];
        const uint32_t fill = random.next() % 3;
        for (uint8_t &b : block) b = fill == 0 ? random.byte() : fill == 1 ? random.byte() & random.byte() : random.byte() | random.byte();
        if (format == B::Bc7) {
            const unsigned mode = shape / 64;
            putBits(block, 0, mode < 8 ? mode + 1 : 8, mode < 8 ? 1u << mode : 0u);
            if (mode < 8) putBits(block, mode + 1, 6, shape % 64);
        } else {
            putBits(block, 0, 5, shape / 32);
            putBits(block, 77, 5, shape % 32);
        }
        bytes.insert(bytes.end(), block, block + 16);
    }
    return bytes;
}

// BC6H blocks of the mode with 16-bit endpoints (mode bits 01111), whose
// endpoint 0 is R0 = 3k, G0 = 3k + 1, B0 = 3k + 2 (bits 0-9 at bit 5, 15
// and 25, bits 15 down to 10 at 39, 49 and 59), with index 0 throughout:
// every interpolated value, one pixel channel each, meets the conversion
// of half floats to bytes.
std::vector<uint8_t> bc6hEveryValue() {
    std::vector<uint8_t> bytes;
    for (uint32_t k = 0; 3 * k < 65536; ++k) {
        uint8_t block[16] = {};
        putBits(block, 0, 5, 15);
        for (uint32_t c = 0; c < 3; ++c) {
            const uint32_t value = (3 * k + c) & 0xFFFF;
            putBits(block, 5 + 10 * c, 10, value);
            for (unsigned j = 0; j < 6; ++j) putBits(block, 39 + 10 * c + j, 1, value >> (15 - j));
        }
        bytes.insert(bytes.end(), block, block + 16);
    }
    return bytes;
}

// BC6H with an exposure or sRGB: every tier's mapped kernel, and the one
// the import runs, against the plain tier's (held to the rule on the
// halves by tests/images_test.cpp), rows and guards alike.
testing::AssertionResult sameMappedAsPlain(BlockFormat format, const std::vector<uint8_t> &blocks, uint32_t count,
                                           int bytesPerPixel, int32_t exposure, bool srgb) {
    static DdsHdrTable table;
    ddsBuildHdrTable(exposure, srgb, HdrValues::Halves, &table);
    auto decode = [&](MappedBlockRowKernel kernel) {
        return decodeInto([&](const uint8_t *b, uint32_t n, uint8_t *const *rows) { kernel(table, b, n, rows); }, format,
                          blocks, count, bytesPerPixel, 7u);
    };
    const auto plain = decode(ddsMappedBlockRowKernelOfTier(format, bytesPerPixel, KernelTier::Plain));
    std::string differ;
    if (decode(ddsMappedBlockRowKernel(format, bytesPerPixel)) != plain) differ += " the import's kernel";
    ddsAllowCpuExtensionsUpTo(CpuExtension::Avx2);
    if (decode(ddsMappedBlockRowKernel(format, bytesPerPixel)) != plain) differ += " the import's kernel without AVX-512";
    ddsAllowCpuExtensions(true);
    for (const NamedTier &tier : fastTiers) {
        const MappedBlockRowKernel kernel = ddsMappedBlockRowKernelOfTier(format, bytesPerPixel, tier.tier);
        if (kernel != nullptr && decode(kernel) != plain) differ += std::string(" ") + tier.name;
    }
    if (!differ.empty()) return testing::AssertionFailure() << "mapped, differing from the plain tier:" << differ;
    return testing::AssertionSuccess();
}

// Rows of up to 40 blocks of `blocks` through every fast path against the
// plain decoder, and BC6H's 20 stops up, and 1.5 stops down and 10 up
// with sRGB (a table in segments and one without).
void expectSameBptcRows(BlockFormat format, const std::vector<uint8_t> &blocks, uint32_t seed) {
    const uint32_t total = static_cast<uint32_t>(blocks.size() / 16);
    const std::pair<int32_t, bool> mappings[] = {{0, false}, {2000, false}, {-150, true}, {1000, true}};  // exposure, sRGB
    for (const auto &[exposure, srgb] : mappings) {
        if (format == B::Bc7 && (exposure != 0 || srgb)) break;
        for (uint32_t first = 0, count = 1; first < total; first += count, count = count % 40 + 1) {
            const uint32_t n = std::min(count, total - first);
            const std::vector<uint8_t> row(blocks.begin() + static_cast<std::ptrdiff_t>(first) * 16,
                                           blocks.begin() + static_cast<std::ptrdiff_t>(first + n) * 16);
            for (int bytesPerPixel : {3, 4}) {
                ASSERT_TRUE(exposure == 0 && !srgb ? sameAsPlain(format, row, n, bytesPerPixel, seed + first)
                                                   : sameMappedAsPlain(format, row, n, bytesPerPixel, exposure, srgb))
                    << "format " << ddsIndex(format) << ", " << bytesPerPixel << " bytes a pixel, exposure " << exposure
                    << ", blocks from " << first;
            }
        }
    }
}

TEST(FastPaths, BptcBlocksOfEveryModeAndPartition) {
    for (BlockFormat format : {B::Bc7, B::Bc6h, B::Bc6hSigned}) {
        for (uint32_t pass = 0; pass < 6; ++pass) {
            Random random{0xB97Cu + pass * 7919u + ddsIndex(format)};
            expectSameBptcRows(format, bptcBlocks(format, random), pass);
        }
        if (format != B::Bc7) expectSameBptcRows(format, bc6hEveryValue(), 6);
    }
}

TEST(FastPaths, BptcRealFiles) {
    // The top-level data (after the 148 bytes of header and DX10 record)
    // of files from other encoders.
    const std::pair<const char *, BlockFormat> files[] = {{"pillow__bc7-argb-8bpp_MipMaps-1.dds", B::Bc7},
                                                          {"pillow__bc6h.dds", B::Bc6h},
                                                          {"pillow__bc6h_sf.dds", B::Bc6hSigned}};
    for (const auto &[name, format] : files) {
        const std::string path = std::string(DDSIMAGE_REALWORLD_DIR) + "/" + name;
        FILE *file = std::fopen(path.c_str(), "rb");
        if (file == nullptr) GTEST_SKIP() << "no " << path;
        std::vector<uint8_t> bytes(1 << 20);
        bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
        std::fclose(file);
        ASSERT_GT(bytes.size(), 148u + 16u) << path;
        std::vector<uint8_t> blocks(bytes.begin() + 148, bytes.end());
        blocks.resize(blocks.size() / 16 * 16);
        SCOPED_TRACE(name);
        expectSameBptcRows(format, blocks, 7);
    }
}

DdsPixelFormat pixelFormat(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, bool alphaFlag) {
    return DdsPixelFormat{32, 0x40u | (alphaFlag ? 0x1u : 0u), 0, bits, r, g, b, a};
}

// Masks of every kind: zero, full, whole bytes, contiguous runs,
// non-contiguous and overlapping ones, single bits and random words.
uint32_t randomMask(Random &random, uint32_t bits) {
    const uint32_t pixelMask = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    switch (random.next() % 9) {
        case 0: return 0;
        case 1: return 0xFFFFFFFFu;
        case 2: return 0xFFu << (8 * (random.next() % 4));
        case 3: {
            const uint32_t width = 1 + random.next() % 12;
            const uint32_t shift = random.next() % 32;
            return static_cast<uint32_t>(((uint64_t{1} << width) - 1) << shift);
        }
        case 4: return 1u << (random.next() % 32);
        case 5: return random.next() & pixelMask;
        case 6: return (random.next() & random.next()) & pixelMask;  // sparse, non-contiguous
        case 7: return 0x0FF0u << (random.next() % 8);               // overlaps byte boundaries
        default: return random.next();
    }
}

// A plan of one pixel layout alone: rows of `width` pixels of `format`, at
// least `pixelCount` pixels in all, at `bytesPerPixel`.
DdsPlan layoutPlan(const DdsFormat &format, uint32_t width, uint64_t pixelCount, uint32_t bytesPerPixel) {
    DdsPlan plan{};
    plan.format = &format;
    plan.fields = format.fields;
    plan.width = width;
    plan.height = static_cast<uint32_t>((pixelCount + width - 1) / width);
    plan.pixelBytes = bytesPerPixel;
    return plan;
}

// Converts a row of `plan` into `out` with the converter of `tier`, or with
// the fastest where `tier` is null; false when the tier has none.
bool convertRow(const DdsPlan &plan, const KernelTier *tier, const uint8_t *source, uint8_t *out) {
    LayoutConverter converter;
    if (tier == nullptr) {
        ddsLayoutConverter(plan, &converter);
    } else if (!ddsLayoutConverterOfTier(plan, *tier, &converter)) {
        return false;
    }
    uint8_t *const rows[2] = {out, nullptr};
    converter.kernel(converter.state, source, nullptr, plan.width, rows);
    return true;
}

const DdsFormat &maskFormat() {
    static DdsFormat format{};
    format.coding = PixelCoding::Masks;
    return format;
}

// Every tier's converter of mask-coded pixels and the fastest against the
// plain tier, at four bytes a pixel and at three, whose plain bytes must be
// the first three of each four; names every tier that differs.
testing::AssertionResult sameConversion(const DdsPixelFormat &pixels, const std::vector<uint8_t> &source,
                                        uint32_t width, uint64_t pixelCountHint) {
    std::vector<uint8_t> rgba;
    std::string differ;
    for (uint32_t bytesPerPixel : {4u, 3u}) {
        DdsPlan plan = layoutPlan(maskFormat(), width, pixelCountHint, bytesPerPixel);
        plan.pixels = pixels;
        std::vector<uint8_t> plain(static_cast<size_t>(width) * bytesPerPixel + 8, 0xA5);
        const KernelTier plainTier = KernelTier::Plain;
        convertRow(plan, &plainTier, source.data(), plain.data());
        if (rgba.empty()) rgba = plain;
        for (size_t i = 0; bytesPerPixel == 3 && i < size_t{width} * 3; ++i) {
            if (plain[i] != rgba[i / 3 * 4 + i % 3]) return testing::AssertionFailure() << "RGB is not RGBA's colour";
        }
        std::vector<uint8_t> fast = plain;
        std::fill_n(fast.begin(), size_t{width} * bytesPerPixel, 0x5A);
        if (!convertRow(plan, nullptr, source.data(), fast.data()) || fast != plain) differ += " the fastest";
        for (const NamedTier &tier : fastTiers) {
            fast = plain, std::fill_n(fast.begin(), size_t{width} * bytesPerPixel, 0x5A);
            const bool ran = convertRow(plan, &tier.tier, source.data(), fast.data());
            if (ran && fast != plain) differ += std::string(" ") + tier.name;
        }
        if (!differ.empty()) return testing::AssertionFailure() << "differ at " << bytesPerPixel << " bytes:" << differ;
    }
    return testing::AssertionSuccess();
}

// Runs the converters with the processor's extensions, then with the
// baseline instruction set only.
class ConverterPaths : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override { ddsAllowCpuExtensions(GetParam()); }
    void TearDown() override { ddsAllowCpuExtensions(true); }
};

INSTANTIATE_TEST_SUITE_P(FastPaths, ConverterPaths, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &param) {
                             return param.param ? "WithCpuExtensions" : "Baseline";
                         });

TEST_P(ConverterPaths, UncompressedRowsMatchThePlainConversion) {
    Random random{0xC0FFEEu};
    for (int round = 0; round < 400; ++round) {
        const uint32_t bits = 8u * (1 + random.next() % 4);
        const DdsPixelFormat format = pixelFormat(bits, randomMask(random, bits), randomMask(random, bits),
                                                  randomMask(random, bits), randomMask(random, bits),
                                                  random.next() % 2 == 0);
        for (uint32_t width = 1; width <= 33; ++width) {
            std::vector<uint8_t> source(static_cast<size_t>(width) * (bits / 8));
            for (uint8_t &b : source) b = random.byte();
            // A large pixel count lets the converter choose its tables.
            for (uint64_t hint : {uint64_t{width}, uint64_t{1} << 24}) {
                ASSERT_TRUE(sameConversion(format, source, width, hint))
                    << bits << "-bit, masks " << std::hex << format.rBitMask << " " << format.gBitMask << " "
                    << format.bBitMask << " " << format.aBitMask << " alpha flag " << (format.flags & 1)
                    << std::dec << ", width " << width;
            }
        }
    }
}

struct NamedLayout {
    const char *name;
    DdsPixelFormat format;
    KernelTier tier;  // whose converter a large image takes, where this build has the tier
};

// Whole-byte channels are shuffled with SSSE3 where the processor has it,
// else with SSE2; channels of at most 10 bits in 16- and 32-bit pixels are
// multiplied with SSE2; 8-bit pixels and the other narrow channels are
// looked up in tables.
constexpr KernelTier Shuffle = KernelTier::Ssse3, Multiply = KernelTier::Sse2, Tables = KernelTier::Portable;

std::vector<NamedLayout> commonLayouts() {
    return {
        {"A8R8G8B8", pixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, true), Shuffle},
        {"X8R8G8B8", pixelFormat(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, false), Shuffle},
        {"A8B8G8R8", pixelFormat(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, true), Shuffle},
        {"X8B8G8R8", pixelFormat(32, 0xFF, 0xFF00, 0xFF0000, 0, false), Shuffle},
        {"B8G8R8A8 (bytes moved across)", pixelFormat(32, 0xFF00, 0xFF0000, 0xFF000000, 0xFF, true), Shuffle},
        {"R8G8B8", pixelFormat(24, 0xFF0000, 0xFF00, 0xFF, 0, false), Shuffle},
        {"B8G8R8", pixelFormat(24, 0xFF, 0xFF00, 0xFF0000, 0, false), Shuffle},
        {"B8R8G8 (bytes moved across)", pixelFormat(24, 0xFF00, 0xFF, 0xFF0000, 0, false), Shuffle},
        {"A2R10G10B10", pixelFormat(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, true), Multiply},
        {"R5G6B5", pixelFormat(16, 0xF800, 0x7E0, 0x1F, 0, false), Multiply},
        {"A1R5G5B5", pixelFormat(16, 0x7C00, 0x3E0, 0x1F, 0x8000, true), Multiply},
        {"A4R4G4B4", pixelFormat(16, 0xF00, 0xF0, 0xF, 0xF000, true), Multiply},
        {"A8L8 as masks", pixelFormat(16, 0xFF, 0xFF, 0xFF, 0xFF00, true), Multiply},
        {"R8G8 (RGB)", pixelFormat(16, 0xFF, 0xFF00, 0, 0, false), Multiply},
        {"24-bit 6:6:6", pixelFormat(24, 0x3F000, 0xFC0, 0x3F, 0, false), Tables},
        {"24-bit 8:8:8 with 1-bit channels", pixelFormat(24, 0x800000, 0x1, 0xFF00, 0x80, true), Tables},
        {"R3G3B2", pixelFormat(8, 0xE0, 0x1C, 0x3, 0, false), Tables},
        {"L8 as masks", pixelFormat(8, 0xFF, 0xFF, 0xFF, 0, false), Tables},
        {"G16R16", pixelFormat(32, 0xFFFF, 0xFFFF0000, 0, 0, false), KernelTier::Plain},
    };
}

TEST_P(ConverterPaths, CommonLayoutsTakeTheirFastPathAndMatchOnEveryValue) {
    for (const NamedLayout &named : commonLayouts()) {
        SCOPED_TRACE(named.name);
        // Every pixel value for 8 and 16 bits; random ones, with every
        // byte value in every position, for 24 and 32.
        const uint32_t pixelBytes = named.format.rgbBitCount / 8;
        const uint32_t count = pixelBytes <= 2 ? 1u << (8 * pixelBytes) : 65536u;
        std::vector<uint8_t> source(static_cast<size_t>(count) * pixelBytes);
        Random random{0xBADC0DEu};
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t value = pixelBytes <= 2 ? i : (random.next() & ~0xFFu) | (i & 0xFF);
            for (uint32_t k = 0; k < pixelBytes; ++k) source[i * pixelBytes + k] = static_cast<uint8_t>(value >> (8 * k));
        }
        EXPECT_TRUE(sameConversion(named.format, source, count, uint64_t{4096} * 4096));
        // The fastest converter is the tier's, or the next one down where
        // this build or processor lacks it (SSSE3, then SSE2); the shuffles
        // store RGBA words, so three-byte pixels of them are looked up.
        for (uint32_t bytesPerPixel : {4u, 3u}) {
            KernelTier tier = bytesPerPixel == 3 && named.tier == Shuffle ? Tables : named.tier;
            if (tier == KernelTier::Ssse3 && !(GetParam() && haveTier(tier))) tier = KernelTier::Sse2;
            if (tier == KernelTier::Sse2 && !haveTier(tier)) tier = KernelTier::Portable;
            DdsPlan plan = layoutPlan(maskFormat(), count, uint64_t{4096} * 4096, bytesPerPixel);
            plan.pixels = named.format;
            LayoutConverter fastest, expected;
            ddsLayoutConverter(plan, &fastest);
            ASSERT_TRUE(ddsLayoutConverterOfTier(plan, tier, &expected)) << bytesPerPixel << " bytes a pixel";
            EXPECT_EQ(fastest.kernel, expected.kernel) << bytesPerPixel << " bytes a pixel";
        }
    }
}

// The vector paths of the field and YUV layouts against their plain rules
// in rows whose lengths leave tails: every value of a signed byte and of a
// signed 16-bit channel, every Y, U, V of AYUV (the plain rule within 1 of
// the real-number BT.601 equations for a seventh of them), random YUY2 and
// UYVY pairs.
TEST_P(ConverterPaths, FieldAndYuvRowsMatchThePlainRules) {
    std::vector<uint8_t> source(65536 * 4), plain(65536 * 4), fast(65536 * 4);
    // A row through the plain tier, then through every other one; the
    // `vector` tier must have a kernel where this build and processor run it.
    auto sameAsPlain = [&](const DdsPlan &plan, KernelTier vector) {
        const KernelTier plainTier = KernelTier::Plain;
        convertRow(plan, &plainTier, source.data(), plain.data());
        bool vectorRan = !haveTier(vector) || (!GetParam() && vector == KernelTier::Ssse3);
        std::string differ;
        for (const NamedTier &tier : fastTiers) {
            fast = plain, std::fill_n(fast.begin(), size_t{plan.width} * plan.pixelBytes, 0xA5);
            const bool ran = convertRow(plan, &tier.tier, source.data(), fast.data());
            if (ran && fast != plain) differ += std::string(" ") + tier.name;
            // Without the processor's extensions, no tier that needs them.
            if (ran && !GetParam() && tier.tier >= KernelTier::Ssse3) differ += std::string(" ") + tier.name + " ran";
            vectorRan = vectorRan || (ran && tier.tier == vector);
        }
        if (!differ.empty()) return testing::AssertionFailure() << "width " << plan.width << ", differ:" << differ;
        if (!vectorRan) return testing::AssertionFailure() << "no kernel of tier " << int(vector);
        return testing::AssertionSuccess();
    };
    for (uint32_t dxgi : {31u, 37u, 51u, 0u}) {  // R8G8B8A8_SNORM, R16G16_SNORM, R8G8_SNORM, X8L8V8U8 (code 62)
        const DdsPixelFormat code62{32, 0x4, 62, 0, 0, 0, 0, 0};
        const DdsHeaderDx10 dx10{dxgi, 3, 0, 1, 0};
        DdsRefusal refusal = DdsRefusal::Accepted;
        const DdsFormat &format = *ddsFindFormat({&code62, dxgi ? &dx10 : nullptr}, &refusal);
        const uint32_t out = dxgi == 31 ? 4 : 3, count = dxgi == 37 ? 32768 : 256, bytes = format.fields.pixelBytes;
        for (size_t i = 0; i < source.size(); ++i)  // bytes 0..255 in every channel; 16-bit words 0..65535
            source[i] = static_cast<uint8_t>(dxgi != 37 ? i / bytes + i % bytes : i % 2 ? i / 2 >> 8 : i / 2);
        const KernelTier vector = dxgi == 31 ? KernelTier::Sse2 : dxgi == 37 ? KernelTier::Ssse3 : KernelTier::Portable;
        for (uint32_t width : {count, count - 1, 7u}) ASSERT_TRUE(sameAsPlain(layoutPlan(format, width, width, out), vector));
    }
    auto sameYuv = [&](YuvLayout layout, uint32_t width, uint32_t bytesPerPixel) {
        DdsFormat format{};
        format.coding = PixelCoding::Yuv, format.yuv = layout;
        return sameAsPlain(layoutPlan(format, width, width, bytesPerPixel), KernelTier::Ssse3);
    };
    for (uint32_t y = 0; y < 256; ++y) {
        for (uint32_t i = 0; i < 65536; ++i) source[4 * i] = uint8_t(i >> 8), source[4 * i + 1] = uint8_t(i), source[4 * i + 2] = uint8_t(y), source[4 * i + 3] = uint8_t(i * 7);
        ASSERT_TRUE(sameYuv(YuvLayout::Ayuv, 65535, 4)) << "AYUV, Y " << y;
        for (uint32_t i = y % 7; GetParam() && i < 65535; i += 7) {
            const reference::Pixel exact = reference::exactYuv(y, i & 0xFF, i >> 8, 1);
            for (uint32_t c = 0; c < 3; ++c) ASSERT_LE(std::abs(plain[4 * i + c] - exact[c]), 1) << y << " " << i;
        }
    }
    Random random{0x4A4Bu};
    for (YuvLayout layout : {YuvLayout::Yuy2, YuvLayout::Uyvy}) {
        for (uint8_t &b : source) b = random.byte();
        for (uint32_t width : {65535u, 17u, 8u}) ASSERT_TRUE(sameYuv(layout, width, 3));
    }
}

// Working memory of the image request.

struct MemoryCase {
    const char *name;
    DdsFields fields;  // width and height set per image
    uint32_t sourceBitsPerPixel;
};

std::vector<MemoryCase> memoryCases() {
    return {
        {"DXT1", dxtFields("DXT1", 4, 4), 4},
        {"DXT3", dxtFields("DXT3", 4, 4), 8},
        {"DXT5", dxtFields("DXT5", 4, 4), 8},
        {"A8R8G8B8", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 4, 4, 0x41), 32},
        {"A2R10G10B10", maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 4, 4, 0x41), 32},
        {"R8G8B8", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 4, 4, 0x40), 24},
        {"R5G6B5", maskFields(16, 0xF800, 0x7E0, 0x1F, 0, 4, 4, 0x40), 16},
        {"A4R4G4B4", maskFields(16, 0xF00, 0xF0, 0xF, 0xF000, 4, 4, 0x41), 16},
        {"R3G3B2", maskFields(8, 0xE0, 0x1C, 0x3, 0, 4, 4, 0x40), 8},
        {"PVRTC1 4 bpp", dxtFields("PTC4", 4, 4), 4},
        {"P8, its palette read by the request", maskFields(8, 0, 0, 0, 0, 4, 4, 0x20), 8},
        {"YUY2", dxtFields("YUY2", 4, 4), 16},
        {"bump du/dv", maskFields(16, 0xFF, 0xFF00, 0, 0, 4, 4, 0x80000), 16},
    };
}

struct Peaks {
    int64_t info = -1;
    int64_t image = -1;
};

class WorkingMemory : public PluginTest {
  protected:
    // Peak live qvMalloc bytes of the query and of the image request for a
    // width x height file of random data.
    Peaks importPeaks(const MemoryCase &c, uint32_t width, uint32_t height) {
        DdsFields fields = c.fields;
        fields.width = width;
        fields.height = height;
        const size_t payloadBytes =
            static_cast<size_t>(width) * height * c.sourceBitsPerPixel / 8 + (c.fields.pixelFlags & 0x20 ? 1024 : 0);
        TempFile file(ddsFile(fields, randomBytes(payloadBytes, width ^ height)));
        const int handle = openOk(file.path());
        Peaks peaks;
        QvImageInfo record{};
        qvhostResetPeak();
        if (info(handle, &record) != 0) return peaks;
        peaks.info = qvhostPeakBytes() - qvhostLiveBytes();
        std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
        qvhostResetPeak();
        if (image(handle, pixels.data()) != 0) return peaks;
        peaks.image = qvhostPeakBytes() - qvhostLiveBytes();
        close(handle);
        return peaks;
    }
};

// Every seed of the fuzzer's corpus (every format, shape and layout) decodes
// to the same bytes on one thread and on three, in both row orders, with
// chunks of one source row so that many are in flight.
TEST(FastPaths, ParallelDecodeMatchesOneThread) {
    int decoded = 0;
    for (const auto &entry : std::filesystem::directory_iterator(std::string(DDSIMAGE_SOURCE_DIR) + "/fuzz/corpus")) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const DdsSource source = ddsMemorySource(file.data(), file.size());
        DdsPlan plan;
        if (ddsPlanImage(source, &plan) != DdsRefusal::Accepted) continue;
        SCOPED_TRACE(entry.path().filename().string());
        ASSERT_TRUE(ddsSetChunkRows(&plan, 1));
        std::vector<std::vector<uint8_t>> chunks(3, std::vector<uint8_t>(plan.chunkBytes));
        uint8_t *const buffers[3] = {chunks[0].data(), chunks[1].data(), chunks[2].data()};
        const size_t bytes = size_t{plan.width} * plan.height * ddsBytesPerPixel(plan.type);
        for (bool reverse : {false, true}) {
            std::vector<uint8_t> one = randomBytes(bytes, 9), three = one;
            ASSERT_TRUE(ddsDecodeTopLevel(source, plan, buffers, 1, one.data(), reverse));
            ASSERT_TRUE(ddsDecodeTopLevel(source, plan, buffers, 3, three.data(), reverse));
            ASSERT_EQ(one, three) << (reverse ? "rows reversed" : "file order");
        }
        ++decoded;
    }
    EXPECT_GT(decoded, 200);
}

// After a query that reported Rgb, a DXT1 image is planned Rgb without a
// scan, and the decode, on one thread and on three, confirms it from the
// blocks it reads: one transparent texel inside the image, in the first
// chunk or the last, fails it; one outside it, in a partial edge block,
// does not.  After an Rgba report the image is planned as without one.
TEST_F(WorkingMemory, TheDecodeConfirmsTheReportedDxt1Type) {
    const uint32_t size = 1022, blocks = (size + 3) / 4;
    std::vector<uint8_t> opaque = randomBytes(size_t{blocks} * blocks * 8, 9);
    for (size_t b = 0; b < opaque.size(); b += 8) opaque[b + 1] |= 0x80, opaque[b + 3] &= 0x7F;
    // Block (bx, by) in three-colour mode, index 3 at (column, row) alone.
    auto planted = [&](uint32_t bx, uint32_t by, uint32_t column, uint32_t row) {
        std::vector<uint8_t> level = opaque;
        uint8_t *block = &level[(size_t{by} * blocks + bx) * 8];
        block[1] &= 0x7F, block[3] |= 0x80;
        for (uint32_t r = 0; r < 4; ++r) block[4 + r] = static_cast<uint8_t>(r == row ? 3u << (2 * column) : 0);
        return level;
    };
    const struct {
        const char *name;
        std::vector<uint8_t> level;
        bool transparent;
    } levels[] = {{"opaque", opaque, false},
                  {"first chunk", planted(5, 1, 2, 3), true},
                  {"last row of blocks", planted(100, blocks - 1, 0, 1), true},
                  {"outside the image only", planted(blocks - 1, 10, 3, 0), false}};
    for (const auto &l : levels) {
        const std::vector<uint8_t> file = ddsFile(dxtFields("DXT1", size, size), l.level);
        const DdsSource source = ddsMemorySource(file.data(), file.size());
        DdsPlan fresh;
        ASSERT_EQ(ddsPlanImage(source, &fresh), DdsRefusal::Accepted);
        ASSERT_EQ(fresh.type, l.transparent ? TextureType::Rgba : TextureType::Rgb) << l.name;
        std::vector<uint8_t> expected(size_t{size} * size * 4, 0x5A);
        ASSERT_TRUE(ddsDecodeForHost(source, fresh, expected.data(), true));
        for (uint32_t threads : {1u, 3u}) {
            ddsSetDecodeThreadsForTesting(threads, 0);
            for (TextureType reported : {TextureType::Rgb, TextureType::Rgba}) {
                SCOPED_TRACE(testing::Message() << l.name << ", " << threads << " threads, reported "
                                                << static_cast<int>(reported));
                DdsPlan plan;
                ASSERT_EQ(ddsPlanReportedImage(source, reported, &plan), DdsRefusal::Accepted);
                EXPECT_EQ(plan.confirmType, reported == TextureType::Rgb);
                EXPECT_EQ(plan.type, plan.confirmType ? TextureType::Rgb : fresh.type);
                std::vector<uint8_t> pixels(expected.size(), 0x5A);
                const bool fits = plan.type == fresh.type;
                EXPECT_EQ(ddsDecodeForHost(source, plan, pixels.data(), true), fits);
                if (fits) {
                    EXPECT_TRUE(pixels == expected);
                }
                EXPECT_EQ(qvhostLiveAllocations(), 0);
            }
        }
    }
    ddsSetDecodeThreadsForTesting(0, ddsParallelMinimumPixels);
}

// Single-threaded, one chunk; on three threads (images of a megapixel and
// more), one chunk a thread and never more than 1 MiB.
TEST_F(WorkingMemory, PeakDoesNotGrowWithHeightAndOnlyWithOneRowsWidth) {
    for (const char *threads : {"1", "3"}) {
        setDecodeThreads(threads);
        const int64_t inFlight = threads[0] == '1' ? 1 : 3;
        for (const MemoryCase &c : memoryCases()) {
            SCOPED_TRACE(testing::Message() << c.name << ", DDSIMAGE_THREADS=" << threads);
            struct Size {
                uint32_t width, height;
            };
            const Size sizes[] = {{64, 4096},  {64, 16384}, {64, 65536}, {4096, 64},
                                  {4096, 256}, {4096, 1024}, {16384, 8},  {16384, 64}};
            std::vector<Peaks> found;
            for (const Size &size : sizes) {
                SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
                const Peaks p = importPeaks(c, size.width, size.height);
                ASSERT_GE(p.image, 0) << "the import failed";
                EXPECT_LE(p.info, 64 * 1024);
                EXPECT_LE(p.image, 1024 * 1024);
                // One chunk, or one row of source when a row is larger: linear
                // in the width, whatever the height; a few of them in parallel.
                // A PVRTC1 band of word rows (four pixel rows each) also holds
                // the rows above and below and one tile, no larger than it.
                const bool bands = c.fields.fourCC == fourCC("PTC4");
                const int64_t rowBytes = int64_t{size.width} * c.sourceBitsPerPixel / 8 * (bands ? 4 : 1);
                const int64_t chunk = bands ? 2 * std::max<int64_t>(ddsPvrtcBandBytes, rowBytes) + 2 * rowBytes
                                            : std::max<int64_t>(ddsChunkBytes, rowBytes);
                const bool parallel = uint64_t{size.width} * size.height >= (uint64_t{1} << 20);
                EXPECT_LE(p.image, (parallel ? inFlight : 1) * chunk);
                found.push_back(p);
            }
            // Once the rows fill a chunk, four times the height costs nothing
            // more (on threads, the bound above is what holds; a PVRTC1 band
            // is no higher than the image).
            if (inFlight == 1 && c.fields.fourCC != fourCC("PTC4")) {
                EXPECT_EQ(found[1].image, found[0].image);
                EXPECT_EQ(found[2].image, found[1].image);
                EXPECT_EQ(found[4].image, found[3].image);
            }
        }
    }
}

}  // namespace
