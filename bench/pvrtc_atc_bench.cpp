// Throughput of the ATC block-row kernels and the PVRTC1 banded decoder on
// one thread at 4096 x 4096, beside a memcpy of the same output timed in
// the same iterations.  Each benchmark reports MPix/s and xMemcpy (its
// rate over memcpy's), both from the fastest iteration.
//
// atc/FORMAT/BPP/TIER: a whole image of random blocks (both colour modes)
// through the kernel; atc1/...: the same with every block in colour mode 0.
// pvrtc/RATE/BPP/TIER: a random level read band by band as aligned tiles
// (ddsPvrtcBandRows for 128 KiB bands), put into linear word rows and
// decoded word row by word row; pvrtc-plain/RATE: ddsDecodePvrtcImage on
// the same level, at 1024 x 1024.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "atc/atc.h"
#include "block_kernels.h"
#include "common/cpu_features.h"
#include "pvrtc/pvrtc.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint32_t Size = 4096;

std::vector<uint8_t> randomBytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t &b : bytes) {
        seed ^= seed << 13, seed ^= seed >> 17, seed ^= seed << 5;
        b = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

// Times `work` and then a memcpy of `outputBytes` each iteration; reports
// the work's time, and its best rate and ratio to the best memcpy.
template <typename Work>
void timed(benchmark::State &state, size_t outputBytes, double pixels, Work &&work) {
    std::vector<uint8_t> from(outputBytes, 1), to(outputBytes, 2);
    Clock::duration best = Clock::duration::max(), bestCopy = Clock::duration::max();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        work();
        benchmark::ClobberMemory();
        const Clock::time_point worked = Clock::now();
        std::memcpy(to.data(), from.data(), outputBytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        const Clock::time_point copied = Clock::now();
        best = std::min(best, worked - start);
        bestCopy = std::min(bestCopy, copied - worked);
        state.SetIterationTime(std::chrono::duration<double>(worked - start).count());
    }
    const double seconds = std::chrono::duration<double>(best).count();
    state.counters["MPix/s"] = pixels / seconds / 1e6;
    state.counters["xMemcpy"] = std::chrono::duration<double>(bestCopy).count() / seconds;
}

void benchAtc(benchmark::State &state, AtcFormat format, int bytesPerPixel, AtcTier tier, bool oneMode) {
    const BlockRowKernel kernel = ddsAtcRowKernelTier(format, bytesPerPixel, tier);
    if (kernel == nullptr) {
        state.SkipWithError("tier not available");
        return;
    }
    const uint32_t blockBytes = ddsAtcBlockBytes(format), blocksAcross = Size / 4;
    std::vector<uint8_t> blocks = randomBytes(size_t{blocksAcross} * blocksAcross * blockBytes, 0x1234567u);
    if (oneMode) {
        for (size_t b = 0; b < blocks.size(); b += blockBytes) blocks[b + blockBytes - 7] &= 0x7F;
    }
    const size_t stride = size_t{Size} * static_cast<size_t>(bytesPerPixel);
    std::vector<uint8_t> pixels(stride * Size);
    timed(state, pixels.size(), double{Size} * Size, [&] {
        for (uint32_t y = 0; y < blocksAcross; ++y) {
            uint8_t *base = pixels.data() + size_t{y} * 4 * stride;
            uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
            kernel(blocks.data() + size_t{y} * blocksAcross * blockBytes, blocksAcross, rows);
        }
        benchmark::DoNotOptimize(pixels.data());
    });
}

// DXT1, DXT3 and DXT5 through ddsDecodeBlockRow on the same kind of data,
// for comparison: ATC RGB, ATCA and ATCI have their block layouts.
void benchDxt(benchmark::State &state, BlockFormat format, int bytesPerPixel) {
    const uint32_t blockBytes = ddsBlockBytes(format), blocksAcross = Size / 4;
    const std::vector<uint8_t> blocks = randomBytes(size_t{blocksAcross} * blocksAcross * blockBytes, 0x1234567u);
    const size_t stride = size_t{Size} * static_cast<size_t>(bytesPerPixel);
    std::vector<uint8_t> pixels(stride * Size);
    timed(state, pixels.size(), double{Size} * Size, [&] {
        for (uint32_t y = 0; y < blocksAcross; ++y) {
            uint8_t *base = pixels.data() + size_t{y} * 4 * stride;
            uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
            ddsDecodeBlockRow(format, blocks.data() + size_t{y} * blocksAcross * blockBytes, blocksAcross, rows,
                              bytesPerPixel);
        }
        benchmark::DoNotOptimize(pixels.data());
    });
}

void benchPvrtc(benchmark::State &state, bool twoBits, int bytesPerPixel, PvrtcTier tier) {
    uint8_t *const none[4] = {nullptr, nullptr, nullptr, nullptr};
    if (!ddsDecodePvrtcWordRowTier(tier, nullptr, nullptr, nullptr, 2, twoBits, none, 0, bytesPerPixel)) {
        state.SkipWithError("tier not available");
        return;
    }
    const uint32_t gridWidth = ddsPvrtcGridWidth(Size, twoBits), gridHeight = ddsPvrtcGridHeight(Size);
    const std::vector<uint8_t> level = randomBytes(static_cast<size_t>(ddsPvrtcLevelBytes(Size, Size, twoBits)), 0x7654321u);
    const uint32_t side = ddsPvrtcBandRows(gridWidth, gridHeight, 128 * 1024);
    const size_t rowBytes = size_t{gridWidth} * 8;
    std::vector<uint8_t> band(rowBytes * side), linear(level.size());
    const size_t stride = size_t{Size} * static_cast<size_t>(bytesPerPixel);
    std::vector<uint8_t> pixels(stride * Size);
    timed(state, pixels.size(), double{Size} * Size, [&] {
        for (uint32_t first = 0; first < gridHeight; first += side) {
            for (uint32_t t = 0; t < gridWidth / side; ++t) {
                std::memcpy(band.data() + size_t{t} * side * side * 8,
                            level.data() + static_cast<size_t>(ddsPvrtcTileOffset(t, first, side, gridWidth, gridHeight)),
                            size_t{side} * side * 8);
            }
            ddsPvrtcTilesToRows(band.data(), gridWidth, side, linear.data() + first * rowBytes);
        }
        for (uint32_t y = 0; y < gridHeight; ++y) {
            uint8_t *base = pixels.data() + size_t{y} * 4 * stride;
            uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
            const uint8_t *above = linear.data() + (y == 0 ? gridHeight - 1 : y - 1) * rowBytes;
            const uint8_t *below = linear.data() + (y + 1 == gridHeight ? 0 : y + 1) * rowBytes;
            ddsDecodePvrtcWordRowTier(tier, above, linear.data() + y * rowBytes, below, gridWidth, twoBits, rows, Size,
                                      bytesPerPixel);
        }
        benchmark::DoNotOptimize(pixels.data());
    });
}

void benchPvrtcPlain(benchmark::State &state, bool twoBits) {
    constexpr uint32_t Small = 1024;
    const std::vector<uint8_t> level = randomBytes(static_cast<size_t>(ddsPvrtcLevelBytes(Small, Small, twoBits)), 0x7654321u);
    std::vector<uint8_t> pixels(size_t{Small} * Small * 4);
    timed(state, pixels.size(), double{Small} * Small, [&] {
        ddsDecodePvrtcImage(level.data(), Small, Small, twoBits, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
    });
}

template <typename Fn, typename... Args>
void add(const std::string &name, Fn fn, Args... args) {
    benchmark::RegisterBenchmark(name.c_str(), fn, args...)->Unit(benchmark::kMillisecond)->UseManualTime();
}

void registerAll() {
    const struct {
        const char *name;
        AtcFormat format;
        BlockFormat dxt;
    } atcFormats[] = {{"rgb", AtcFormat::Rgb, BlockFormat::Dxt1},
                      {"explicit", AtcFormat::ExplicitAlpha, BlockFormat::Dxt3},
                      {"interpolated", AtcFormat::InterpolatedAlpha, BlockFormat::Dxt5}};
    for (const auto &f : atcFormats) {
        for (int bytesPerPixel : {3, 4}) {
            const std::string bits = std::to_string(bytesPerPixel * 8) + "bpp";
            const std::string suffix = std::string(f.name) + "/" + bits + "/";
            add("dxt/" + std::string(f.name) + "/" + bits, benchDxt, f.dxt, bytesPerPixel);
            add("atc/" + suffix + "ssse3", benchAtc, f.format, bytesPerPixel, AtcTier::Ssse3, false);
            add("atc/" + suffix + "portable", benchAtc, f.format, bytesPerPixel, AtcTier::Portable, false);
            add("atc1/" + suffix + "ssse3", benchAtc, f.format, bytesPerPixel, AtcTier::Ssse3, true);
            add("atc1/" + suffix + "portable", benchAtc, f.format, bytesPerPixel, AtcTier::Portable, true);
        }
    }
    for (bool twoBits : {false, true}) {
        const std::string rate = twoBits ? "2bpp" : "4bpp";
        for (int bytesPerPixel : {3, 4}) {
            const std::string suffix = rate + "/" + std::to_string(bytesPerPixel * 8) + "bpp/";
            add("pvrtc/" + suffix + "ssse3", benchPvrtc, twoBits, bytesPerPixel, PvrtcTier::Ssse3);
            add("pvrtc/" + suffix + "portable", benchPvrtc, twoBits, bytesPerPixel, PvrtcTier::Portable);
        }
        add("pvrtc-plain/" + rate + "/1024", benchPvrtcPlain, twoBits);
    }
}

}  // namespace

int main(int argc, char **argv) {
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
