// Throughput of the ASTC block-row kernels on one thread, over an image of
// 4096 x 4096 texels, beside ARM's astcenc decompressing the same blocks
// (libastcenc on one thread, LDR profile, to 8-bit RGBA: what `astcenc -dl`
// does) and a memcpy of the output.  kernel/ is ddsBlockRowKernel (the
// fastest tier), portable/ and sse2/ each tier, plain/ the plain decoder
// one block at a time.
//
// The blocks: the 256 x 256 photograph of tests/realworld tiled to
// 1024 x 1024 (each tile mirrored and tinted its own way), compressed by
// libastcenc at its medium preset, repeated over the image
// (benchAstcPayload, the blocks of ddsimage_bench's ASTC files too).  Every result
// reports MPix/s and xMemcpy (its rate over a memcpy's of the same output,
// timed in the same iterations, both from the fastest iteration); the
// summary at the end gives medians over repetitions and each rate over
// astcenc's.  Built where libastcenc is installed (libastcenc-dev).

#include <astcenc.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "astc/astc.h"
#include "bench_files.h"
#include "block_kernels.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned ImageSide = 4096;

struct Blocks {
    unsigned blocksX = 0, blocksY = 0;
    std::vector<uint8_t> data;
};

// The image of a footprint, made once (benchAstcPayload): the photograph
// compressed by astcenc, its blocks repeated to cover 4096 x 4096.
const Blocks &blocksFor(unsigned w, unsigned h) {
    static std::map<unsigned, Blocks> made;
    Blocks &blocks = made[w * 16 + h];
    if (blocks.data.empty()) {
        blocks.data = benchAstcPayload(w, h, ImageSide, ImageSide);
        blocks.blocksX = (ImageSide + w - 1) / w;
        blocks.blocksY = (ImageSide + h - 1) / h;
    }
    return blocks;
}

std::map<std::string, std::vector<double>> rates, ratios;
std::vector<std::string> order;

// Times `work` on the whole image each iteration, with a memcpy of the
// output size after it; reports MPix/s and xMemcpy from the fastest of each.
template <typename Work>
void timeImage(benchmark::State &state, const std::string &name, size_t outputBytes, double pixels, Work &&work) {
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
    const double copySeconds = std::chrono::duration<double>(bestCopy).count();
    if (seconds <= 0.0) return;
    state.counters["MPix/s"] = pixels / seconds / 1e6;
    state.counters["xMemcpy"] = copySeconds / seconds;
    rates[name].push_back(pixels / seconds / 1e6);
    ratios[name].push_back(copySeconds / seconds);
}

// The ASTC format of a footprint.
BlockFormat astcFormat(unsigned w, unsigned h) {
    for (unsigned f = ddsIndex(BlockFormat::Astc4x4); f < ddsIndex(BlockFormat::Astc12x12); ++f)
        if (ddsBlockShapes[f].width == w && ddsBlockShapes[f].height == h) return static_cast<BlockFormat>(f);
    return BlockFormat::Astc12x12;
}

// kind: 0 the best kernel, 1 portable, 2 SSE2, 3 the plain decoder, 4 astcenc.
void benchDecode(benchmark::State &state, std::string name, unsigned w, unsigned h, int kind) {
    const Blocks &blocks = blocksFor(w, h);
    if (blocks.data.empty()) {
        state.SkipWithError("no blocks: the photograph of tests/realworld is missing or astcenc failed");
        return;
    }
    const BlockFormat format = astcFormat(w, h);
    const BlockRowKernel kernel = kind == 0   ? ddsBlockRowKernel(format, 4)
                                  : kind == 1 ? ddsBlockRowKernelOfTier(format, 4, KernelTier::Portable)
                                              : ddsBlockRowKernelOfTier(format, 4, KernelTier::Sse2);
    if (kind <= 2 && kernel == nullptr) {
        state.SkipWithError("no such kernel in this build");
        return;
    }
    const size_t stride = size_t{blocks.blocksX} * w * 4;
    std::vector<uint8_t> pixels(stride * blocks.blocksY * h);
    const double texels = static_cast<double>(blocks.blocksX * w) * (blocks.blocksY * h);
    astcenc_context *context = nullptr;
    astcenc_config config;
    if (kind == 4 && (astcenc_config_init(ASTCENC_PRF_LDR, w, h, 1, ASTCENC_PRE_MEDIUM, ASTCENC_FLG_DECOMPRESS_ONLY,
                                          &config) != ASTCENC_SUCCESS ||
                      astcenc_context_alloc(&config, 1, &context) != ASTCENC_SUCCESS)) {
        state.SkipWithError("astcenc has no context");
        return;
    }
    void *slices[1] = {pixels.data()};
    astcenc_image image{blocks.blocksX * w, blocks.blocksY * h, 1, ASTCENC_TYPE_U8, slices};
    const astcenc_swizzle swizzle{ASTCENC_SWZ_R, ASTCENC_SWZ_G, ASTCENC_SWZ_B, ASTCENC_SWZ_A};
    timeImage(state, name, pixels.size(), texels, [&] {
        if (kind == 4) {
            astcenc_decompress_image(context, blocks.data.data(), blocks.data.size(), &image, &swizzle, 0);
            astcenc_decompress_reset(context);
            return;
        }
        for (unsigned y = 0; y < blocks.blocksY; ++y) {
            const uint8_t *row = &blocks.data[size_t{y} * blocks.blocksX * 16];
            uint8_t *base = &pixels[size_t{y} * h * stride];
            if (kind == 3) {
                for (unsigned x = 0; x < blocks.blocksX; ++x)
                    ddsDecodeAstcBlock(row + size_t{x} * 16, w, h, base + size_t{x} * w * 4, static_cast<ptrdiff_t>(stride));
                continue;
            }
            uint8_t *rows[12];
            for (unsigned t = 0; t < h; ++t) rows[t] = base + t * stride;
            kernel(row, blocks.blocksX, rows);
        }
        benchmark::DoNotOptimize(pixels.data());
    });
    if (context != nullptr) astcenc_context_free(context);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

int main(int argc, char **argv) {
    const char *kinds[] = {"kernel", "portable", "sse2", "plain", "astcenc"};
    const unsigned sizes[][2] = {{4, 4}, {6, 6}, {8, 8}, {12, 12}};
    for (const auto &size : sizes) {
        for (int kind = 0; kind < 5; ++kind) {
            const std::string name = std::string(kinds[kind]) + "/" + std::to_string(size[0]) + "x" + std::to_string(size[1]);
            order.push_back(name);
            benchmark::RegisterBenchmark(name.c_str(), benchDecode, name, size[0], size[1], kind)
                ->Unit(benchmark::kMillisecond)
                ->UseManualTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nSummary (medians over repetitions)\n%-20s %10s %9s %10s\n", "benchmark", "MPix/s", "xMemcpy", "xAstcenc");
    for (const std::string &name : order) {
        if (rates.count(name) == 0) continue;
        const std::string peer = "astcenc" + name.substr(name.find('/'));
        const double peerRate = rates.count(peer) ? median(rates[peer]) : 0.0;
        std::printf("%-20s %10.1f %9.3f %10.2f\n", name.c_str(), median(rates[name]), median(ratios[name]),
                    peerRate > 0 ? median(rates[name]) / peerRate : 0.0);
    }
    return 0;
}
