// Throughput of the ETC and EAC block-row kernels over a 4096 x 4096 image
// on one thread, beside memcpy of the same output.  The blocks are random
// but shaped like encoders' output: nine in ten colour blocks in individual
// or differential mode, the others T, H or planar; EAC multipliers are not
// zero.
//
// Each benchmark reports MPix/s, memcpyMPix/s (a memcpy of its output,
// timed in the same iterations) and xMemcpy, the one over the other, all
// from the fastest iteration (the machine is shared; the fastest is the
// least disturbed).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "etc/etc.h"

namespace {

using Clock = std::chrono::steady_clock;
const uint32_t Size = 4096;

struct Random {
    uint32_t state;
    uint32_t next() {
        state ^= state << 13, state ^= state >> 17, state ^= state << 5;
        return state;
    }
    uint8_t byte() { return static_cast<uint8_t>(next() >> 24); }
};

bool sumInRange(uint8_t byte) {
    const int sum = (byte >> 3) + ((byte & 7) >= 4 ? (byte & 7) - 8 : byte & 7);
    return sum >= 0 && sum <= 31;
}

void colorBlock(uint8_t *block, bool punchThrough, Random &random) {
    for (int k = 0; k < 8; ++k) block[k] = random.byte();
    const uint32_t pick = random.next() % 20;
    if (pick < 9 && !punchThrough) {
        block[3] &= 0xFD;  // individual
        return;
    }
    if (!punchThrough) block[3] |= 2;
    // Differential unless drawn otherwise: the first `outside` sums in
    // range, the next one (if any) out of it, for T, H or planar.
    const unsigned outside = pick < 18 ? 3 : random.next() % 3;
    for (unsigned c = 0; c <= outside && c < 3; ++c)
        while (sumInRange(block[c]) != (c != outside)) block[c] = random.byte();
}

void eacBlock(uint8_t *block, Random &random) {
    for (int k = 0; k < 8; ++k) block[k] = random.byte();
    if ((block[1] >> 4) == 0) block[1] |= 0x10;
}

std::vector<uint8_t> imageBlocks(EtcFormat format) {
    const uint32_t blockBytes = ddsEtcBlockBytes(format), count = (Size / 4) * (Size / 4);
    std::vector<uint8_t> blocks(static_cast<size_t>(count) * blockBytes);
    Random random{0xE7C2u};
    for (uint32_t k = 0; k < count; ++k) {
        uint8_t *block = blocks.data() + static_cast<size_t>(k) * blockBytes;
        const bool eac = format == EtcFormat::EacR11 || format == EtcFormat::EacRg11;
        if (eac || format == EtcFormat::Etc2Rgba) eacBlock(block, random);
        if (format == EtcFormat::EacRg11) eacBlock(block + 8, random);
        if (!eac) colorBlock(block + blockBytes - 8, format == EtcFormat::Etc2PunchThrough, random);
    }
    return blocks;
}

void benchKernel(benchmark::State &state, EtcFormat format, int bytesPerPixel, BlockRowKernel kernel) {
    if (kernel == nullptr) {
        state.SkipWithError("no such kernel in this build or on this processor");
        return;
    }
    const std::vector<uint8_t> blocks = imageBlocks(format);
    const size_t stride = static_cast<size_t>(Size) * static_cast<size_t>(bytesPerPixel);
    const size_t rowOfBlocks = static_cast<size_t>(Size / 4) * ddsEtcBlockBytes(format);
    std::vector<uint8_t> pixels(stride * Size), copySource(pixels.size(), 1), copy(pixels.size(), 2);
    Clock::duration best = Clock::duration::max(), bestCopy = Clock::duration::max();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        for (uint32_t row = 0; row < Size / 4; ++row) {
            uint8_t *base = pixels.data() + static_cast<size_t>(row) * 4 * stride;
            uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
            kernel(blocks.data() + row * rowOfBlocks, Size / 4, rows);
        }
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        const Clock::time_point decoded = Clock::now();
        std::memcpy(copy.data(), copySource.data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        const Clock::time_point copied = Clock::now();
        best = std::min(best, decoded - start);
        bestCopy = std::min(bestCopy, copied - decoded);
        state.SetIterationTime(std::chrono::duration<double>(decoded - start).count());
    }
    const double seconds = std::chrono::duration<double>(best).count();
    state.counters["MPix/s"] = static_cast<double>(Size) * Size / seconds / 1e6;
    const double copySeconds = std::chrono::duration<double>(bestCopy).count();
    state.counters["xMemcpy"] = copySeconds / seconds;
    state.counters["memcpyMPix/s"] = static_cast<double>(Size) * Size / copySeconds / 1e6;
}

void registerAll() {
    const std::pair<const char *, EtcFormat> formats[] = {{"ETC2-RGB", EtcFormat::Etc2Rgb},
                                                          {"ETC2-RGBA", EtcFormat::Etc2Rgba},
                                                          {"ETC2-A1", EtcFormat::Etc2PunchThrough},
                                                          {"EAC-R11", EtcFormat::EacR11},
                                                          {"EAC-RG11", EtcFormat::EacRg11}};
    for (const auto &[name, format] : formats) {
        for (int bytesPerPixel : {3, 4}) {
            const std::string suffix = std::string(name) + "/" + std::to_string(8 * bytesPerPixel) + "bpp";
            const std::pair<std::string, BlockRowKernel> tiers[] = {
                {"etc/" + suffix, ddsEtcRowKernel(format, bytesPerPixel)},
                {"etc_portable/" + suffix, ddsEtcRowKernelPortable(format, bytesPerPixel)}};
            for (const auto &[tierName, kernel] : tiers) {
                benchmark::RegisterBenchmark(tierName.c_str(), benchKernel, format, bytesPerPixel, kernel)
                    ->Unit(benchmark::kMillisecond)
                    ->UseManualTime();
            }
        }
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
