// ASTC block-row kernels, with the plain decoder's output byte for byte.
//
// A block is read as two 64-bit words.  Its layout, its endpoints, its
// weights and a void-extent block's colour are read by the plain decoder's
// own functions (astc_layout.h, astc_endpoints.h, astc_ise.h).
//
// A weight grid smaller than the footprint is infilled, by the rule of
// astc_layout.h (astcGridPosition, astcShares), with one 64-bit
// multiplication a texel: each grid point holds the four weights around it
// in 16-bit lanes, and each texel's four bilinear shares (which depend on
// nothing but its two 4-bit fractions, 256 possibilities) sit in the
// reverse order in another word; the product's top lane is the blend.
//
// Partition maps, 2 bits a texel, are made once per seed, partition count
// and footprint and kept in a static table of atomics (several threads may
// decode at once; a map two threads make at once is the same map).
//
// LDR texels, the usual case, are interpolated with the four channels in
// 16-bit lanes of a 64-bit word: P = e0 (64 - w) + e1 w for endpoint bytes
// e0, e1, whose byte (through the UNORM16 value (257 P + 32) >> 6 and its
// half-float truncation) is looked up in a table of every P.  With SSE2,
// two texels a vector, the byte is computed instead.  Blocks with HDR
// endpoints go through the plain decoder; void-extent and illegal blocks
// fill one colour.  A texel is a 32-bit word with R in its low byte, stored
// as is: the byte order of the x86 processors the plug-in is built for.

#include "astc/astc.h"

#include <atomic>
#include <cstring>

#include "astc/astc_bits.h"
#include "astc/astc_endpoints.h"
#include "astc/astc_ise.h"
#include "astc/astc_layout.h"
#include "astc/astc_texel.h"
#include "common/rows.h"
#include "common/simd.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace {

// ---------------------------------------------------------------- weights

// Where texel coordinate s of a block side of `B` texels falls in a grid
// side of n points (astcGridPosition): the grid point at or before it and
// the 4-bit fraction towards the next.
struct AxisPoint {
    uint8_t index, fraction;
};
struct Axis {
    AxisPoint points[13][12];  // by grid side (2 to 12), then texel
};
constexpr Axis axisOf(unsigned blockSide) {
    Axis axis{};
    for (unsigned n = 2; n <= 12; ++n) {
        for (unsigned s = 0; s < blockSide; ++s) {
            const unsigned g = astcGridPosition(blockSide, n, s);
            axis.points[n][s] = {static_cast<uint8_t>(g >> 4), static_cast<uint8_t>(g & 0xF)};
        }
    }
    return axis;
}
template <unsigned B>
constexpr Axis AxisFor = axisOf(B);

// The four shares of fractions fs, ft (each 0 to 15, astcShares) in 16-bit
// lanes, lowest first: w11, w10, w01, w00, against grid weights held as
// p00, p01, p10, p11 from the lowest lane.
struct Shares {
    uint64_t words[16][16];  // by ft, then fs
};
constexpr Shares buildShares() {
    Shares shares{};
    for (unsigned ft = 0; ft < 16; ++ft) {
        for (unsigned fs = 0; fs < 16; ++fs) {
            const AstcShares w = astcShares(fs, ft);
            shares.words[ft][fs] = uint64_t{w.w11} | uint64_t{w.w10} << 16 | uint64_t{w.w01} << 32 | uint64_t{w.w00} << 48;
        }
    }
    return shares;
}
constexpr Shares InfillShares = buildShares();

// The weight of each texel of a W x H block from a grid of N x M weights
// (0 to 64, with zeros past the grid for the neighbours of its last row and
// column): for each grid point the four weights p00, p01, p10, p11 around
// it, then one product a texel.
template <unsigned W, unsigned H>
void infill(const uint8_t *grid, unsigned n, unsigned m, uint8_t *texelWeights) {
    uint64_t corners[64];
    for (unsigned i = 0; i < n * m; ++i) {
        corners[i] = uint64_t{grid[i]} | uint64_t{grid[i + 1]} << 16 | uint64_t{grid[i + n]} << 32 |
                     uint64_t{grid[i + n + 1]} << 48;
    }
    const AxisPoint *columns = AxisFor<W>.points[n];
    const AxisPoint *rows = AxisFor<H>.points[m];
    for (unsigned t = 0; t < H; ++t) {
        const uint64_t *corner = corners + rows[t].index * n;
        const uint64_t *shares = InfillShares.words[rows[t].fraction];
        for (unsigned s = 0; s < W; ++s) {
            const uint64_t blend = corner[columns[s].index] * shares[columns[s].fraction];
            texelWeights[t * W + s] = static_cast<uint8_t>(astcBlendedWeight(static_cast<unsigned>(blend >> 48)));
        }
    }
}

// ---------------------------------------------------------------- partitions

// Made partition maps of a W x H footprint, by partition count (2 to 4)
// and seed, each `Words` words of 2-bit partition numbers (texel i at bit
// 2i of the words taken as one run); bit k of `ready` tells that map k is
// there.
template <unsigned W, unsigned H>
struct PartitionMaps {
    static constexpr unsigned Words = (2 * W * H + 31) / 32;
    std::atomic<uint32_t> ready[3 * 1024 / 32];
    std::atomic<uint32_t> maps[3 * 1024][Words];
};
template <unsigned W, unsigned H>
PartitionMaps<W, H> partitionMapsOf;

template <unsigned W, unsigned H>
void partitionMap(unsigned count, unsigned seed, uint32_t *words) {
    PartitionMaps<W, H> &cache = partitionMapsOf<W, H>;
    constexpr unsigned Words = PartitionMaps<W, H>::Words;
    const unsigned index = (count - 2) * 1024 + seed;
    const uint32_t readyBit = 1u << (index & 31);
    if (cache.ready[index >> 5].load(std::memory_order_acquire) & readyBit) {
        for (unsigned i = 0; i < Words; ++i) words[i] = cache.maps[index][i].load(std::memory_order_relaxed);
        return;
    }
    for (unsigned i = 0; i < Words; ++i) words[i] = 0;
    for (unsigned t = 0; t < H; ++t)
        for (unsigned s = 0; s < W; ++s)
            words[(t * W + s) / 16] |= astcPartitionOf(seed, count, s, t, W * H < 31) << (2 * ((t * W + s) % 16));
    for (unsigned i = 0; i < Words; ++i) cache.maps[index][i].store(words[i], std::memory_order_relaxed);
    cache.ready[index >> 5].fetch_or(readyBit, std::memory_order_release);
}

// ---------------------------------------------------------------- texels

// The byte of an LDR channel for each P = e0 (64 - w) + e1 w (0 to 16320).
struct LdrBytes {
    uint8_t bytes[255 * 64 + 1];
};
constexpr LdrBytes buildLdrBytes() {
    LdrBytes table{};
    for (uint32_t p = 0; p <= 255 * 64; ++p) table.bytes[p] = astcUnormByte(4 * p + ((p + 32) >> 6));
    return table;
}
constexpr LdrBytes LdrByteOf = buildLdrBytes();

// A partition's LDR endpoints as lanes: `base` holds 64 e0 per channel,
// `delta` e1 - e0 as one 64-bit number (a negative lane borrowing from the
// one above, which the sum base + w delta pays back: every lane of it lies
// in 0 to 16320).  With two planes, `delta` leaves out the second plane's
// channel and `delta2` holds it alone.  `deltaLanes` and `delta2Lanes` are
// the same differences each in its own 16-bit lane, for lane-wise
// arithmetic.
struct Lanes {
    uint64_t base, delta, delta2, deltaLanes, delta2Lanes;
};

Lanes lanesOf(const AstcEndpoints &e, int planeTwoChannel) {
    Lanes lanes{0, 0, 0, 0, 0};
    for (unsigned c = 0; c < 4; ++c) {
        const int64_t e0 = e.low[c] >> 8, e1 = e.high[c] >> 8;
        lanes.base += static_cast<uint64_t>(e0 * 64) << (16 * c);
        const uint64_t d = static_cast<uint64_t>((e1 - e0) * (int64_t{1} << (16 * c)));
        const uint64_t lane = (static_cast<uint64_t>(e1 - e0) & 0xFFFF) << (16 * c);
        if (static_cast<int>(c) == planeTwoChannel) lanes.delta2 += d, lanes.delta2Lanes |= lane;
        else lanes.delta += d, lanes.deltaLanes |= lane;
    }
    return lanes;
}

inline uint32_t ldrPixel(uint64_t p) {
    return uint32_t{LdrByteOf.bytes[p & 0xFFFF]} | uint32_t{LdrByteOf.bytes[p >> 16 & 0xFFFF]} << 8 |
           uint32_t{LdrByteOf.bytes[p >> 32 & 0xFFFF]} << 16 | uint32_t{LdrByteOf.bytes[p >> 48]} << 24;
}

// What a block's texel loop needs.
struct LdrBlock {
    Lanes lanes[4];
    uint32_t partitions[9];  // the partition map
    uint8_t weights[2][144];
};

template <bool Partitioned>
inline const Lanes &lanesOfTexel(const LdrBlock &block, unsigned i) {
    return block.lanes[Partitioned ? block.partitions[i / 16] >> (2 * (i % 16)) & 3 : 0];
}

template <bool Partitioned, bool Dual>
inline uint32_t ldrTexel(const LdrBlock &block, unsigned i) {
    const Lanes &l = lanesOfTexel<Partitioned>(block, i);
    uint64_t p = l.base + block.weights[0][i] * l.delta;
    if constexpr (Dual) p += block.weights[1][i] * l.delta2;
    return ldrPixel(p);
}

template <unsigned Texels, bool Partitioned, bool Dual>
void ldrTexelsPortable(const LdrBlock &block, uint32_t *pixels) {
    for (unsigned i = 0; i < Texels; ++i) pixels[i] = ldrTexel<Partitioned, Dual>(block, i);
}

#if defined(DDS_HAVE_SSE2)

// Eight channels (two texels) of P as UNORM16 C = 4 P + ((P + 32) >> 6),
// kept to its 11 leading bits, then round(255 C / 65536).
inline __m128i ldrBytesSse2(__m128i p) {
    const __m128i c = _mm_add_epi16(_mm_slli_epi16(p, 2), _mm_srli_epi16(_mm_add_epi16(p, _mm_set1_epi16(32)), 6));
    __m128i below = _mm_srli_epi16(c, 11);
    below = _mm_or_si128(below, _mm_srli_epi16(below, 1));
    below = _mm_or_si128(below, _mm_srli_epi16(below, 2));
    below = _mm_or_si128(below, _mm_srli_epi16(below, 4));
    const __m128i t = _mm_andnot_si128(below, c);
    const __m128i scale = _mm_set1_epi16(255);
    // (255 T + 32768) >> 16: the product's high half, plus one where its
    // low half reaches 32768.
    return _mm_add_epi16(_mm_mulhi_epu16(t, scale), _mm_srli_epi16(_mm_mullo_epi16(t, scale), 15));
}

// Two 64-bit words, lanes of texel i and texel i + 1.
inline __m128i pairOf(const uint64_t &first, const uint64_t &second) {
    return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(&first)),
                              _mm_loadl_epi64(reinterpret_cast<const __m128i *>(&second)));
}

// Weights i to i + 3 of a plane in the lanes of two vectors: texel i in
// lanes 0-3 and i + 1 in lanes 4-7 of the first, i + 2 and i + 3 in the
// second.
inline void weightLanes(const uint8_t *weights, __m128i &first, __m128i &second) {
    uint32_t four;
    std::memcpy(&four, weights, 4);
    __m128i w = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(four)), _mm_setzero_si128());
    w = _mm_unpacklo_epi16(w, w);
    first = _mm_unpacklo_epi32(w, w);
    second = _mm_unpackhi_epi32(w, w);
}

template <unsigned Texels, bool Partitioned, bool Dual>
void ldrTexelsSse2(const LdrBlock &block, uint32_t *pixels) {
    const Lanes &only = block.lanes[0];
    const __m128i base = pairOf(only.base, only.base), delta = pairOf(only.deltaLanes, only.deltaLanes);
    const __m128i delta2 = pairOf(only.delta2Lanes, only.delta2Lanes);
    constexpr unsigned Whole = Texels / 4 * 4;
    for (unsigned i = 0; i < Whole; i += 4) {
        __m128i w0, w1, w2, w3;
        weightLanes(block.weights[0] + i, w0, w1);
        if constexpr (Dual) weightLanes(block.weights[1] + i, w2, w3);
        __m128i p[2];
        for (unsigned half = 0; half < 2; ++half) {
            __m128i b = base, d = delta, d2 = delta2;
            if constexpr (Partitioned) {
                const Lanes &l0 = lanesOfTexel<true>(block, i + 2 * half), &l1 = lanesOfTexel<true>(block, i + 2 * half + 1);
                b = pairOf(l0.base, l1.base);
                d = pairOf(l0.deltaLanes, l1.deltaLanes);
                if constexpr (Dual) d2 = pairOf(l0.delta2Lanes, l1.delta2Lanes);
            }
            p[half] = _mm_add_epi16(b, _mm_mullo_epi16(d, half == 0 ? w0 : w1));
            if constexpr (Dual) p[half] = _mm_add_epi16(p[half], _mm_mullo_epi16(d2, half == 0 ? w2 : w3));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i *>(pixels + i),
                         _mm_packus_epi16(ldrBytesSse2(p[0]), ldrBytesSse2(p[1])));
    }
    for (unsigned i = Whole; i < Texels; ++i) pixels[i] = ldrTexel<Partitioned, Dual>(block, i);
}

#endif

// ---------------------------------------------------------------- blocks

// The pixels of a block all one colour: a void-extent block's, or the
// error colour.
void fillWords(uint32_t *pixels, unsigned count, const uint8_t rgba[4]) {
    uint32_t word;
    std::memcpy(&word, rgba, 4);
    for (unsigned i = 0; i < count; ++i) pixels[i] = word;
}

// The texel weights of each plane.  A grid as large as the footprint (at
// most 64 points, so footprints up to 8 x 8) needs no infill.
template <unsigned W, unsigned H>
void texelWeights(const AstcBits &bits, const AstcBlockMode &mode, LdrBlock &block) {
    uint8_t stored[64 + 16];
    astcDecodeWeights(bits, mode, stored);
    const unsigned n = mode.gridWidth, m = mode.gridHeight, points = n * m;
    const bool whole = n == W && m == H;
    if constexpr (W * H <= 64) {
        if (whole && mode.planes == 1) {
            std::memcpy(block.weights[0], stored, W * H);
            return;
        }
    }
    for (unsigned plane = 0; plane < mode.planes; ++plane) {
        uint8_t grid[64 + 16];
        for (unsigned i = 0; i < points; ++i) grid[i] = stored[i * mode.planes + plane];
        if constexpr (W * H <= 64) {
            if (whole) {
                std::memcpy(block.weights[plane], grid, W * H);
                continue;
            }
        }
        // The neighbours past the last row and column get no share, but
        // are read: zeros.
        std::memset(grid + points, 0, n + 1);
        infill<W, H>(grid, n, m, block.weights[plane]);
    }
}

using TexelLoop = void (*)(const LdrBlock &, uint32_t *);

template <unsigned W, unsigned H, bool Sse2>
constexpr TexelLoop texelLoop(bool partitioned, bool dual) {
#if defined(DDS_HAVE_SSE2)
    if constexpr (Sse2) {
        return partitioned ? (dual ? &ldrTexelsSse2<W * H, true, true> : &ldrTexelsSse2<W * H, true, false>)
                           : (dual ? &ldrTexelsSse2<W * H, false, true> : &ldrTexelsSse2<W * H, false, false>);
    }
#endif
    return partitioned ? (dual ? &ldrTexelsPortable<W * H, true, true> : &ldrTexelsPortable<W * H, true, false>)
                       : (dual ? &ldrTexelsPortable<W * H, false, true> : &ldrTexelsPortable<W * H, false, false>);
}

// Decodes one block into W x H RGBA words.
template <unsigned W, unsigned H, bool Sse2>
void decodeBlock(const uint8_t *data, uint32_t *pixels) {
    const AstcBits bits = astcLoadBits(data);
    AstcBlockLayout layout;
    if (!astcParseBlock(bits, W, H, &layout)) {
        uint8_t rgba[4];
        const bool voidExtent = astcIsVoidExtent(static_cast<uint32_t>(bits.low)) && astcVoidExtentColour(bits, rgba);
        fillWords(pixels, W * H, voidExtent ? rgba : kAstcErrorColour);
        return;
    }
    const AstcBlockMode &mode = layout.mode;
    for (unsigned p = 0; p < layout.partitionCount; ++p) {
        if (astcIsHdrMode(layout.cems[p])) {
            ddsDecodeAstcBlock(data, W, H, reinterpret_cast<uint8_t *>(pixels), W * 4);
            return;
        }
    }
    LdrBlock block;
    AstcEndpoints endpoints[4];
    astcReadEndpoints(bits, layout, endpoints);
    for (unsigned p = 0; p < layout.partitionCount; ++p) block.lanes[p] = lanesOf(endpoints[p], layout.planeTwoChannel);
    texelWeights<W, H>(bits, mode, block);
    if (layout.partitionCount > 1) partitionMap<W, H>(layout.partitionCount, layout.partitionSeed, block.partitions);
    texelLoop<W, H, Sse2>(layout.partitionCount > 1, mode.planes == 2)(block, pixels);
}

// ---------------------------------------------------------------- rows

template <unsigned W, unsigned H, int BytesPerPixel, bool Sse2>
void astcRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    alignas(16) uint32_t pixels[W * H];
    for (uint32_t b = 0; b < blockCount; ++b) {
        decodeBlock<W, H, Sse2>(blocks + size_t{16} * b, pixels);
        for (unsigned t = 0; t < H; ++t) {
            uint8_t *out = rows[t] + size_t{b} * W * BytesPerPixel;
            const uint32_t *p = pixels + t * W;
            if constexpr (BytesPerPixel == 4) {
                std::memcpy(out, p, W * 4);
            } else {
                unsigned s = 0;
                for (; s + 4 <= W; s += 4, out += 12) ddsPutPixels<3>(out, p[s], p[s + 1], p[s + 2], p[s + 3]);
                for (; s < W; ++s, out += 3) std::memcpy(out, p + s, 3);
            }
        }
    }
}

// The kernels of one tier, by format: the footprint comes from ddsBlockShapes.
template <bool Sse2>
struct Tier {
    template <BlockFormat Format, int BytesPerPixel>
    struct Kernel {
        static constexpr BlockShape Shape = ddsBlockShape(Format);
        static constexpr BlockRowKernel run = astcRow<Shape.width, Shape.height, BytesPerPixel, Sse2>;
    };
};

template <bool Sse2>
BlockRowKernel kernelOf(BlockFormat format, int bytesPerPixel) {
    using B = BlockFormat;
    return ddsKernelOf<Tier<Sse2>::template Kernel, B::Astc4x4, B::Astc5x4, B::Astc5x5, B::Astc6x5, B::Astc6x6,
                       B::Astc8x5, B::Astc8x6, B::Astc8x8, B::Astc10x5, B::Astc10x6, B::Astc10x8, B::Astc10x10,
                       B::Astc12x10, B::Astc12x12>(format, bytesPerPixel);
}

}  // namespace

BlockRowKernel ddsAstcKernelPortable(BlockFormat format, int bytesPerPixel) { return kernelOf<false>(format, bytesPerPixel); }

#if defined(DDS_HAVE_SSE2)
BlockRowKernel ddsAstcKernelSse2(BlockFormat format, int bytesPerPixel) { return kernelOf<true>(format, bytesPerPixel); }
#endif
