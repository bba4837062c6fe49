#include "dds_builder.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>

#if defined(_WIN32)
#include <process.h>
#define processId _getpid
#else
#include <unistd.h>
#define processId getpid
#endif

DdsFields dxtFields(const char (&code)[5], uint32_t width, uint32_t height) {
    DdsFields fields;
    fields.width = width;
    fields.height = height;
    fields.pixelFlags = 0x4;
    fields.fourCC = fourCC(code);
    return fields;
}

DdsFields maskFields(uint32_t bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a, uint32_t width,
                     uint32_t height, uint32_t pixelFlags) {
    DdsFields fields;
    fields.width = width;
    fields.height = height;
    fields.pixelFlags = pixelFlags;
    fields.rgbBitCount = bits;
    fields.rMask = r;
    fields.gMask = g;
    fields.bMask = b;
    fields.aMask = a;
    return fields;
}

std::vector<uint8_t> astcFixtureBlocks(unsigned width, unsigned height) {
    std::ifstream file(DDSIMAGE_SOURCE_DIR "/tests/astc/blocks.bin", std::ios::binary);
    const std::vector<uint8_t> data{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::vector<uint8_t> blocks;
    for (size_t at = 0; at + 4 <= data.size();) {
        const size_t count = data[at + 2] | size_t{data[at + 3]} << 8;
        for (size_t i = 0; i < count && data[at] == width && data[at + 1] == height; ++i)
            blocks.insert(blocks.end(), &data[at + 4 + 20 * i], &data[at + 20 + 20 * i]);
        at += 4 + 20 * count;
    }
    return blocks;
}

std::vector<uint8_t> mobileLevel(BlockFormat format, uint32_t width, uint32_t height, uint32_t seed) {
    const BlockShape shape = ddsBlockShape(format);
    uint64_t across = (width + shape.width - 1) / shape.width, down = (height + shape.height - 1) / shape.height;
    if (isPvrtc(format)) across = std::max<uint64_t>(across, 2), down = std::max<uint64_t>(down, 2);
    std::vector<uint8_t> level = randomBytes(static_cast<size_t>(across * down * shape.bytes), seed);
    if (!isAstc(format)) return level;
    const std::vector<uint8_t> fixtures = astcFixtureBlocks(shape.width, shape.height);
    for (size_t b = 0; b < level.size() / 16 && !fixtures.empty(); ++b) {
        const size_t pick = (level[16 * b] | size_t{level[16 * b + 1]} << 8) % (fixtures.size() / 16);
        std::copy_n(&fixtures[16 * pick], 16, &level[16 * b]);
    }
    return level;
}

void put16(std::vector<uint8_t> &bytes, uint32_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void put32(std::vector<uint8_t> &bytes, uint32_t value) {
    put16(bytes, value & 0xFFFF);
    put16(bytes, value >> 16);
}

std::vector<uint8_t> headerBytes(const DdsFields &f) {
    std::vector<uint8_t> bytes;
    put32(bytes, 124);
    put32(bytes, f.flags);
    put32(bytes, f.height);
    put32(bytes, f.width);
    put32(bytes, f.pitchOrLinearSize);
    put32(bytes, 0);  // depth
    put32(bytes, static_cast<uint32_t>(f.mipMapCount));
    for (int i = 0; i < 11; ++i) put32(bytes, 0);
    put32(bytes, 32);
    put32(bytes, f.pixelFlags);
    put32(bytes, f.fourCC);
    put32(bytes, f.rgbBitCount);
    put32(bytes, f.rMask);
    put32(bytes, f.gMask);
    put32(bytes, f.bMask);
    put32(bytes, f.aMask);
    put32(bytes, 0x1000);  // caps: texture
    for (int i = 0; i < 4; ++i) put32(bytes, 0);
    return bytes;
}

std::vector<uint8_t> ddsFile(const DdsFields &fields, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> bytes = {'D', 'D', 'S', ' '};
    const std::vector<uint8_t> header = headerBytes(fields);
    bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

std::vector<uint8_t> dx10File(const DdsFields &fields, const Dx10Fields &dx10, const std::vector<uint8_t> &payload) {
    std::vector<uint8_t> record;
    for (uint32_t word : {dx10.dxgiFormat, dx10.dimension, dx10.miscFlag, dx10.arraySize, dx10.miscFlags2}) {
        put32(record, word);
    }
    record.insert(record.end(), payload.begin(), payload.end());
    return ddsFile(fields, record);
}

std::vector<uint8_t> dx10File(uint32_t dxgiFormat, uint32_t width, uint32_t height,
                              const std::vector<uint8_t> &payload) {
    Dx10Fields dx10;
    dx10.dxgiFormat = dxgiFormat;
    return dx10File(dxtFields("DX10", width, height), dx10, payload);
}

std::vector<uint8_t> randomBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    uint32_t state = seed * 2654435761u + 1;
    for (uint8_t &byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

namespace {
std::string uniqueTempPath() {
    static std::atomic<int> counter{0};
    const auto directory = std::filesystem::temp_directory_path();
    const std::string name = "ddsimage-test-" + std::to_string(static_cast<long>(processId())) + "-" +
                             std::to_string(counter++) + ".dds";
    return (directory / name).string();
}
}  // namespace

TempFile::TempFile(const std::vector<uint8_t> &contents) : path_(uniqueTempPath()) { rewrite(contents); }

TempFile::~TempFile() { std::remove(path_.c_str()); }

void TempFile::rewrite(const std::vector<uint8_t> &contents) const {
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(contents.data()), static_cast<std::streamsize>(contents.size()));
}
