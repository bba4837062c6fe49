// Throughput of the importer: the decode kernels over a whole image in
// memory, the whole import through the stand-in host, and memcpy of the
// same output size as the yardstick, all in one run.
//
// kernel/ is what the import runs (ddsBlockRowKernel's kernel, or a layout
// converter prepared once per image; for PVRTC1 the word
// rows of a level put in linear order, and for the layouts that are not
// masks the level decoder's chunks), baseline/ the same
// with the processor's extensions (SSSE3) turned off, row/ a mask
// converter prepared for each row and
// plain/ the scalar implementations the fast paths are checked against.
// read/ reads the file as the import does, without decoding.
//
// Every benchmark reports MPix/s and xMemcpy, its rate divided by the rate
// of a memcpy of its output size timed in the same iterations, both from
// the fastest iteration (the time column is Google Benchmark's mean); the import
// benchmarks also report the peak of live qvMalloc bytes in the information
// query and in the image request.  A summary table of medians is printed at
// the end.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "bench_files.h"
#include "block_kernels.h"
#include "common/cpu_features.h"
#include "file_source.h"
#include "header.h"
#include "plugin_loader.h"
#include "qvhost.h"
#include "top_level.h"
#include "layout_kernels.h"
#include "pvrtc/pvrtc.h"

namespace {

using Clock = std::chrono::steady_clock;

const uint32_t Sizes[] = {256, 1024, 4096};

// Rates measured in this run, by benchmark name, one per repetition.
std::map<std::string, std::vector<double>> &measuredRates() {
    static std::map<std::string, std::vector<double>> rates;
    return rates;
}
std::map<std::string, std::vector<double>> &measuredRatios() {
    static std::map<std::string, std::vector<double>> ratios;
    return ratios;
}
std::vector<std::string> &benchmarkOrder() {
    static std::vector<std::string> order;
    return order;
}

std::string memcpyName(uint32_t size, uint32_t bytesPerPixel) {
    return "memcpy/" + std::to_string(size) + "/" + std::to_string(bytesPerPixel * 8) + "bpp";
}

// memcpy of a benchmark's output size, timed in the same iterations as the
// benchmark itself, so that load from other processes hits both alike.
class Yardstick {
  public:
    explicit Yardstick(size_t bytes) : source_(bytes, 1), destination_(bytes, 2) {}

    // Times `work`, then a memcpy of the output size; reports the work's
    // time as the iteration's.
    template <typename Work>
    void iteration(benchmark::State &state, Work &&work) {
        const Clock::time_point start = Clock::now();
        work();
        benchmark::ClobberMemory();
        const Clock::time_point worked = Clock::now();
        std::memcpy(destination_.data(), source_.data(), source_.size());
        benchmark::DoNotOptimize(destination_.data());
        benchmark::ClobberMemory();
        const Clock::time_point copied = Clock::now();
        workTime_ = std::min(workTime_, worked - start);
        copyTime_ = std::min(copyTime_, copied - worked);
        state.SetIterationTime(std::chrono::duration<double>(worked - start).count());
    }

    // MPix/s of the work and xMemcpy, the memcpy's time over the work's
    // (rate over memcpy's rate), both from the fastest iteration of each:
    // the machine is shared, and the fastest iteration is the one least
    // disturbed.  Recorded for the summary.
    void report(benchmark::State &state, const std::string &name, double pixels) const {
        const double workSeconds = std::chrono::duration<double>(workTime_).count();
        const double copySeconds = std::chrono::duration<double>(copyTime_).count();
        if (workSeconds <= 0.0 || state.iterations() == 0) return;
        const double rate = pixels / workSeconds / 1e6;
        state.counters["MPix/s"] = rate;
        state.counters["xMemcpy"] = copySeconds / workSeconds;
        measuredRates()[name].push_back(rate);
        measuredRatios()[name].push_back(copySeconds / workSeconds);
    }

  private:
    std::vector<uint8_t> source_, destination_;
    Clock::duration workTime_ = Clock::duration::max();
    Clock::duration copyTime_ = Clock::duration::max();
};

void registerName(const std::string &name) {
    if (std::find(benchmarkOrder().begin(), benchmarkOrder().end(), name) == benchmarkOrder().end()) {
        benchmarkOrder().push_back(name);
    }
}

void benchMemcpy(benchmark::State &state, std::string name, uint32_t size, uint32_t bytesPerPixel) {
    const size_t bytes = static_cast<size_t>(size) * size * bytesPerPixel;
    std::vector<uint8_t> source(bytes, 1), destination(bytes, 2);
    Yardstick yardstick(bytes);
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            std::memcpy(destination.data(), source.data(), bytes);
            benchmark::DoNotOptimize(destination.data());
        });
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
}

BlockFormat blockFormatOf(const BenchFormat &format) {
    using B = BlockFormat;
    if (benchIsMobile(format)) return format.blocks;
    switch (format.kind) {
        case BenchKind::Dxt3: return B::Dxt3;
        case BenchKind::Dxt5: return B::Dxt5;
        case BenchKind::Bc4: return B::Bc4;
        case BenchKind::Bc5: return B::Bc5;
        case BenchKind::Bc6h: return B::Bc6h;
        case BenchKind::Bc6hSigned: return B::Bc6hSigned;
        case BenchKind::Bc7: return B::Bc7;
        default: return B::Dxt1;
    }
}

DdsPixelFormat pixelFormatOf(const BenchFormat &format) {
    return DdsPixelFormat{32, format.pixelFlags, 0, format.bits, format.r, format.g, format.b, format.a};
}

// The kernel of a tier, or with `Fastest` the one the import runs.
constexpr int Fastest = -1;

// PVRTC1: the level's words put into linear word rows once (the import
// does so band by band as it reads them), then every word row decoded by
// the tier's word-row decoder, or with `Fastest` the import's; the plain
// tier is the whole-image plain decoder on the Morton-ordered level.
void benchWordRows(benchmark::State &state, const std::string &name, BlockFormat blocks,
                   const std::vector<uint8_t> &level, uint32_t size, int tier) {
    const bool twoBits = blocks == BlockFormat::Pvrtc2;
    const uint32_t gridWidth = ddsPvrtcGridWidth(size, twoBits), gridHeight = ddsPvrtcGridHeight(size);
    const size_t rowBytes = size_t{gridWidth} * 8, stride = size_t{size} * 4;
    std::vector<uint8_t> linear(level.size()), pixels(stride * gridHeight * 4);
    for (uint32_t y = 0; y < gridHeight; ++y)
        for (uint32_t x = 0; x < gridWidth; ++x)
            std::memcpy(&linear[y * rowBytes + x * 8], &level[size_t{ddsPvrtcWordIndex(x, y, gridWidth, gridHeight)} * 8], 8);
    uint8_t *none[4] = {};
    if (tier != Fastest && tier != static_cast<int>(KernelTier::Plain) &&
        !ddsDecodePvrtcWordRowTier(static_cast<KernelTier>(tier), nullptr, nullptr, nullptr, 2, twoBits, none, 0, 4)) {
        state.SkipWithError("no kernel of this tier");
        return;
    }
    Yardstick yardstick(size_t{size} * stride);
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            if (tier == static_cast<int>(KernelTier::Plain)) {
                ddsDecodePvrtcImage(level.data(), size, size, twoBits, pixels.data());
                return;
            }
            for (uint32_t y = 0; y < gridHeight; ++y) {
                uint8_t *base = pixels.data() + size_t{y} * 4 * stride;
                uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
                const uint8_t *above = &linear[(y + gridHeight - 1) % gridHeight * rowBytes], *row = &linear[y * rowBytes],
                              *below = &linear[(y + 1) % gridHeight * rowBytes];
                if (tier == Fastest) {
                    ddsDecodePvrtcWordRow(above, row, below, gridWidth, twoBits, rows, size, 4);
                } else {
                    ddsDecodePvrtcWordRowTier(static_cast<KernelTier>(tier), above, row, below, gridWidth, twoBits,
                                              rows, size, 4);
                }
            }
            benchmark::DoNotOptimize(pixels.data());
        });
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
}

// The whole image through a block kernel, rows in file order: every block
// that touches the image, into a buffer of whole blocks.
void benchBlockKernel(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, int tier) {
    const std::vector<uint8_t> payload = benchPayload(*format, size, size);
    if (payload.empty()) {
        state.SkipWithError("no blocks (the real file to tile is missing, or no libastcenc)");
        return;
    }
    const BlockFormat blockFormat = blockFormatOf(*format);
    if (benchIsPvrtc(blockFormat)) {
        benchWordRows(state, name, blockFormat, payload, size, tier);
        return;
    }
    const uint32_t bytesPerPixel = benchOutputBytesPerPixel(*format);
    const BlockShape shape = ddsBlockShape(blockFormat);
    const uint32_t across = (size + shape.width - 1) / shape.width, down = (size + shape.height - 1) / shape.height;
    const size_t stride = static_cast<size_t>(across) * shape.width * bytesPerPixel;
    std::vector<uint8_t> pixels(stride * down * shape.height);
    const size_t rowBytes = static_cast<size_t>(across) * shape.bytes;
    const int pixelBytes = static_cast<int>(bytesPerPixel);
    const BlockRowKernel kernel = tier == Fastest ? ddsBlockRowKernel(blockFormat, pixelBytes)
                                                  : ddsBlockRowKernelOfTier(blockFormat, pixelBytes,
                                                                            static_cast<KernelTier>(tier));
    if (kernel == nullptr) {
        state.SkipWithError("no kernel of this tier");
        return;
    }
    Yardstick yardstick(static_cast<size_t>(size) * size * bytesPerPixel);
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            for (uint32_t row = 0; row < down; ++row) {
                uint8_t *base = pixels.data() + static_cast<size_t>(row) * shape.height * stride;
                uint8_t *rows[ddsMaxBlockSide];
                for (uint32_t r = 0; r < shape.height; ++r) rows[r] = base + r * stride;
                kernel(payload.data() + row * rowBytes, across, rows);
            }
            benchmark::DoNotOptimize(pixels.data());
        });
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
}

// The whole image of mask-coded pixels through the converter of `tier`
// (with `Fastest`, the one the import runs), prepared once for every
// `rowsPerConverter` rows as for an image of that many rows: the import
// prepares one per image.
void benchMaskKernel(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, int tier,
                     uint32_t rowsPerConverter) {
    const std::vector<uint8_t> payload = benchPayload(*format, size, size);
    DdsFormat masks{};
    masks.coding = PixelCoding::Masks;
    DdsPlan plan{};
    plan.format = &masks, plan.pixels = pixelFormatOf(*format), plan.pixelBytes = 4;
    plan.width = size, plan.height = rowsPerConverter;
    const size_t stride = static_cast<size_t>(size) * 4, rowBytes = static_cast<size_t>(size) * (format->bits / 8);
    std::vector<uint8_t> pixels(stride * size);
    Yardstick yardstick(pixels.size());
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            LayoutConverter converter;
            for (uint32_t row = 0; row < size; ++row) {
                if (row % rowsPerConverter == 0 && tier == Fastest) ddsLayoutConverter(plan, &converter);
                if (row % rowsPerConverter == 0 && tier != Fastest) {
                    ddsLayoutConverterOfTier(plan, static_cast<KernelTier>(tier), &converter);
                }
                uint8_t *const rows[2] = {pixels.data() + row * stride, nullptr};
                converter.kernel(converter.state, payload.data() + row * rowBytes, nullptr, size, rows);
            }
            benchmark::DoNotOptimize(pixels.data());
        });
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
}

// A layout that is not masks, as the import converts it: the plan of the
// file in memory, then every chunk decoded in file order straight from the
// file's bytes, without reads.
void benchLayoutKernel(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    std::vector<uint8_t> file = benchFile(*format, size, size);  // chunks are decoded in place
    const DdsSource source = ddsMemorySource(file.data(), file.size());
    DdsPlan plan;
    if (ddsPlanImage(source, &plan) != DdsRefusal::Accepted || plan.secondPlaneRowBytes != 0) {
        state.SkipWithError("the file is refused or planar");
        return;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * ddsBytesPerPixel(plan.type));
    Yardstick yardstick(pixels.size());
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            DdsLevelDecoder level;
            if (!ddsStartLevel(source, plan, pixels.data(), false, &level)) state.SkipWithError("no palette");
            for (uint32_t chunk = 0; chunk < ddsChunkCount(plan); ++chunk) {
                const size_t offset = static_cast<size_t>(plan.dataOffset) + size_t{chunk} * plan.chunkBytes;
                ddsDecodeChunk(level, chunk, file.data() + offset);
            }
            benchmark::DoNotOptimize(pixels.data());
        });
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
}

void benchLayoutKernelBaseline(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    ddsAllowCpuExtensions(false);
    benchLayoutKernel(state, std::move(name), format, size);
    ddsAllowCpuExtensions(true);
}

// The whole import as the host does it: open, information query, image
// request into a buffer allocated once, close.  The file is written before
// the first iteration and read once untimed, so that it is in the page
// cache.
// Times `once`, an operation on a whole size x size file that sets `failed`
// when it goes wrong, against a memcpy of `outputBytes`; runs it once
// first to bring the file into the page cache.  Returns false, reporting
// `failure`, when any run failed.
template <typename Once>
bool timeWholeFile(benchmark::State &state, const std::string &name, uint32_t size, size_t outputBytes, Once &once,
                   const bool &failed, const char *failure) {
    once();
    Yardstick yardstick(outputBytes);
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            once();
            benchmark::ClobberMemory();
        });
    }
    if (failed) {
        state.SkipWithError(failure);
        return false;
    }
    yardstick.report(state, name, static_cast<double>(size) * size);
    return true;
}

// The host's preferences for one import, set before its query.
using Preferences = std::vector<std::pair<const char *, int>>;

// What the image/ and import/ rows time: for each set of preferences in
// `imports`, one whole import of `path` into its own buffer of width x
// height pixels of bytesPerPixel (a host keeps every image it imports),
// each checked against that report; `pixels` counts what an iteration
// delivers.
struct Imports {
    std::string path;
    std::vector<Preferences> imports;
    uint32_t width, height, bytesPerPixel;
    double pixels;
};

void benchImports(benchmark::State &state, const std::string &name, const Imports &run) {
    const QvHostImporter *importer = benchStartedImporter();
    if (importer == nullptr || run.path.empty()) {
        state.SkipWithError("no plug-in or no file");
        return;
    }
    const size_t imageBytes = size_t{run.width} * run.height * run.bytesPerPixel;
    std::vector<std::vector<uint8_t>> images(run.imports.size(), std::vector<uint8_t>(imageBytes));
    int64_t peakInfo = 0;
    int64_t peakImage = 0;
    bool failed = false;
    auto importOnce = [&](const Preferences &preferences, std::vector<uint8_t> &pixels) {
        qvhostClearPreferences();
        for (const auto &preference : preferences) qvhostSetPreference(preference.first, preference.second);
        int handle = -1;
        if (importer->open(nullptr, nullptr, run.path.c_str(), "r", &handle) != 0) {
            failed = true;
            return;
        }
        QvImageInfo info{};
        qvhostResetPeak();
        const int64_t before = qvhostLiveBytes();
        failed |= importer->info(nullptr, nullptr, handle, &info) != 0;
        peakInfo = std::max(peakInfo, qvhostPeakBytes() - before);
        failed |= info.width != static_cast<int>(run.width) || info.height != static_cast<int>(run.height) ||
                  static_cast<uint32_t>(info.type == 4 ? 3 : 4) != run.bytesPerPixel;
        qvhostResetPeak();
        failed |= importer->image(nullptr, nullptr, handle, nullptr, pixels.data()) != 0;
        peakImage = std::max(peakImage, qvhostPeakBytes() - before);
        importer->close(nullptr, nullptr, handle);
        qvhostClearCalls();
    };
    auto iteration = [&] {
        for (size_t n = 0; n < run.imports.size(); ++n) importOnce(run.imports[n], images[n]);
    };
    iteration();
    Yardstick yardstick(imageBytes * images.size());
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            iteration();
            benchmark::ClobberMemory();
        });
    }
    if (failed) {
        state.SkipWithError("the import failed");
        return;
    }
    yardstick.report(state, name, run.pixels);
    state.counters["PeakInfoBytes"] = static_cast<double>(peakInfo);
    state.counters["PeakImageBytes"] = static_cast<double>(peakImage);
}

// The whole import as the host does it: open, information query, image
// request into a buffer allocated once, close.
void benchImport(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size,
                 bool fileOrder) {
    const Preferences order = fileOrder ? Preferences{{"KER:FlipDDSImages", 1}} : Preferences{};
    const Imports run{benchFilePath(DDSIMAGE_BENCH_FILE_DIR, *format, size, size), {order}, size, size,
                      benchOutputBytesPerPixel(*format), static_cast<double>(size) * size};
    benchImports(state, name, run);
}

// Files of several images made of the benchmark's payloads: two levels,
// 2 size then size, or a cube map of six size x size faces.  Legacy
// headers: DXT1 and the mask layouts.
enum class Several { Levels, Cube };

std::string severalImagesPath(const BenchFormat &format, uint32_t size, Several several) {
    const bool levels = several == Several::Levels;
    const std::string path = std::string(DDSIMAGE_BENCH_FILE_DIR) + "/" + format.name + (levels ? "_levels_" : "_cube_") +
                             std::to_string(size) + ".dds";
    if (FILE *existing = std::fopen(path.c_str(), "rb")) {
        std::fclose(existing);
        return path;
    }
    const uint32_t top = levels ? 2 * size : size;
    std::vector<uint8_t> bytes = benchFile(format, top, top);
    if (bytes.size() < 128) return std::string();
    bytes.resize(128);
    auto set32 = [&](size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    if (levels) {
        set32(8, bytes[8] | uint32_t{bytes[9]} << 8 | uint32_t{bytes[10]} << 16 | 0x20000u);
        set32(28, 2);
    } else {
        set32(112, 0xFE00);  // caps2: a cube map with its six faces
    }
    for (uint32_t image = 0; image < (levels ? 2u : 6u); ++image) {
        const std::vector<uint8_t> payload = benchPayload(format, levels && image == 0 ? top : size,
                                                          levels && image == 0 ? top : size);
        bytes.insert(bytes.end(), payload.begin(), payload.end());
    }
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::string();
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok ? path : std::string();
}

// One chosen image of a file of several, size x size: level 1 of two, or a
// cube map's face -Y.  Beside import/ of a file of that image alone.
void benchChosenImage(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size,
                      Several several) {
    const Preferences choice = several == Several::Levels ? Preferences{{"DDS:MipLevel", 1}}
                                                          : Preferences{{"DDS:Face", 3}};
    const Imports run{severalImagesPath(*format, size, several), {choice}, size, size,
                      benchOutputBytesPerPixel(*format), static_cast<double>(size) * size};
    benchImports(state, name, run);
}

// A cube map of size x size faces as a cross (4 size x 3 size Rgba, twelve
// cells counted), or its six faces imported one by one (six counted).
void benchCube(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, bool cross) {
    Imports run{severalImagesPath(*format, size, Several::Cube), {}, size, size,
                benchOutputBytesPerPixel(*format), 6.0 * size * size};
    if (cross) {
        run.imports = {{{"DDS:CubeCross", 1}}};
        run.width = 4 * size, run.height = 3 * size, run.bytesPerPixel = 4, run.pixels *= 2;
    } else {
        for (int face = 0; face < 6; ++face) run.imports.push_back({{"DDS:Face", face}});
    }
    benchImports(state, name, run);
}

// What bounds the cross of a layout that is little more than a copy: the
// rows of six size x size faces of 4-byte pixels copied row by row into
// one cross of 4 size x 3 size (its six empty cells cleared), or into six
// face buffers; both count the faces' pixels.
void benchCrossCopy(benchmark::State &state, std::string name, uint32_t size, bool cross) {
    const size_t row = size_t{size} * 4, face = row * size;
    const std::vector<uint8_t> faces(6 * face, 7);
    std::vector<uint8_t> out(cross ? 12 * face : 6 * face);
    const uint32_t cellOfFace[6] = {6, 4, 1, 9, 5, 7};  // row-major cells of +X, -X, +Y, -Y, +Z, -Z
    auto copyCross = [&] {
        for (uint32_t y = 0; y < 3 * size; ++y) {
            for (uint32_t column = 0; column < 4; ++column) {
                uint8_t *cell = out.data() + (size_t{y} * 4 + column) * row;
                const uint32_t *f = std::find(cellOfFace, cellOfFace + 6, y / size * 4 + column);
                if (f == cellOfFace + 6) std::memset(cell, 0, row);
                else std::memcpy(cell, faces.data() + static_cast<size_t>(f - cellOfFace) * face + (y % size) * row, row);
            }
        }
    };
    Yardstick yardstick(out.size());
    for (auto _ : state) {
        yardstick.iteration(state, [&] {
            if (cross) {
                copyCross();
            } else {
                for (size_t at = 0; at < faces.size(); at += row) std::memcpy(out.data() + at, faces.data() + at, row);
            }
            benchmark::DoNotOptimize(out.data());
        });
    }
    yardstick.report(state, name, 6.0 * size * size);
}

// The import of import/'s file with an exposure of 1.5 stops, or sRGB,
// beside import/.../flipped: BC6H and the float layouts.
void benchHdrImport(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, bool srgb) {
    const Preferences hdr = srgb ? Preferences{{"DDS:HdrSrgb", 1}} : Preferences{{"DDS:Exposure", 150}};
    const Imports run{benchFilePath(DDSIMAGE_BENCH_FILE_DIR, *format, size, size), {hdr}, size, size,
                      benchOutputBytesPerPixel(*format), static_cast<double>(size) * size};
    benchImports(state, name, run);
}

// The whole import on the calling thread alone (DDSIMAGE_THREADS=1), beside
// the same import on the system's threads in the same run.
void benchImportOneThread(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    const char *previous = std::getenv("DDSIMAGE_THREADS");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("DDSIMAGE_THREADS", "1", 1);
    benchImport(state, std::move(name), format, size, false);
    if (previous != nullptr) {
        setenv("DDSIMAGE_THREADS", saved.c_str(), 1);
    } else {
        unsetenv("DDSIMAGE_THREADS");
    }
}

// Reading the file as the image request does, without decoding: the top
// level read in chunks of ddsChunkBytes at their offsets, through the
// plug-in's own file reads.  Its xMemcpy is the most that an import of the
// file could reach.
void benchRead(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    const std::string path = benchFilePath(DDSIMAGE_BENCH_FILE_DIR, *format, size, size);
    if (path.empty()) {
        state.SkipWithError("no file");
        return;
    }
    std::vector<uint8_t> chunk(ddsChunkBytes);
    bool failed = false;
    auto readOnce = [&]() {
        PluginFile file;
        DdsSource source;
        if (!ddsOpenFile(path.c_str(), &file)) {
            failed = true;
            return;
        }
        failed |= !ddsFileSource(&file, &source);
        for (uint64_t at = DdsDataOffset; !failed && at + chunk.size() <= source.length; at += chunk.size()) {
            failed |= !ddsRead(source, at, chunk.data(), chunk.size());
        }
        ddsCloseFile(&file);
    };
    timeWholeFile(state, name, size, static_cast<size_t>(size) * size * benchOutputBytesPerPixel(*format), readOnce,
                  failed, "the file could not be read");
}

// The kernels with the processor's extensions turned off: the baseline
// paths, those that a processor with SSE2 only runs.
void benchBlockKernelBaseline(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    ddsAllowCpuExtensions(false);
    benchBlockKernel(state, std::move(name), format, size, Fastest);
    ddsAllowCpuExtensions(true);
}

void benchMaskKernelBaseline(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size) {
    ddsAllowCpuExtensions(false);
    benchMaskKernel(state, std::move(name), format, size, Fastest, size);
    ddsAllowCpuExtensions(true);
}

template <typename Fn, typename... Args>
void add(const std::string &name, Fn fn, Args... args) {
    registerName(name);
    benchmark::RegisterBenchmark(name.c_str(), fn, name, args...)->Unit(benchmark::kMillisecond)->UseManualTime();
}

void registerAll() {
    for (uint32_t size : Sizes) {
        for (uint32_t bytesPerPixel : {3u, 4u}) {
            add(memcpyName(size, bytesPerPixel), benchMemcpy, size, bytesPerPixel);
        }
        for (const BenchFormat &format : benchFormats()) {
            const std::string suffix = std::string(format.name) + "/" + std::to_string(size);
            // kernel: the functions the import calls; plain: the scalar
            // implementations they are checked against.
            if (benchIsLayout(format)) {
                add("kernel/" + suffix, benchLayoutKernel, &format, size);
                add("baseline/" + suffix, benchLayoutKernelBaseline, &format, size);
            } else if (benchIsBlock(format)) {
                add("kernel/" + suffix, benchBlockKernel, &format, size, Fastest);
                add("baseline/" + suffix, benchBlockKernelBaseline, &format, size);
                add("portable/" + suffix, benchBlockKernel, &format, size, static_cast<int>(KernelTier::Portable));
                add("plain/" + suffix, benchBlockKernel, &format, size, static_cast<int>(KernelTier::Plain));
            } else {
                add("kernel/" + suffix, benchMaskKernel, &format, size, Fastest, size);
                add("baseline/" + suffix, benchMaskKernelBaseline, &format, size);
                add("row/" + suffix, benchMaskKernel, &format, size, Fastest, 1u);
                add("plain/" + suffix, benchMaskKernel, &format, size, static_cast<int>(KernelTier::Plain), size);
            }
        }
        for (const BenchFormat &format : benchFormats()) {
            const std::string suffix = std::string(format.name) + "/" + std::to_string(size);
            add("import/" + suffix + "/flipped", benchImport, &format, size, false);
            add("import/" + suffix + "/file_order", benchImport, &format, size, true);
            add("import1/" + suffix + "/flipped", benchImportOneThread, &format, size);
            add("read/" + suffix, benchRead, &format, size);
        }
    }
    // Chosen images, beside import/ of the same size, and cube maps; HDR
    // values with an exposure or sRGB.
    for (const BenchFormat &format : benchFormats()) {
        const std::string name = format.name;
        if (benchHasHdrValues(format)) {
            add("image/" + name + "/1024/exposed", benchHdrImport, &format, 1024u, false);
            add("image/" + name + "/1024/srgb", benchHdrImport, &format, 1024u, true);
        }
        if (name != "DXT1-Rgb" && name != "BGRA8888") continue;
        for (uint32_t size : {1024u, 4096u}) {
            const std::string suffix = name + "/" + std::to_string(size);
            if (name == "DXT1-Rgb" || size == 1024) {
                add("image/" + suffix + "/level1", benchChosenImage, &format, size, Several::Levels);
                add("image/" + suffix + "/face3", benchChosenImage, &format, size, Several::Cube);
            }
            if (size == 1024) {
                add("image/" + suffix + "/cross", benchCube, &format, size, true);
                add("image/" + suffix + "/faces", benchCube, &format, size, false);
            }
            if (name == "BGRA8888") {
                add("copy/" + std::to_string(size) + "/cross", benchCrossCopy, size, true);
                add("copy/" + std::to_string(size) + "/faces", benchCrossCopy, size, false);
            }
        }
    }
}

void printSummary() {
    std::printf("\nSummary (medians over repetitions)\n%-44s %12s %9s\n", "benchmark", "MPix/s", "xMemcpy");
    for (const std::string &name : benchmarkOrder()) {
        const auto rates = measuredRates().find(name);
        if (rates == measuredRates().end()) continue;
        const auto ratios = measuredRatios().find(name);
        const double ratio = ratios == measuredRatios().end() ? 0.0 : benchMedian(ratios->second);
        std::printf("%-44s %12.1f %9.3f\n", name.c_str(), benchMedian(rates->second), ratio);
    }
}

}  // namespace

int main(int argc, char **argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    return 0;
}
