// The Debian peers beside the importer, in one run: libsquish's
// DecompressImage against ddsDecodeBlockRow over the same blocks in memory,
// and FreeImage's whole-file load (FreeImage_Load of the .dds, a new bitmap
// each time, as it works) against the whole import through the stand-in
// host (open, query, image request into a buffer allocated once, close).
// Neither peer decodes exactly as the importer does; only speed is compared.
//
// MPix/s is from the fastest iteration (the machine is shared).  A summary
// at the end gives each of ours over its peer.

#include <FreeImage.h>
#include <benchmark/benchmark.h>
#include <squish.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "bench_files.h"
#include "block_kernels.h"
#include "plugin_loader.h"
#include "qvhost.h"

namespace {

using Clock = std::chrono::steady_clock;

const uint32_t Sizes[] = {256, 1024, 4096};

std::map<std::string, std::vector<double>> &rates() {
    static std::map<std::string, std::vector<double>> measured;
    return measured;
}

// Times each iteration of `work`; reports MPix/s of the fastest.
template <typename Work>
void run(benchmark::State &state, const std::string &name, double pixels, Work &&work) {
    Clock::duration best = Clock::duration::max();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        work();
        benchmark::ClobberMemory();
        const Clock::duration elapsed = Clock::now() - start;
        best = std::min(best, elapsed);
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    const double seconds = std::chrono::duration<double>(best).count();
    if (seconds <= 0.0) return;
    state.counters["MPix/s"] = pixels / seconds / 1e6;
    rates()[name].push_back(pixels / seconds / 1e6);
}

BlockFormat blockFormatOf(const BenchFormat &format) {
    using B = BlockFormat;
    return format.kind == BenchKind::Dxt3 ? B::Dxt3 : format.kind == BenchKind::Dxt5 ? B::Dxt5 : B::Dxt1;
}

int squishFlags(const BenchFormat &format) {
    return format.kind == BenchKind::Dxt3 ? squish::kDxt3 : format.kind == BenchKind::Dxt5 ? squish::kDxt5 : squish::kDxt1;
}

// Both decode to RGBA, four bytes a pixel.
void benchBlocks(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, bool squishPeer) {
    const std::vector<uint8_t> payload = benchPayload(*format, size, size);
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    const BlockFormat blockFormat = blockFormatOf(*format);
    const size_t stride = static_cast<size_t>(size) * 4;
    const size_t rowBytes = static_cast<size_t>(size / 4) * ddsBlockBytes(blockFormat);
    run(state, name, static_cast<double>(size) * size, [&] {
        if (squishPeer) {
            squish::DecompressImage(pixels.data(), static_cast<int>(size), static_cast<int>(size), payload.data(),
                                    squishFlags(*format));
        } else {
            for (uint32_t row = 0; row < size / 4; ++row) {
                uint8_t *base = pixels.data() + row * 4 * stride;
                uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
                ddsBlockRowKernel(blockFormat, 4)(payload.data() + row * rowBytes, size / 4, rows);
            }
        }
        benchmark::DoNotOptimize(pixels.data());
    });
}

void benchLoad(benchmark::State &state, std::string name, const BenchFormat *format, uint32_t size, bool freeImagePeer) {
    const std::string path = benchFilePath(DDSIMAGE_BENCH_FILE_DIR, *format, size, size);
    const QvHostImporter *importer = benchStartedImporter();
    if (path.empty() || importer == nullptr) {
        state.SkipWithError("no file or no plug-in");
        return;
    }
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * size * 4);
    bool failed = false;
    unsigned peerBits = 0;
    auto once = [&] {
        if (freeImagePeer) {
            FIBITMAP *bitmap = FreeImage_Load(FIF_DDS, path.c_str(), 0);
            failed |= bitmap == nullptr || FreeImage_GetWidth(bitmap) != size;
            if (bitmap != nullptr) {
                peerBits = FreeImage_GetBPP(bitmap);
                FreeImage_Unload(bitmap);
            }
            return;
        }
        int handle = -1;
        if (importer->open(nullptr, nullptr, path.c_str(), "r", &handle) != 0) {
            failed = true;
            return;
        }
        QvImageInfo info{};
        failed |= importer->info(nullptr, nullptr, handle, &info) != 0;
        failed |= importer->image(nullptr, nullptr, handle, nullptr, pixels.data()) != 0;
        importer->close(nullptr, nullptr, handle);
        qvhostClearCalls();
    };
    once();  // the file into the page cache
    if (failed) {
        state.SkipWithError(freeImagePeer ? "FreeImage cannot load this file" : "the import failed");
        return;
    }
    run(state, name, static_cast<double>(size) * size, once);
    // FreeImage keeps some formats as stored (24 or 8 bits a pixel), which
    // is less work than the importer's RGBA.
    if (freeImagePeer) state.counters["PeerBitsPerPixel"] = peerBits;
}

std::vector<std::string> &order() {
    static std::vector<std::string> names;
    return names;
}

template <typename Fn, typename... Args>
void add(const std::string &name, Fn fn, Args... args) {
    order().push_back(name);
    benchmark::RegisterBenchmark(name.c_str(), fn, name, args...)->Unit(benchmark::kMillisecond)->UseManualTime();
}

void printSummary() {
    std::printf("\nSummary (medians over repetitions of the fastest iteration)\n%-40s %10s %10s %8s\n", "ours / peer",
                "ours", "peer", "ratio");
    for (const std::string &name : order()) {
        const std::string prefix = name.substr(0, name.find('/'));
        if (prefix != "squish" && prefix != "freeimage") continue;
        const std::string rest = name.substr(name.find('/'));
        const std::string ours = (prefix == "squish" ? "ddsDecodeBlockRow" : "import") + rest;
        if (rates().count(name) == 0 || rates().count(ours) == 0) continue;
        const double peer = benchMedian(rates()[name]), own = benchMedian(rates()[ours]);
        std::printf("%-40s %10.1f %10.1f %8.2f\n", (ours + " / " + prefix).c_str(), own, peer, own / peer);
    }
}

}  // namespace

int main(int argc, char **argv) {
    FreeImage_Initialise(FALSE);
    for (uint32_t size : Sizes) {
        for (const BenchFormat &format : benchFormats()) {
            if (benchIsTiled(format) || benchIsMobile(format) || benchIsLayout(format)) continue;  // libsquish has none of them
            const std::string suffix = std::string("/") + format.name + "/" + std::to_string(size);
            if (benchIsBlock(format)) {
                add("ddsDecodeBlockRow" + suffix, benchBlocks, &format, size, false);
                add("squish" + suffix, benchBlocks, &format, size, true);
            }
            add("import" + suffix, benchLoad, &format, size, false);
            add("freeimage" + suffix, benchLoad, &format, size, true);
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printSummary();
    FreeImage_DeInitialise();
    return 0;
}
