// Our block kernels beside public block decoders, on the same blocks in one
// run: bcdec (every BC format) and bc7decomp (BC7), from the directory
// DDSIMAGE_PEERS_DIR, which stays outside the project; this program is only
// built when their files are there.  The blocks are those of the
// benchmark's images at 4096 x 4096: BC4 to BC7 tiled from real files,
// DXT1 and DXT5 random.
//
// Each decodes the whole image into pixel rows in its own output: ours
// into the importer's 3- or 4-byte pixels (and the other size as well),
// also with the AVX2 tier switched off (noavx2/: the tiers a processor
// without AVX2 runs) and with every extension off (baseline/);
// bcdec into RGBA for BC1, BC3 and BC7, one byte a pixel for BC4, two for
// BC5 and three half floats for BC6H (bcdec_bc6h_half); bc7decomp into 16
// RGBA pixels a block, copied into the image's rows.  Only speed is
// compared.  MPix/s is from the fastest iteration (the machine is shared);
// the summary gives medians over repetitions and ours over each peer.

#include <benchmark/benchmark.h>

#define BCDEC_IMPLEMENTATION
#include <bc7decomp.h>
#include <bcdec.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "bench_files.h"
#include "block_kernels.h"
#include "common/cpu_features.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t Size = 4096;

std::map<std::string, std::vector<double>> &rates() {
    static std::map<std::string, std::vector<double>> measured;
    return measured;
}

BlockFormat blockFormatOf(BenchKind kind) {
    switch (kind) {
        case BenchKind::Dxt5: return BlockFormat::Dxt5;
        case BenchKind::Bc4: return BlockFormat::Bc4;
        case BenchKind::Bc5: return BlockFormat::Bc5;
        case BenchKind::Bc6h: return BlockFormat::Bc6h;
        case BenchKind::Bc6hSigned: return BlockFormat::Bc6hSigned;
        case BenchKind::Bc7: return BlockFormat::Bc7;
        default: return BlockFormat::Dxt1;
    }
}

enum class Decoder { Ours, OursNoAvx2, OursBaseline, Bcdec, Bc7decomp };

bool isOurs(Decoder decoder) {
    return decoder == Decoder::Ours || decoder == Decoder::OursNoAvx2 || decoder == Decoder::OursBaseline;
}

CpuExtension highestExtension(Decoder decoder) {
    return decoder == Decoder::OursBaseline ? CpuExtension::None
           : decoder == Decoder::OursNoAvx2 ? CpuExtension::Ssse3
                                            : CpuExtension::Avx512;
}

// Output bytes a pixel of a peer.
size_t peerPixelBytes(BenchKind kind) {
    switch (kind) {
        case BenchKind::Bc4: return 1;
        case BenchKind::Bc5: return 2;
        case BenchKind::Bc6h: case BenchKind::Bc6hSigned: return 6;
        default: return 4;
    }
}

// One peer block into its output at `pixel`, rows `pitch` bytes apart.
void peerBlock(Decoder decoder, BenchKind kind, const uint8_t *block, uint8_t *pixel, size_t pitch) {
    const int p = static_cast<int>(pitch);
    switch (kind) {
        case BenchKind::Dxt1Rgb: bcdec_bc1(block, pixel, p); return;
        case BenchKind::Dxt5: bcdec_bc3(block, pixel, p); return;
        case BenchKind::Bc4: bcdec_bc4(block, pixel, p); return;
        case BenchKind::Bc5: bcdec_bc5(block, pixel, p); return;
        case BenchKind::Bc6h: bcdec_bc6h_half(block, pixel, p / 2, 0); return;  // pitch in halves
        case BenchKind::Bc6hSigned: bcdec_bc6h_half(block, pixel, p / 2, 1); return;
        case BenchKind::Bc7:
            if (decoder == Decoder::Bcdec) {
                bcdec_bc7(block, pixel, p);
            } else {
                bc7decomp::color_rgba pixels[16];
                bc7decomp::unpack_bc7(block, pixels);
                for (size_t r = 0; r < 4; ++r) std::memcpy(pixel + r * pitch, pixels + 4 * r, 16);
            }
            return;
        default: return;
    }
}

void benchDecode(benchmark::State &state, std::string name, const BenchFormat *format, Decoder decoder,
                 int bytesPerPixel) {
    const std::vector<uint8_t> payload = benchPayload(*format, Size, Size);
    if (payload.empty()) {
        state.SkipWithError("no blocks (the real file to tile is missing)");
        return;
    }
    const BlockFormat blockFormat = blockFormatOf(format->kind);
    const size_t blockBytes = ddsBlockBytes(blockFormat);
    const size_t pixelBytes = isOurs(decoder) ? static_cast<size_t>(bytesPerPixel) : peerPixelBytes(format->kind);
    const size_t stride = Size * pixelBytes;
    std::vector<uint8_t> pixels(stride * Size);
    const uint32_t blocksWide = Size / 4;
    auto once = [&] {
        for (uint32_t row = 0; row < Size / 4; ++row) {
            uint8_t *base = pixels.data() + static_cast<size_t>(row) * 4 * stride;
            const uint8_t *blocks = payload.data() + static_cast<size_t>(row) * blocksWide * blockBytes;
            if (isOurs(decoder)) {
                uint8_t *const rows[4] = {base, base + stride, base + 2 * stride, base + 3 * stride};
                ddsBlockRowKernel(blockFormat, bytesPerPixel)(blocks, blocksWide, rows);
            } else {
                for (uint32_t b = 0; b < blocksWide; ++b)
                    peerBlock(decoder, format->kind, blocks + b * blockBytes, base + b * 4 * pixelBytes, stride);
            }
        }
        benchmark::DoNotOptimize(pixels.data());
    };
    ddsAllowCpuExtensionsUpTo(highestExtension(decoder));
    Clock::duration best = Clock::duration::max();
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        once();
        benchmark::ClobberMemory();
        const Clock::duration elapsed = Clock::now() - start;
        best = std::min(best, elapsed);
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
    }
    ddsAllowCpuExtensions(true);
    const double seconds = std::chrono::duration<double>(best).count();
    if (seconds <= 0.0) return;
    const double rate = static_cast<double>(Size) * Size / seconds / 1e6;
    state.counters["MPix/s"] = rate;
    rates()[name].push_back(rate);
}

struct Row {
    std::string ours, peer;
};
std::vector<Row> &comparisons() {
    static std::vector<Row> rows;
    return rows;
}

void add(const std::string &name, const BenchFormat *format, Decoder decoder, int bytesPerPixel) {
    benchmark::RegisterBenchmark(name.c_str(), benchDecode, name, format, decoder, bytesPerPixel)
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime();
}

void registerAll() {
    for (const BenchFormat &format : benchFormats()) {
        const BenchKind kind = format.kind;
        const bool compared = kind == BenchKind::Dxt1Rgb || kind == BenchKind::Dxt5 || benchIsTiled(format);
        if (!compared) continue;
        const std::string suffix = std::string(format.name) + "/" + std::to_string(Size);
        const int native = static_cast<int>(benchOutputBytesPerPixel(format));
        const std::string ours = "ours/" + suffix + "/" + std::to_string(native * 8) + "bpp";
        add(ours, &format, Decoder::Ours, native);
        add("ours/" + suffix + "/" + std::to_string((7 - native) * 8) + "bpp", &format, Decoder::Ours, 7 - native);
        add("noavx2/" + suffix + "/" + std::to_string(native * 8) + "bpp", &format, Decoder::OursNoAvx2, native);
        add("baseline/" + suffix + "/" + std::to_string(native * 8) + "bpp", &format, Decoder::OursBaseline, native);
        add("bcdec/" + suffix, &format, Decoder::Bcdec, 0);
        comparisons().push_back({ours, "bcdec/" + suffix});
        if (kind == BenchKind::Bc7) {
            add("bc7decomp/" + suffix, &format, Decoder::Bc7decomp, 0);
            comparisons().push_back({ours, "bc7decomp/" + suffix});
        }
    }
}

void printSummary() {
    std::printf("\nSummary (medians over repetitions of the fastest iteration)\n");
    std::printf("%-36s %10s\n", "benchmark", "MPix/s");
    for (const auto &[name, values] : rates()) std::printf("%-36s %10.1f\n", name.c_str(), benchMedian(values));
    std::printf("\n%-36s %-26s %8s\n", "ours", "peer", "ratio");
    for (const Row &row : comparisons()) {
        const auto ours = rates().find(row.ours), peer = rates().find(row.peer);
        if (ours == rates().end() || peer == rates().end()) continue;
        const double peerRate = benchMedian(peer->second);
        std::printf("%-36s %-26s %8.2f\n", row.ours.c_str(), row.peer.c_str(),
                    peerRate > 0.0 ? benchMedian(ours->second) / peerRate : 0.0);
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
