// Uncompressed pixels: every depth and mask shape, the float scale, and the
// alpha rule, against known values and the reference decoder; the wide
// layouts; every other pixel layout against the reference decoder.

#include "masks/masks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "dds_builder.h"
#include "plan.h"
#include "reference_decoder.h"
#include "layout_kernels.h"
#include "parallel_decode.h"
#include "top_level.h"
#include "wide/wide.h"

namespace {

using reference::Pixel;

DdsPixelFormat pixelFormatOf(const DdsFields &f) {
    return DdsPixelFormat{32, f.pixelFlags, f.fourCC, f.rgbBitCount, f.rMask, f.gMask, f.bMask, f.aMask};
}

// A row of `width` pixels of a plan of `format` alone, at `bytesPerPixel`,
// converted as the import converts an image of them (with an HDR table
// when `exposure` or `srgb` is set), checked not to write past the row.
std::vector<uint8_t> convertLayoutRow(const DdsFormat &format, const DdsPixelFormat &pixels,
                                      const std::vector<uint8_t> &source, uint32_t width, uint32_t bytesPerPixel,
                                      int32_t exposure = 0, bool srgb = false, bool plainTable = false) {
    DdsPlan plan{};
    plan.format = &format, plan.pixels = pixels, plan.width = width, plan.height = 1, plan.pixelBytes = bytesPerPixel;
    plan.fields = format.fields;
    static DdsHdrTable table;
    if (exposure != 0 || srgb) ddsBuildHdrTable(exposure, srgb, ddsLayoutHdrValues(plan), &table);
    if (plainTable) ddsBuildPlainHalfTable(&table);
    LayoutConverter converter;
    ddsLayoutConverter(plan, &converter, exposure != 0 || srgb || plainTable ? &table : nullptr);
    std::vector<uint8_t> out(size_t{width} * bytesPerPixel + 4, 0xC3);
    uint8_t *const rows[2] = {out.data(), nullptr};
    converter.kernel(converter.state, source.data(), nullptr, width, rows);
    for (size_t i = out.size() - 4; i < out.size(); ++i) EXPECT_EQ(out[i], 0xC3) << "written past the row";
    out.resize(out.size() - 4);
    return out;
}

// Converts `count` pixels of `source` with dds/.
std::vector<Pixel> convertWithImporter(const DdsFields &fields, const std::vector<uint8_t> &source,
                                       uint32_t count) {
    DdsFormat masks{};
    masks.coding = PixelCoding::Masks;
    const std::vector<uint8_t> rgba = convertLayoutRow(masks, pixelFormatOf(fields), source, count, 4);
    std::vector<Pixel> pixels(count);
    for (size_t i = 0; i < count; ++i)
        pixels[i] = {rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]};
    return pixels;
}

// Values worked out by hand from the rules: shift to the mask's lowest bit,
// times (float)(255 / largest value), truncated.
TEST(Uncompressed, KnownPixels) {
    struct Case {
        const char *name;
        DdsFields fields;
        std::vector<uint8_t> bytes;  // the pixel, then bytes that must not be read
        Pixel expected;
    } cases[] = {
        {"5:6:5 white is 254",
         maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 1, 1, 0x40),
         {0xFF, 0xFF},
         {254, 254, 254, 255}},
        {"5:6:5 red", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 1, 1, 0x40), {0x00, 0xF8}, {254, 0, 0, 255}},
        {"5:6:5 black", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 1, 1, 0x40), {0x00, 0x00}, {0, 0, 0, 255}},
        {"8:8:8:8 with alpha flag",
         maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x41),
         {0x10, 0x20, 0x30, 0x40},
         {0x30, 0x20, 0x10, 0x40}},
        {"8:8:8:8 without alpha flag",
         maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x40),
         {0x10, 0x20, 0x30, 0x40},
         {0x30, 0x20, 0x10, 255}},
        {"alpha flag, alpha mask 0",
         maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1, 0x41),
         {0x10, 0x20, 0x30, 0x40},
         {0x30, 0x20, 0x10, 255}},
        {"fourCC 0 is read by masks",
         maskFields(32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000, 1, 1, 0x5),
         {0x10, 0x20, 0x30, 0x40},
         {0x10, 0x20, 0x30, 0x40}},
        {"4:4:4:4 all 15",
         maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 1, 1, 0x41),
         {0xFF, 0xFF},
         {255, 255, 255, 255}},
        {"4:4:4:4 steps of 17",
         maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 1, 1, 0x41),
         {0x21, 0x84},
         {68, 34, 17, 136}},
        {"3:3:2 all ones", maskFields(8, 0xE0, 0x1C, 0x03, 0, 1, 1, 0x40), {0xFF}, {254, 254, 255, 255}},
        {"3:3:2 one step each", maskFields(8, 0xE0, 0x1C, 0x03, 0, 1, 1, 0x40), {0x25}, {36, 36, 85, 255}},
        {"24-bit",
         maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1, 0x40),
         {0x01, 0x02, 0x03, 0xEE},
         {3, 2, 1, 255}},
        {"24-bit reads three bytes, not the fourth",
         maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x41),
         {0x01, 0x02, 0x03, 0xEE},
         {3, 2, 1, 0}},
        {"16-bit reads two bytes",
         maskFields(16, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1, 0x40),
         {0x01, 0x02, 0xEE, 0xEE},
         {0, 2, 1, 255}},
        {"8-bit reads one byte",
         maskFields(8, 0xFF, 0xFF00, 0, 0, 1, 1, 0x40),
         {0x7F, 0xEE},
         {127, 0, 0, 255}},
        {"colour masks 0",
         maskFields(32, 0, 0, 0, 0xFF, 1, 1, 0x41),
         {0x99, 0x88, 0x77, 0x66},
         {0, 0, 0, 0x99}},
        {"mask 0xFFFFFFFF full is 254",
         maskFields(32, 0xFFFFFFFF, 0, 0, 0, 1, 1, 0x40),
         {0xFF, 0xFF, 0xFF, 0xFF},
         {254, 0, 0, 255}},
        {"mask 0xFFFFFFFF half",
         maskFields(32, 0xFFFFFFFF, 0, 0, 0, 1, 1, 0x40),
         {0, 0, 0, 0x80},
         {127, 0, 0, 255}},
        // 255 / 67108867 in double, rounded to float, is below the quotient
        // (product 254.999996); divided in float it would be above it (255.00001).
        {"mask 0x04000003: the scale is divided in double", maskFields(32, 0x04000003, 0, 0, 0, 1, 1, 0x40),
         {0xFF, 0xFF, 0xFF, 0xFF}, {254, 0, 0, 255}},
        // 0x0F0F: largest value 3855; 3840 * 255 / 3855 = 254.0, 256 -> 16.9, 15 -> 0.99.
        {"non-contiguous 0x0F0F",
         maskFields(16, 0x0F0F, 0x0F00, 0x0100, 0x00FF, 1, 1, 0x41),
         {0xFF, 0xFF},
         {254, 255, 255, 255}},
        {"non-contiguous 0x0F0F partial",
         maskFields(16, 0x0F0F, 0x0F00, 0x0F0F, 0x0F0F, 1, 1, 0x41),
         {0x00, 0x0F},
         {254, 255, 254, 254}},
        {"non-contiguous 0x0F0F small",
         maskFields(16, 0x0F0F, 0x0F0F, 0, 0, 1, 1, 0x40),
         {0x00, 0x01},
         {16, 16, 0, 255}},
        {"non-contiguous 0x0F0F low nibble",
         maskFields(16, 0x0F0F, 0, 0, 0, 1, 1, 0x40),
         {0xFF, 0x00},
         {0, 0, 0, 255}},
        {"overlapping masks",
         maskFields(16, 0x00FF, 0x0FF0, 0xFF00, 0, 1, 1, 0x40),
         {0x34, 0x12},
         {0x34, 0x23, 0x12, 255}},
        // A mask wider than the pixel never sees its top bits: 255 * 255 / 511
        // = 127.25 and 65535 * 255 / 131071 = 127.5 - 0.001.
        {"8-bit mask 0x1FF", maskFields(8, 0x1FF, 0, 0, 0, 1, 1, 0x40), {0xFF, 0xFF}, {127, 0, 0, 255}},
        {"16-bit mask 0x1FFFF",
         maskFields(16, 0x1FFFF, 0, 0, 0, 1, 1, 0x40),
         {0xFF, 0xFF, 0xFF},
         {127, 0, 0, 255}},
        {"16-bit mask above the pixel",
         maskFields(16, 0xFF0000, 0, 0, 0xFF0000, 1, 1, 0x41),
         {0xFF, 0xFF, 0xFF},
         {0, 0, 0, 0}},
        {"10:10:10:2",
         maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 1, 1, 0x41),
         {0xFF, 0xFF, 0x0F, 0x60},
         {127, 255, 255, 85}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(convertWithImporter(c.fields, c.bytes, 1)[0], c.expected);
        EXPECT_EQ(reference::uncompressedPixel(c.fields, c.bytes.data()), c.expected);
    }
}

// (float)(255.0 / (2^n - 1)) lands just below or just above the exact
// value; a full channel of n bits then gives 254 or 255.
TEST(Uncompressed, FullScaleByChannelWidth) {
    const int expected[17] = {0,   255, 255, 254, 255, 254, 254, 254, 255,
                              255, 255, 255, 255, 254, 254, 254, 254};
    for (uint32_t bits = 1; bits <= 32; ++bits) {
        const uint32_t ones = bits == 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
        for (uint32_t shift : {0u, 32u - bits}) {
            SCOPED_TRACE(testing::Message() << bits << " bits at shift " << shift);
            const DdsFields fields = maskFields(32, ones << shift, 0, 0, ones << shift, 1, 1, 0x41);
            const std::vector<uint8_t> full = {0xFF, 0xFF, 0xFF, 0xFF};
            const Pixel importer = convertWithImporter(fields, full, 1)[0];
            const Pixel ours = reference::uncompressedPixel(fields, full.data());
            EXPECT_EQ(importer, ours);
            EXPECT_EQ(importer[0], importer[3]);
            if (bits <= 16) {
                EXPECT_EQ(importer[0], expected[bits]);
            }
        }
    }
}

struct Shape {
    const char *name;
    DdsFields fields;
};

std::vector<Shape> shapes() {
    return {
        {"5:6:5", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 1, 1, 0x40)},
        {"1:5:5:5", maskFields(16, 0x7C00, 0x03E0, 0x001F, 0x8000, 1, 1, 0x41)},
        {"4:4:4:4", maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 1, 1, 0x41)},
        {"4:4:4:4 alpha mask without alpha flag", maskFields(16, 0x0F00, 0x00F0, 0x000F, 0xF000, 1, 1, 0x40)},
        {"non-contiguous and overlapping", maskFields(16, 0x0F0F, 0x0FF0, 0xFF00, 0x8001, 1, 1, 0x41)},
        {"16-bit masks wider than the pixel",
         maskFields(16, 0xFFFFFFFF, 0x1FFFF, 0xFF0000, 0x18000, 1, 1, 0x41)},
        {"3:3:2", maskFields(8, 0xE0, 0x1C, 0x03, 0, 1, 1, 0x40)},
        {"8-bit wide and odd masks", maskFields(8, 0x1FF, 0xFF00, 0x5A, 0x80, 1, 1, 0x41)},
        {"24-bit", maskFields(24, 0xFF0000, 0xFF00, 0xFF, 0, 1, 1, 0x40)},
        {"24-bit masks into the fourth byte",
         maskFields(24, 0xFFF000, 0xFFF, 0xFFFFFFFF, 0xFF800000, 1, 1, 0x41)},
        {"8:8:8:8", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x41)},
        {"8:8:8:8 no alpha flag", maskFields(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 1, 1, 0x40)},
        {"10:10:10:2", maskFields(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000, 1, 1, 0x41)},
        {"32-bit whole-word masks",
         maskFields(32, 0xFFFFFFFF, 0x7FFFFFFF, 0xFFFFFFFE, 0x80000001, 1, 1, 0x41)},
        {"32-bit masks 0", maskFields(32, 0, 0, 0, 0, 1, 1, 0x41)},
        {"fourCC 0 5:6:5", maskFields(16, 0xF800, 0x07E0, 0x001F, 0, 1, 1, 0x4)},
    };
}

// Every pixel value of 8 and 16 bits, and random ones of 24 and 32 bits,
// converted as one row against the reference.
TEST(Uncompressed, EveryShapeMatchesTheReference) {
    for (const Shape &shape : shapes()) {
        SCOPED_TRACE(shape.name);
        const uint32_t pixelBytes = shape.fields.rgbBitCount / 8;
        std::vector<uint8_t> source;
        if (pixelBytes == 1) {
            for (uint32_t v = 0; v < 256; ++v) source.push_back(static_cast<uint8_t>(v));
        } else if (pixelBytes == 2) {
            for (uint32_t v = 0; v < 65536; ++v) put16(source, v);
        } else {
            source = randomBytes(4096 * pixelBytes, pixelBytes);
            for (uint32_t i = 0; i < pixelBytes; ++i) {
                source[i] = 0xFF;            // a full pixel first
                source[pixelBytes + i] = 0;  // then an empty one
            }
        }
        const uint32_t count = static_cast<uint32_t>(source.size() / pixelBytes);
        source.push_back(0xEE);  // a byte after the last pixel, never part of it
        const std::vector<Pixel> importer = convertWithImporter(shape.fields, source, count);
        int mismatches = 0;
        for (uint32_t i = 0; i < count && mismatches < 5; ++i) {
            const Pixel expected = reference::uncompressedPixel(shape.fields, &source[i * pixelBytes]);
            if (importer[i] != expected) {
                ++mismatches;
                ADD_FAILURE() << "pixel " << i;
            }
        }
        // Short rows, each ending where a row of more pixels would go on.
        for (uint32_t width : {1u, 2u, 3u, 4u, 5u, 7u, 8u, 9u, 15u, 17u}) {
            for (uint32_t start : {0u, 1u, 6u}) {
                const std::vector<uint8_t> row(source.begin() + static_cast<std::ptrdiff_t>(start * pixelBytes),
                                               source.begin() + static_cast<std::ptrdiff_t>((start + width) * pixelBytes));
                const std::vector<Pixel> converted = convertWithImporter(shape.fields, row, width);
                for (uint32_t i = 0; i < width; ++i) {
                    EXPECT_EQ(converted[i], reference::uncompressedPixel(shape.fields, &row[i * pixelBytes]))
                        << "row of " << width << " from pixel " << start << ", pixel " << i;
                }
            }
        }
    }
}

// Wide layouts by hand: 16-bit v is (v * 255 + 32767) / 65535; floats are clamped to [0, 1], times 255
// rounded to nearest, ties up (0.5: 127.5 is 128), NaN 0.  Pairs straddle 0.5/255, 1.5/255 and 127.5/255.
// With an exposure (hundredths of a stop) or sRGB, the colour of the float layouts times 2^(E / 100), then
// through sRGB; alpha as without them.
TEST(Uncompressed, WideLayouts) {
    struct {
        const char *name; WideFormat format; std::vector<uint32_t> words; std::vector<int> rgba;
        int32_t exposure = 0; bool srgb = false;
    } cases[] = {
        {"R16G16B16A16_UNORM", {WideLayout::Unorm16, 4}, {0, 65535, 32768, 32767, 128, 129, 385, 386},
         {0, 255, 128, 127, 0, 1, 1, 2}},
        {"R16G16_UNORM", {WideLayout::Unorm16, 2}, {65535, 32768}, {255, 128, 0, 255}},
        {"R16_UNORM is grey", {WideLayout::Unorm16, 1}, {32768}, {128, 128, 128, 255}},
        // 0, 1, 0.5, two pairs, -1, -0, NaN, inf, a denormal.
        {"R16G16B16A16_FLOAT", {WideLayout::Float16, 4},
         {0, 0x3C00, 0x3800, 0x1804, 0x1805, 0x1E06, 0x1E07, 0xBC00, 0x8000, 0x7E00, 0x7C00, 0x03FF},
         {0, 255, 128, 0, 1, 1, 2, 0, 0, 0, 255, 0}},
        {"R16G16_FLOAT: 2, -NaN", {WideLayout::Float16, 2}, {0x4000, 0xFE00}, {255, 0, 0, 255}},
        {"R16_FLOAT", {WideLayout::Float16, 1}, {0x3800}, {128, 128, 128, 255}},
        // 0, 1, 0.5, three pairs, -0.25, -0, NaN, -NaN, inf, -inf, 2, denormals, 0.25, just below 1.
        {"R32G32B32A32_FLOAT", {WideLayout::Float32, 4},
         {0, 0x3F800000, 0x3F000000, 0x3EFFFFFF, 0x3F000001, 0x3B008080, 0x3B008081, 0x3BC0C0C0, 0x3BC0C0C1,
          0xBE800000, 0x80000000, 0x7FC00000, 0xFFC00000, 0x7F800000, 0xFF800000, 0x40000000, 1, 0x007FFFFF,
          0x3E800000, 0x3F7FFFFF},
         {0, 255, 128, 127, 128, 0, 1, 1, 2, 0, 0, 0, 0, 255, 0, 255, 0, 0, 64, 255}},
        {"R32G32B32_FLOAT: 1, 0.5, NaN", {WideLayout::Float32, 3}, {0x3F800000, 0x3F000000, 0x7F800001},
         {255, 128, 0, 255}},
        {"R32G32_FLOAT: 0.5, 123.5", {WideLayout::Float32, 2}, {0x3F000000, 0x42F70000}, {128, 255, 0, 255}},
        {"R32_FLOAT: 0.5, -1", {WideLayout::Float32, 1}, {0x3F000000, 0xBF800000}, {128, 128, 128, 255, 0, 0, 0, 255}},
        // (1, 0.5, 0); (inf, NaN, 1); a pair for 0.5/255, B 0xF1 above 1.5/255; (denormal, 1.98, NaN).
        {"R11G11B10_FLOAT", {WideLayout::R11G11B10, 3}, {0x001C03C0, 0x783E0FC0, 0x3C4C0980, 0xFFDFF83F},
         {255, 128, 0, 255, 255, 0, 255, 255, 0, 1, 2, 255, 0, 255, 0, 255}},
        // Exponent 15: 256, 511 (/512); 7: a pair for 0.5/255; 8: for 1.5/255; 31: 1 * 2^7; 0; 24: 1; 23: 0.5.
        {"R9G9B9E5_SHAREDEXP", {WideLayout::R9G9B9E5, 3},
         {0x7803FF00, 0x3FFE0501, 0x40030581, 0xF8080001, 0x07FFFFFF, 0xC0000001, 0xB8000200},
         {128, 255, 0, 255, 0, 1, 1, 255, 1, 2, 0, 255, 255, 0, 255, 255, 0, 0, 0, 255, 255, 0, 0, 255,
          0, 128, 0, 255}},
        // 0, 3, 8 x 2^-24, alpha 0.5; 16 x 2^-24, inf, NaN, alpha a denormal; -inf, -denormal, 2^-8, alpha 2^-14.
        {"R16G16B16A16_FLOAT, 20 stops up", {WideLayout::Float16, 4},
         {0, 0x0003, 0x0008, 0x3800, 0x0010, 0x7C00, 0x7E00, 0x0001, 0xFC00, 0x8001, 0x1C00, 0x0400},
         {0, 48, 128, 128, 255, 255, 0, 0, 0, 0, 255, 0}, 2000},
        // 65504, 49152, 512, 1 (alpha 0.5 and inf).
        {"R16G16B16A16_FLOAT, 20 stops down", {WideLayout::Float16, 4},
         {0x7BFF, 0x7A00, 0x6000, 0x3800, 0x3C00, 0x7C00, 0x7BFF, 0x7C00},
         {16, 12, 0, 128, 0, 255, 16, 255}, -2000},
        // 2^-149, 2^-20, 2^-21, alpha 0.5; inf, NaN, -inf, alpha inf.
        {"R32G32B32A32_FLOAT, 20 stops up", {WideLayout::Float32, 4},
         {1, 0x35800000, 0x35000000, 0x3F000000, 0x7F800000, 0x7FC00000, 0xFF800000, 0x7F800000},
         {0, 255, 128, 128, 255, 0, 0, 255}, 2000},
        {"R11G11B10_FLOAT, a stop down", {WideLayout::R11G11B10, 3}, {0x001C03C0, 0x783E0FC0},
         {128, 64, 0, 255, 255, 0, 128, 255}, -100},
        // Exponent 15: 256 (0.5); exponent 0: 1, 16, 511 times 2^-24.
        {"R9G9B9E5_SHAREDEXP, sRGB", {WideLayout::R9G9B9E5, 3}, {0x78000100}, {188, 0, 0, 255}, 0, true},
        {"R9G9B9E5_SHAREDEXP, 20 stops up, sRGB", {WideLayout::R9G9B9E5, 3}, {0x07FC2001}, {71, 255, 255, 255},
         2000, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t width = static_cast<uint32_t>(c.rgba.size() / 4);
        const uint32_t wordBytes = c.format.layout == WideLayout::Unorm16 || c.format.layout == WideLayout::Float16 ? 2 : 4;
        std::vector<uint8_t> source;
        for (uint32_t word : c.words)
            for (uint32_t i = 0; i < wordBytes; ++i) source.push_back(static_cast<uint8_t>(word >> 8 * i));
        ASSERT_EQ(source.size(), width * ddsWidePixelBytes(c.format));
        DdsFormat wide{};
        wide.coding = PixelCoding::Wide, wide.wide = c.format;
        const std::vector<uint8_t> rgba = convertLayoutRow(wide, {}, source, width, 4, c.exposure, c.srgb);
        EXPECT_EQ(std::vector<int>(rgba.begin(), rgba.end()), c.rgba);
        // Three bytes a pixel: the same colours.
        const std::vector<uint8_t> rgb = convertLayoutRow(wide, {}, source, width, 3, c.exposure, c.srgb);
        for (size_t i = 0; i < rgb.size(); ++i) EXPECT_EQ(rgb[i], c.rgba[i / 3 * 4 + i % 3]) << "RGB byte " << i;
    }
    // Every half and 11-bit packed float, and 32-bit floats across their
    // range and at its ends (and in the float field of R32_FLOAT_X8X24),
    // against the rule in double precision: halves with neither preference
    // (converted, and looked up as large images are) exactly, the others
    // within 1.
    for (const auto &[exposure, srgb] : {std::pair{0, false}, {2000, false}, {-2000, true}, {150, true}, {-37, false}, {0, true},
                                         {-15000, false}, {20000, true}, {INT32_MIN, false}, {INT32_MAX, true}}) {
        SCOPED_TRACE(testing::Message() << "exposure " << exposure << (srgb ? " sRGB" : ""));
        for (const WideLayout layout : {WideLayout::Float16, WideLayout::R11G11B10, WideLayout::Float32}) {
            const bool floats = layout == WideLayout::Float32;
            std::vector<uint32_t> words = {1, 0x007FFFFF, 0x7F800000, 0xFF800000, 0x7FC00000, 0x80000001, 0x7F7FFFFF};
            if (!floats) words.clear();
            for (uint64_t v = 0; v < (floats ? 1ull << 32 : 0x10000u); v += floats ? 65519 : 1)
                words.push_back(static_cast<uint32_t>(v) & (layout == WideLayout::R11G11B10 ? 0x7FFu : ~0u));
            std::vector<uint8_t> source;
            std::vector<double> values;
            for (const uint32_t word : words) {
                float f;
                std::memcpy(&f, &word, 4);
                values.push_back(floats ? f : reference::halfValue(static_cast<uint16_t>(layout == WideLayout::Float16 ? word : word << 4)));
                for (uint32_t i = 0; i < (layout == WideLayout::Float16 ? 2u : 4u); ++i) source.push_back(static_cast<uint8_t>(word >> 8 * i));
            }
            DdsFormat wide{}, field{};
            wide.coding = PixelCoding::Wide, wide.wide = {layout, static_cast<uint8_t>(layout == WideLayout::R11G11B10 ? 3 : 1)};
            const Field grey = ddsField(FieldKind::Float, 0xFFFFFFFF);
            field.coding = PixelCoding::Fields, field.fields = {{grey, grey, grey, ddsField(FieldKind::Opaque, 0)}, 4};
            const uint32_t width = static_cast<uint32_t>(values.size());
            for (const DdsFormat *format : {&wide, &field}) {
                if (format == &field && layout != WideLayout::Float32) break;
                const std::vector<uint8_t> rgb = convertLayoutRow(*format, {}, source, width, 3, exposure, srgb);
                const bool plain = exposure == 0 && !srgb;
                if (plain && !floats) {
                    EXPECT_TRUE(convertLayoutRow(*format, {}, source, width, 3, 0, false, true) == rgb);
                }
                for (size_t i = 0; i < 3 * values.size(); ++i) {  // grey, or red over 0 for the packed floats
                    const bool stored = i % 3 == 0 || layout != WideLayout::R11G11B10;
                    const int want = stored ? reference::hdrByte(values[i / 3], exposure, srgb) : 0;
                    ASSERT_LE(std::abs(rgb[i] - want), plain && !floats ? 0 : 1)
                        << "value " << values[i / 3] << " (" << i << ") of layout " << static_cast<int>(layout);
                }
            }
        }
    }
    // The table of halves with sRGB across the exposures: within 1 of the
    // rule, and in segments (which the AVX-512 tier computes) up to 8 stops.
    static DdsHdrTable table;
    for (int32_t exposure = -2000; exposure <= 2000; exposure += 7) {
        ddsBuildHdrTable(exposure, true, HdrValues::Halves, &table);
        ASSERT_TRUE(table.segmented || exposure > 800) << "exposure " << exposure;
        for (uint32_t half = 0; half < 0x7C00; half += 5) {
            const int want = reference::hdrByte(reference::halfValue(static_cast<uint16_t>(half)), exposure, true);
            ASSERT_LE(std::abs(table.bytes[half] - want), 1) << "exposure " << exposure << ", half " << half;
        }
    }
}

}  // namespace

// Every layout that is not masks, from one pixel up, odd sizes too, its
// level starting with the extremes of every channel (the most negative
// signed values, NaN, both infinities): the plan's type and the pixels in
// both row orders against the reference decoder; planar YUV of odd size is
// refused.
TEST(Uncompressed, LayoutsMatchTheReference) {
    std::vector<std::pair<DdsFields, uint32_t>> rows;  // header fields, DXGI format (0: none)
    for (int dxgi : {31, 51, 63, 13, 37, 58, 32, 52, 64, 14, 38, 59, 12, 36, 57, 3, 4, 7, 8, 17, 18, 42, 43, 55,
                     40, 45, 46, 20, 21, 47, 22, 66, 68, 69, 89, 100, 101, 102, 103, 104, 105, 107, 108, 109})
        rows.push_back({dxtFields("DX10", 0, 0), static_cast<uint32_t>(dxgi)});
    for (uint32_t code : {60u, 63u, 64u, 110u, 117u, 61u, 62u, 67u, 119u, 80u, 118u, 41u, 40u, fourCC("YUY2"),
                          fourCC("UYVY"), fourCC("RGBG"), fourCC("GRGB")})
        rows.push_back({maskFields(0, 0, 0, 0, 0, 0, 0, 0x4), 0}), rows.back().first.fourCC = code;
    for (const DdsFields &fields : {maskFields(24, 0, 0, 0, 0, 0, 0, 0x20), maskFields(16, 0, 0, 0, 0, 0, 0, 0x21)})
        rows.push_back({fields, 0});
    const uint32_t extremes[] = {0, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0x7F800000, 0xFF800000, 0x7FC00000,
                                 0x80808080, 0x80008000, 0x7F7F7F7F, 0x3F800000, 0x00000001, 0x3F000000, 0x80010080};
    for (const auto &[header, dxgi] : rows) {
        for (const auto &[width, height] : {std::pair{1u, 1u}, {2u, 1u}, {1u, 3u}, {5u, 3u}, {4u, 6u}, {33u, 10u}}) {
            SCOPED_TRACE(testing::Message() << "DXGI " << dxgi << " FourCC " << header.fourCC << " flags " << std::hex
                                            << header.pixelFlags << std::dec << ", " << width << "x" << height);
            DdsFields fields = header;
            fields.width = width, fields.height = height;
            std::vector<uint8_t> data;
            for (uint32_t word : extremes) put32(data, word);
            const std::vector<uint8_t> random = randomBytes(width * height * 16 + 1024, width * 7 + dxgi);
            data.insert(data.end(), random.begin(), random.end());
            Dx10Fields dx10;
            dx10.dxgiFormat = dxgi;
            const std::vector<uint8_t> file = dxgi != 0 ? dx10File(fields, dx10, data) : ddsFile(fields, data);
            const DdsSource source = ddsMemorySource(file.data(), file.size());
            DdsPlan plan;
            const DdsRefusal refusal = ddsPlanImage(source, &plan);
            for (bool reverse : {false, true}) {
                int type = 0;
                const std::vector<uint8_t> want = reference::image(fields, data, std::vector<uint8_t>(width * height * 4),
                                                                   reverse ? 0 : 1, &type, dxgi ? &dx10 : nullptr);
                if (want.empty()) {
                    EXPECT_EQ(refusal, DdsRefusal::OddPlanarSize);
                    break;
                }
                ASSERT_EQ(refusal, DdsRefusal::Accepted) << ddsRefusalName(refusal);
                EXPECT_EQ(static_cast<int>(plan.type), type);
                std::vector<uint8_t> chunk(plan.chunkBytes), pixels(want.size(), 0xC3);
                uint8_t *const buffers[] = {chunk.data()};
                ASSERT_TRUE(ddsDecodeTopLevel(source, plan, buffers, 1, pixels.data(), reverse));
                EXPECT_EQ(pixels, want) << (reverse ? "rows reversed" : "file order");
            }
        }
    }
}
