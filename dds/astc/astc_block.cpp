// The plain ASTC block decoder: each step as the format defines it, one
// texel at a time.  The block-row kernels (astc_fast.cpp) are held to it
// byte for byte.

#include "astc/astc.h"

#include <cstring>

#include "astc/astc_bits.h"
#include "astc/astc_endpoints.h"
#include "astc/astc_ise.h"
#include "astc/astc_layout.h"
#include "astc/astc_texel.h"
#include "common/channel_rules.h"

namespace {

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

// The weight of texel (s, t) from a grid of weights (0 to 64) smaller than
// or as large as the block: the blend of the four grid weights around the
// texel's position on the grid.  `grid` has room past its last weight for
// the neighbours that get a zero share.
unsigned infilledWeight(const uint8_t *grid, const AstcBlockMode &mode, unsigned width, unsigned height, unsigned s,
                        unsigned t) {
    const unsigned gs = astcGridPosition(width, mode.gridWidth, s), gt = astcGridPosition(height, mode.gridHeight, t);
    const uint8_t *p = grid + (gs >> 4) + (gt >> 4) * mode.gridWidth;
    const AstcShares w = astcShares(gs & 0xF, gt & 0xF);
    return astcBlendedWeight(p[0] * w.w00 + p[1] * w.w01 + p[mode.gridWidth] * w.w10 + p[mode.gridWidth + 1] * w.w11);
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
    AstcEndpoints endpoints[4];
    astcReadEndpoints(bits, layout, endpoints);

    // Weights: stored from the top bit down, the planes' weights of each
    // grid point next to each other; unquantised to 0 to 64.
    uint8_t stored[64 + 4];
    astcDecodeWeights(bits, mode, stored);
    uint8_t grids[2][64 + 16] = {};
    const unsigned gridSize = unsigned{mode.gridWidth} * mode.gridHeight;
    for (unsigned i = 0; i < gridSize; ++i)
        for (unsigned plane = 0; plane < mode.planes; ++plane) grids[plane][i] = stored[i * mode.planes + plane];

    const bool smallBlock = width * height < 31;
    for (unsigned t = 0; t < height; ++t) {
        uint8_t *row = origin + static_cast<ptrdiff_t>(t) * rowStride;
        for (unsigned s = 0; s < width; ++s) {
            unsigned weights[2] = {0, 0};
            for (unsigned plane = 0; plane < mode.planes; ++plane)
                weights[plane] = infilledWeight(grids[plane], mode, width, height, s, t);
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
    uint8_t rgba[4];
    if (astcIsVoidExtent(astcField(bits, 0, 11))) {
        fill(blockOrigin, rowStride, blockWidth, blockHeight, astcVoidExtentColour(bits, rgba) ? rgba : kAstcErrorColour);
    } else if (!decodeBlock(bits, blockWidth, blockHeight, blockOrigin, rowStride)) {
        fill(blockOrigin, rowStride, blockWidth, blockHeight, kAstcErrorColour);
    }
}
