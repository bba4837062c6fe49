#include "bench_files.h"

#include "plugin_loader.h"

#if defined(DDSIMAGE_BENCH_ASTCENC)
#include <astcenc.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

double benchMedian(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

namespace {

constexpr uint32_t FourCCFlag = 0x4;
constexpr uint32_t RgbFlag = 0x40;
constexpr uint32_t AlphaFlag = 0x1;
constexpr uint32_t PaletteFlag = 0x20;

constexpr uint32_t fourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

void put32(std::vector<uint8_t> &bytes, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// xorshift32: fast and deterministic.
struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

// FNV-1a of a format's name: a seed that stays the same when the core's
// format list is reordered, so that two builds compared decode the same
// blocks.
uint32_t nameHash(const char *name) {
    uint32_t hash = 2166136261u;
    for (; *name != '\0'; ++name) hash = (hash ^ static_cast<uint8_t>(*name)) * 16777619u;
    return hash;
}

// Every block that touches the image (PVRTC1: the word grid, at least 2 x
// 2 words), random; ASTC from the compressed photograph.
std::vector<uint8_t> mobilePayload(const BenchFormat &format, uint32_t width, uint32_t height) {
    const BlockShape shape = ddsBlockShape(format.blocks);
    if (benchIsAstc(format.blocks)) return benchAstcPayload(shape.width, shape.height, width, height);
    size_t across = (width + shape.width - 1) / shape.width, down = (height + shape.height - 1) / shape.height;
    if (benchIsPvrtc(format.blocks)) across = std::max<size_t>(across, 2), down = std::max<size_t>(down, 2);
    std::vector<uint8_t> bytes(across * down * shape.bytes);
    Random random{0x2545F491u ^ (width * 31 + height) ^ nameHash(format.name)};
    for (size_t i = 0; i < bytes.size(); i += 4) {
        const uint32_t word = random.next();
        for (size_t k = 0; k < 4 && i + k < bytes.size(); ++k) bytes[i + k] = static_cast<uint8_t>(word >> (8 * k));
    }
    return bytes;
}

uint32_t blockBytes(const BenchFormat &format) {
    return format.kind == BenchKind::Dxt1Rgb || format.kind == BenchKind::Dxt1Rgba || format.kind == BenchKind::Bc4 ? 8 : 16;
}

// The DXGI format of a tiled kind, written in the DX10 record.
uint32_t dxgiFormat(BenchKind kind) {
    switch (kind) {
        case BenchKind::Bc4: return 80;
        case BenchKind::Bc5: return 83;
        case BenchKind::Bc6h: return 95;
        case BenchKind::Bc6hSigned: return 96;
        default: return 98;  // BC7_UNORM
    }
}

uint32_t load32(const std::vector<uint8_t> &bytes, size_t at) {
    return static_cast<uint32_t>(bytes[at]) | static_cast<uint32_t>(bytes[at + 1]) << 8 |
           static_cast<uint32_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(bytes[at + 3]) << 24;
}

// The top level of a real file with a DX10 record (data at byte 148)
// repeated over width x height; empty when the file cannot be read.
std::vector<uint8_t> tiledPayload(const BenchFormat &format, uint32_t width, uint32_t height) {
    const std::string path = std::string(DDSIMAGE_REALWORLD_DIR) + "/" + benchTileSource(format);
    std::vector<uint8_t> file;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        file.resize(1 << 22);
        file.resize(std::fread(file.data(), 1, file.size(), f));
        std::fclose(f);
    }
    if (file.size() < 148) return {};
    const uint32_t sourceBlocksHigh = (load32(file, 12) + 3) / 4, sourceBlocksWide = (load32(file, 16) + 3) / 4;
    const size_t bytes = blockBytes(format);
    if (sourceBlocksWide == 0 || sourceBlocksHigh == 0 ||
        file.size() < 148 + static_cast<size_t>(sourceBlocksWide) * sourceBlocksHigh * bytes)
        return {};
    const uint32_t blocksWide = width / 4, blocksHigh = height / 4;
    std::vector<uint8_t> payload(static_cast<size_t>(blocksWide) * blocksHigh * bytes);
    for (uint32_t y = 0; y < blocksHigh; ++y) {
        for (uint32_t x = 0; x < blocksWide; ++x) {
            const size_t from = 148 + (static_cast<size_t>(y % sourceBlocksHigh) * sourceBlocksWide + x % sourceBlocksWide) * bytes;
            std::copy(file.begin() + static_cast<ptrdiff_t>(from), file.begin() + static_cast<ptrdiff_t>(from + bytes),
                      payload.begin() + static_cast<ptrdiff_t>((static_cast<size_t>(y) * blocksWide + x) * bytes));
        }
    }
    return payload;
}


BenchFormat mobile(const char *name, BlockFormat blocks, const char (&code)[5]) {
    BenchFormat format{name, BenchKind::Mobile, 0, 0, 0, 0, 0, FourCCFlag};
    format.fourCC = fourCC(code[0], code[1], code[2], code[3]);
    format.blocks = blocks;
    return format;
}

}  // namespace

const std::vector<BenchFormat> &benchFormats() {
    using B = BlockFormat;
    static const std::vector<BenchFormat> formats = {
        {"DXT1-Rgb", BenchKind::Dxt1Rgb, 0, 0, 0, 0, 0, FourCCFlag},
        {"DXT1-Rgba", BenchKind::Dxt1Rgba, 0, 0, 0, 0, 0, FourCCFlag},
        {"DXT3", BenchKind::Dxt3, 0, 0, 0, 0, 0, FourCCFlag},
        {"DXT5", BenchKind::Dxt5, 0, 0, 0, 0, 0, FourCCFlag},
        {"BGRA8888", BenchKind::Masks, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000, RgbFlag | AlphaFlag},
        {"A2R10G10B10", BenchKind::Masks, 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000, RgbFlag | AlphaFlag},
        {"BGR888", BenchKind::Masks, 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 0, RgbFlag},
        {"R5G6B5", BenchKind::Masks, 16, 0xF800, 0x07E0, 0x001F, 0, RgbFlag},
        {"A4R4G4B4", BenchKind::Masks, 16, 0x0F00, 0x00F0, 0x000F, 0xF000, RgbFlag | AlphaFlag},
        {"R3G3B2", BenchKind::Masks, 8, 0xE0, 0x1C, 0x03, 0, RgbFlag},
        {"BC4", BenchKind::Bc4, 0, 0, 0, 0, 0, FourCCFlag},
        {"BC5", BenchKind::Bc5, 0, 0, 0, 0, 0, FourCCFlag},
        {"BC6H", BenchKind::Bc6h, 0, 0, 0, 0, 0, FourCCFlag},
        {"BC6H-SF", BenchKind::Bc6hSigned, 0, 0, 0, 0, 0, FourCCFlag},
        {"BC7", BenchKind::Bc7, 0, 0, 0, 0, 0, FourCCFlag},
        mobile("ETC2-RGB", B::Etc2Rgb, "ETC2"),
        mobile("ETC2-Punch", B::Etc2PunchThrough, "ETCP"),
        mobile("ETC2-RGBA", B::Etc2Rgba, "ET2A"),
        mobile("EAC-R11", B::EacR11, "EAC1"),
        mobile("EAC-RG11", B::EacRg11, "EAC2"),
        mobile("ATC-RGB", B::AtcRgb, "ATC "),
        mobile("ATC-Explicit", B::AtcExplicitAlpha, "ATCA"),
        mobile("ATC-Interpolated", B::AtcInterpolatedAlpha, "ATCI"),
        mobile("ASTC-4x4", B::Astc4x4, "AS44"),
        mobile("ASTC-5x4", B::Astc5x4, "AS54"),
        mobile("ASTC-5x5", B::Astc5x5, "AS55"),
        mobile("ASTC-6x5", B::Astc6x5, "AS65"),
        mobile("ASTC-6x6", B::Astc6x6, "AS66"),
        mobile("ASTC-8x5", B::Astc8x5, "AS85"),
        mobile("ASTC-8x6", B::Astc8x6, "AS86"),
        mobile("ASTC-8x8", B::Astc8x8, "AS88"),
        mobile("ASTC-10x5", B::Astc10x5, "ASA5"),
        mobile("ASTC-10x6", B::Astc10x6, "ASA6"),
        mobile("ASTC-10x8", B::Astc10x8, "ASA8"),
        mobile("ASTC-10x10", B::Astc10x10, "ASAA"),
        mobile("ASTC-12x10", B::Astc12x10, "ASCA"),
        mobile("ASTC-12x12", B::Astc12x12, "ASCC"),
        mobile("PVRTC-4bpp", B::Pvrtc4, "PTC4"),
        mobile("PVRTC-2bpp", B::Pvrtc2, "PTC2"),
        {"SNORM8", BenchKind::Layout, 32, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 31, 4},
        {"R16G16-SNORM", BenchKind::Layout, 32, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 37, 3},
        {"YUY2", BenchKind::Layout, 16, 0, 0, 0, 0, FourCCFlag, fourCC('Y', 'U', 'Y', '2'), 0, 3},
        {"AYUV", BenchKind::Layout, 32, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 100, 4},
        {"P8", BenchKind::Layout, 8, 0, 0, 0, 0, PaletteFlag, 0, 0, 4},
        {"RGBA16F", BenchKind::Layout, 64, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 10, 4},
        {"RGBA32F", BenchKind::Layout, 128, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 2, 4},
        {"R11G11B10F", BenchKind::Layout, 32, 0, 0, 0, 0, FourCCFlag, fourCC('D', 'X', '1', '0'), 26, 3},
    };
    return formats;
}

bool benchIsBlock(const BenchFormat &format) { return format.kind != BenchKind::Masks && !benchIsLayout(format); }

bool benchIsTiled(const BenchFormat &format) { return format.kind >= BenchKind::Bc4 && format.kind <= BenchKind::Bc7; }

bool benchIsMobile(const BenchFormat &format) { return format.kind == BenchKind::Mobile; }

bool benchIsLayout(const BenchFormat &format) { return format.kind == BenchKind::Layout; }

bool benchHasHdrValues(const BenchFormat &format) {
    return format.kind == BenchKind::Bc6h || format.kind == BenchKind::Bc6hSigned ||
           (benchIsLayout(format) && (format.dxgi == 2 || format.dxgi == 10 || format.dxgi == 26));
}

const char *benchTileSource(const BenchFormat &format) {
    switch (format.kind) {
        case BenchKind::Bc4: return "pillow__bc4_unorm.dds";
        case BenchKind::Bc5: return "pillow__bc5_unorm.dds";
        case BenchKind::Bc6h: return "pillow__bc6h.dds";
        case BenchKind::Bc6hSigned: return "pillow__bc6h_sf.dds";
        case BenchKind::Bc7: return "pillow__bc7-argb-8bpp_MipMaps-1.dds";
        default: return "";
    }
}

uint32_t benchOutputBytesPerPixel(const BenchFormat &format) {
    if (benchIsMobile(format)) {
        const BlockFormat b = format.blocks;
        return b == BlockFormat::Etc2Rgb || b == BlockFormat::EacR11 || b == BlockFormat::EacRg11 || b == BlockFormat::AtcRgb ? 3 : 4;
    }
    switch (format.kind) {
        case BenchKind::Dxt1Rgb: case BenchKind::Bc4: case BenchKind::Bc5: case BenchKind::Bc6h:
        case BenchKind::Bc6hSigned: return 3;
        case BenchKind::Layout: return format.outputBytes;
        default: return 4;
    }
}

std::vector<uint8_t> benchPayload(const BenchFormat &format, uint32_t width, uint32_t height) {
    if (benchIsTiled(format)) return tiledPayload(format, width, height);
    if (benchIsMobile(format)) return mobilePayload(format, width, height);
    Random random{0x9E3779B9u ^ (width * 31 + height) ^ static_cast<uint32_t>(format.kind)};
    size_t size = 0;
    if (benchIsBlock(format)) {
        size = static_cast<size_t>(width / 4) * (height / 4) * blockBytes(format);
    } else {
        size = static_cast<size_t>(width) * height * (format.bits / 8) + (format.pixelFlags & PaletteFlag ? 1024 : 0);
    }
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; i += 4) {
        const uint32_t word = random.next();
        for (size_t k = 0; k < 4 && i + k < size; ++k) bytes[i + k] = static_cast<uint8_t>(word >> (8 * k));
    }
    if (format.kind == BenchKind::Dxt1Rgb || format.kind == BenchKind::Dxt1Rgba) {
        const bool fourColour = format.kind == BenchKind::Dxt1Rgb;
        for (size_t i = 0; i < size; i += 8) {
            uint32_t c0 = bytes[i] | static_cast<uint32_t>(bytes[i + 1]) << 8;
            uint32_t c1 = bytes[i + 2] | static_cast<uint32_t>(bytes[i + 3]) << 8;
            if (fourColour) {
                if (c0 < c1) std::swap(c0, c1);
                if (c0 == c1) c0 == 0 ? ++c0 : --c1;
            } else if (c0 > c1) {
                std::swap(c0, c1);
            }
            bytes[i] = static_cast<uint8_t>(c0);
            bytes[i + 1] = static_cast<uint8_t>(c0 >> 8);
            bytes[i + 2] = static_cast<uint8_t>(c1);
            bytes[i + 3] = static_cast<uint8_t>(c1 >> 8);
        }
    }
    return bytes;
}

#if defined(DDSIMAGE_BENCH_ASTCENC)

namespace {

constexpr unsigned PhotoSide = 256, SourceSide = 1024;

// The photograph as 1024 x 1024 RGBA; empty when its file is missing.
std::vector<uint8_t> sourceImage() {
    std::ifstream file(DDSIMAGE_REALWORLD_DIR "/gli__kueken7_bgrx8_unorm.dds", std::ios::binary);
    const std::vector<uint8_t> dds((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (dds.size() < 128 + PhotoSide * PhotoSide * 4 || load32(dds, 12) != PhotoSide || load32(dds, 16) != PhotoSide)
        return {};
    std::vector<uint8_t> rgba(SourceSide * SourceSide * 4);
    for (unsigned y = 0; y < SourceSide; ++y) {
        for (unsigned x = 0; x < SourceSide; ++x) {
            const unsigned tile = (y / PhotoSide) * 4 + x / PhotoSide;
            const unsigned sx = tile & 1 ? PhotoSide - 1 - x % PhotoSide : x % PhotoSide;
            const unsigned sy = tile & 2 ? PhotoSide - 1 - y % PhotoSide : y % PhotoSide;
            const uint8_t *bgrx = &dds[128 + (sy * PhotoSide + sx) * 4];
            uint8_t *out = &rgba[(y * SourceSide + x) * 4];
            for (unsigned c = 0; c < 3; ++c)
                out[c] = static_cast<uint8_t>(bgrx[2 - c] * (160 + 24 * ((tile + c) % 5)) / 256);
            out[3] = 255;
        }
    }
    return rgba;
}

// The photograph's blocks of a footprint, compressed once: sourceX x
// sourceY blocks in `blocks`.
struct CompressedPhoto {
    unsigned sourceX = 0, sourceY = 0;
    std::vector<uint8_t> blocks;
};

const CompressedPhoto &compressedPhoto(unsigned w, unsigned h) {
    static std::map<unsigned, CompressedPhoto> made;
    CompressedPhoto &photo = made[w * 16 + h];
    if (!photo.blocks.empty()) return photo;
    std::vector<uint8_t> rgba = sourceImage();
    astcenc_config config;
    astcenc_context *context = nullptr;
    if (rgba.empty() || astcenc_config_init(ASTCENC_PRF_LDR, w, h, 1, ASTCENC_PRE_MEDIUM, 0, &config) != ASTCENC_SUCCESS ||
        astcenc_context_alloc(&config, 1, &context) != ASTCENC_SUCCESS)
        return photo;
    void *slices[1] = {rgba.data()};
    astcenc_image image{SourceSide, SourceSide, 1, ASTCENC_TYPE_U8, slices};
    const astcenc_swizzle swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
    photo.sourceX = (SourceSide + w - 1) / w;
    photo.sourceY = (SourceSide + h - 1) / h;
    photo.blocks.resize(size_t{photo.sourceX} * photo.sourceY * 16);
    if (astcenc_compress_image(context, &image, &swizzle, photo.blocks.data(), photo.blocks.size(), 0) != ASTCENC_SUCCESS)
        photo.blocks.clear();
    astcenc_context_free(context);
    return photo;
}

}  // namespace

std::vector<uint8_t> benchAstcPayload(unsigned blockWidth, unsigned blockHeight, uint32_t width, uint32_t height) {
    const CompressedPhoto &photo = compressedPhoto(blockWidth, blockHeight);
    if (photo.blocks.empty()) return {};
    // Whole source blocks only, so that the repeats stay seamless where the
    // footprint does not divide 1024.
    const unsigned wholeX = SourceSide / blockWidth, wholeY = SourceSide / blockHeight;
    const unsigned blocksX = (width + blockWidth - 1) / blockWidth, blocksY = (height + blockHeight - 1) / blockHeight;
    std::vector<uint8_t> blocks(size_t{blocksX} * blocksY * 16);
    for (unsigned y = 0; y < blocksY; ++y)
        for (unsigned x = 0; x < blocksX; ++x)
            std::memcpy(&blocks[(size_t{y} * blocksX + x) * 16],
                        &photo.blocks[(size_t{y % wholeY} * photo.sourceX + x % wholeX) * 16], 16);
    return blocks;
}

#else

std::vector<uint8_t> benchAstcPayload(unsigned, unsigned, uint32_t, uint32_t) { return {}; }

#endif

std::vector<uint8_t> benchFile(const BenchFormat &format, uint32_t width, uint32_t height) {
    const std::vector<uint8_t> payload = benchPayload(format, width, height);
    if (payload.empty()) return {};
    std::vector<uint8_t> bytes = {'D', 'D', 'S', ' '};
    const bool block = benchIsBlock(format);
    put32(bytes, 124);
    put32(bytes, block ? 0x81007u : 0x100Fu);  // caps, height, width, pixel format, size
    put32(bytes, height);
    put32(bytes, width);
    put32(bytes, block ? static_cast<uint32_t>(payload.size()) : width * (format.bits / 8));
    put32(bytes, 0);  // depth
    put32(bytes, 0);  // mip count
    for (int i = 0; i < 11; ++i) put32(bytes, 0);
    put32(bytes, 32);
    put32(bytes, format.pixelFlags);
    uint32_t code = 0;
    switch (format.kind) {
        case BenchKind::Dxt1Rgb:
        case BenchKind::Dxt1Rgba: code = fourCC('D', 'X', 'T', '1'); break;
        case BenchKind::Dxt3: code = fourCC('D', 'X', 'T', '3'); break;
        case BenchKind::Dxt5: code = fourCC('D', 'X', 'T', '5'); break;
        case BenchKind::Masks: break;
        case BenchKind::Mobile: case BenchKind::Layout: code = format.fourCC; break;
        default: code = fourCC('D', 'X', '1', '0'); break;
    }
    put32(bytes, code);
    put32(bytes, format.bits);
    put32(bytes, format.r);
    put32(bytes, format.g);
    put32(bytes, format.b);
    put32(bytes, format.a);
    put32(bytes, 0x1000);  // caps: texture
    for (int i = 0; i < 4; ++i) put32(bytes, 0);
    if (benchIsTiled(format) || format.dxgi != 0) {
        // The DX10 record: format, 2D texture, no flags, one image.
        put32(bytes, format.dxgi != 0 ? format.dxgi : dxgiFormat(format.kind));
        put32(bytes, 3);
        put32(bytes, 0);
        put32(bytes, 1);
        put32(bytes, 0);
    }
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

std::string benchFilePath(const std::string &directory, const BenchFormat &format, uint32_t width,
                          uint32_t height) {
    const std::string path = directory + "/" + format.name + "_" + std::to_string(width) + "x" +
                             std::to_string(height) + ".dds";
    if (FILE *existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        return path;
    }
    const std::vector<uint8_t> bytes = benchFile(format, width, height);
    if (bytes.empty()) return std::string();
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::string();
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (std::fclose(file) != 0 || !ok) return std::string();
    return path;
}

// The plug-in, loaded by path and started against the stand-in host once.
const QvHostImporter *benchStartedImporter() {
    static QvHostImporter importer{};
    static bool started = false;
    if (!started) {
        started = true;
        LoadedPlugin plugin;
        std::string error;
        // DDSIMAGE_BENCH_PLUGIN names another build of the plug-in, such as
        // one from before a change, to measure it under the same conditions.
        const char *override = std::getenv("DDSIMAGE_BENCH_PLUGIN");
        const std::string path = override != nullptr && override[0] != '\0' ? override : DDSIMAGE_PLUGIN_PATH;
        if (!loadPlugin(path, &plugin, &error)) {
            std::fprintf(stderr, "cannot load the plug-in: %s\n", error.c_str());
            return nullptr;
        }
        qvhostReset();
        if (plugin.init(qvhostPluginHandle(), 0, 0) != 1) return nullptr;
        qvhostImporter(&importer);
    }
    return importer.registered ? &importer : nullptr;
}
