// The plain ASTC block decoder: each step as the format defines it, one
// texel at a time.  The block-row kernels (astc_fast.cpp) are held to it
// byte for byte.

#include "astc/astc.h"

#include <cstring>

#include "astc/astc_bits.h"
#include "astc/astc_endpoints.h"
#include "astc/astc_ise.h"
#include "astc/astc_layout.h"
#include "astc/astc_partition.h"
#include "astc/astc_texel.h"
#include "common/channel_rules.h"

namespace {

constexpr uint8_t Magenta[4] = {255, 0, 255, 255};

bool isFootprint(unsigned width, unsigned height) {
    for (unsigned f = ddsIndex(BlockFormat::Astc4x4); f <= ddsIndex(BlockFormat::Astc12x12); ++f)
        if (ddsBlockShapes[f].width == width && ddsBlockShapes[f].height == height) return true;
    return false;
}

void fill(uint8_t *origin, ptrdiff_t rowStride, unsigned width, unsigned height, const uint8_t rgba[4]) {
    for (unsigned t = 0; t < height; ++t) {
        uint8_t *row = origin + static_cast<ptrdiff_t>(t) * rowStride;
        for (unsigned s = 0; s < width; ++s) std::memcpy(row + 4 * s, rgba, 4);
    }
}

// A void-extent block: one colour everywhere, UNORM16 (LDR) or half floats
// (HDR); an illegal one, or a half-float colour with a NaN, is the error
// colour.
void decodeVoidExtent(const AstcBits &bits, unsigned width, unsigned height, uint8_t *origin, ptrdiff_t rowStride) {
    const AstcVoidExtent kind = astcVoidExtentKind(bits);
    uint8_t rgba[4];
    for (unsigned c = 0; c < 4; ++c) {
        const uint32_t value = astcField(bits, 64 + 16 * c, 16);
        if (kind == AstcVoidExtent::Illegal || (kind == AstcVoidExtent::Hdr && astcHalfIsNan(value))) {
            fill(origin, rowStride, width, height, Magenta);
            return;
        }
        rgba[c] = kind == AstcVoidExtent::Hdr ? ddsHalfToUnorm8(value) : astcUnormByte(value);
    }
    fill(origin, rowStride, width, height, rgba);
}

// The weight of texel (s, t) from a grid of weights (0 to 64) smaller than
// or as large as the block: a bilinear blend of the four grid weights
// around the texel's position scaled into the grid, in 1/16 steps.  `grid`
// has room past its last weight for the neighbours that get a zero share.
unsigned infilledWeight(const uint8_t *grid, unsigned gridWidth, unsigned gridHeight, unsigned blockWidth,
                        unsigned blockHeight, unsigned s, unsigned t) {
    const unsigned scaleS = (1024 + blockWidth / 2) / (blockWidth - 1);
    const unsigned scaleT = (1024 + blockHeight / 2) / (blockHeight - 1);
    const unsigned gs = (scaleS * s * (gridWidth - 1) + 32) >> 6;
    const unsigned gt = (scaleT * t * (gridHeight - 1) + 32) >> 6;
    const unsigned js = gs >> 4, fs = gs & 0xF, jt = gt >> 4, ft = gt & 0xF;
    const unsigned v0 = js + jt * gridWidth;
    const unsigned w11 = (fs * ft + 8) >> 4, w10 = ft - w11, w01 = fs - w11, w00 = 16 - fs - ft + w11;
    return (grid[v0] * w00 + grid[v0 + 1] * w01 + grid[v0 + gridWidth] * w10 + grid[v0 + gridWidth + 1] * w11 + 8) >>
           4;
}

// One channel of a texel: the endpoints' 16-bit values interpolated by
// weight w (0 to 64), then turned into a byte as LDR or HDR.
uint8_t channelByte(uint32_t low, uint32_t high, unsigned w, bool hdr) {
    const uint32_t c = (low * (64 - w) + high * w + 32) >> 6;
    return hdr ? ddsHalfToUnorm8(astcLnsToHalf(c)) : astcUnormByte(c);
}

// A block that is not a void-extent block; false where it is illegal.
bool decodeBlock(const AstcBits &bits, unsigned width, unsigned height, uint8_t *origin, ptrdiff_t rowStride) {
    AstcBlockLayout layout;
    if (!astcParseBlock(bits, width, height, &layout)) return false;
    const AstcBlockMode &mode = layout.mode;

    // Endpoints: the integers unquantised to bytes, then each partition's
    // pair from its mode.
    uint8_t values[18];
    astcDecodeIse(bits, layout.colourStart, layout.colourRange, layout.colourCount, values);
    for (unsigned i = 0; i < layout.colourCount; ++i) values[i] = kAstcColourUnquant.values[layout.colourRange][values[i]];
    AstcEndpoints endpoints[4];
    for (unsigned p = 0, first = 0; p < layout.partitionCount; ++p) {
        astcDecodeEndpoints(layout.cems[p], values + first, &endpoints[p]);
        first += astcEndpointValueCount(layout.cems[p]);
    }

    // Weights: stored from the top bit down, the planes' weights of each
    // grid point next to each other; unquantised to 0 to 64.
    uint8_t stored[64];
    astcDecodeIse(astcReversed(bits), 0, mode.weightRange, mode.weightCount, stored);
    uint8_t grids[2][64 + 16] = {};
    const unsigned gridSize = unsigned{mode.gridWidth} * mode.gridHeight;
    for (unsigned i = 0; i < gridSize; ++i)
        for (unsigned plane = 0; plane < mode.planes; ++plane)
            grids[plane][i] = kAstcWeightUnquant.values[mode.weightRange][stored[i * mode.planes + plane]];

    const bool smallBlock = width * height < 31;
    for (unsigned t = 0; t < height; ++t) {
        uint8_t *row = origin + static_cast<ptrdiff_t>(t) * rowStride;
        for (unsigned s = 0; s < width; ++s) {
            unsigned weights[2] = {0, 0};
            for (unsigned plane = 0; plane < mode.planes; ++plane)
                weights[plane] = infilledWeight(grids[plane], mode.gridWidth, mode.gridHeight, width, height, s, t);
            const unsigned partition =
                layout.partitionCount == 1 ? 0 : astcPartitionOf(layout.partitionSeed, layout.partitionCount, s, t, smallBlock);
            const AstcEndpoints &e = endpoints[partition];
            for (unsigned c = 0; c < 4; ++c) {
                const unsigned w = static_cast<int>(c) == layout.planeTwoChannel ? weights[1] : weights[0];
                row[4 * s + c] = channelByte(e.low[c], e.high[c], w, e.hdr[c]);
            }
        }
    }
    return true;
}

}  // namespace

void ddsDecodeAstcBlock(const uint8_t block[16], unsigned blockWidth, unsigned blockHeight, uint8_t *blockOrigin,
                        ptrdiff_t rowStride) {
    if (!isFootprint(blockWidth, blockHeight)) return;
    const AstcBits bits = astcLoadBits(block);
    if (astcIsVoidExtent(astcField(bits, 0, 11))) {
        decodeVoidExtent(bits, blockWidth, blockHeight, blockOrigin, rowStride);
    } else if (!decodeBlock(bits, blockWidth, blockHeight, blockOrigin, rowStride)) {
        fill(blockOrigin, rowStride, blockWidth, blockHeight, Magenta);
    }
}
