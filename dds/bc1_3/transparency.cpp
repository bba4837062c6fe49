// Whether a DXT1 or BC1 image has a transparent texel, which decides its
// texture type before anything is reported.  The query reads every block
// of the top level that the decode reads, so this runs at memory speed:
// eight blocks a step with SSE2, a word a block without.

#include <algorithm>
#include <cstdint>

#include "bc1_3/bc1_3.h"
#include "bc1_3/colour_rule.h"
#include "common/bytes.h"
#include "common/simd.h"
#include "plan.h"

#if defined(DDS_HAVE_SSE2)
#include <emmintrin.h>
#endif

namespace {

constexpr size_t Bc1BlockBytes = ddsBlockBytes(BlockFormat::Dxt1);

// The blocks read at a time, into a buffer on the stack.
constexpr size_t PieceBlocks = 16 * 1024 / Bc1BlockBytes;

// Bit 2c of the result is set where index c of a row byte (or of the
// 32 index bits) is 3.
constexpr uint32_t threes(uint32_t indices) { return indices & (indices >> 1) & 0x55555555u; }

bool blockTransparent(uint64_t block) {
    const uint32_t color0 = static_cast<uint32_t>(block & 0xFFFF);
    const uint32_t color1 = static_cast<uint32_t>((block >> 16) & 0xFFFF);
    return ddsThreeColourMode(color0, color1) && threes(static_cast<uint32_t>(block >> 32)) != 0;
}

#if defined(DDS_HAVE_SSE2)

// Whether each of the four blocks at `group` is in four-colour mode
// (color1 - color0 < 0), a bit a block: their colour words side by side.
inline int fourColourBlocks(const uint8_t *group) {
    const __m128 first = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i *>(group)));
    const __m128 second = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i *>(group + 16)));
    const __m128i colours = _mm_castps_si128(_mm_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i difference = _mm_sub_epi32(_mm_srli_epi32(colours, 16), _mm_and_si128(colours, _mm_set1_epi32(0xFFFF)));
    return _mm_movemask_ps(_mm_castsi128_ps(difference));
}

// Eight blocks a step are checked for four-colour mode, which opaque
// blocks nearly always are; a step with a three-colour block has its
// blocks' indices looked at one by one.
bool anyTransparentSse2(const uint8_t *blocks, size_t steps) {
    for (size_t s = 0; s < steps; ++s) {
        const uint8_t *step = blocks + 8 * Bc1BlockBytes * s;
        if ((fourColourBlocks(step) & fourColourBlocks(step + 32)) == 0xF) continue;
        for (size_t b = 0; b < 8; ++b) {
            if (blockTransparent(ddsLoad64(step + Bc1BlockBytes * b))) return true;
        }
    }
    return false;
}

#endif

// `count` blocks whose texels all lie inside the image.
bool anyTransparent(const uint8_t *blocks, size_t count) {
    size_t done = 0;
#if defined(DDS_HAVE_SSE2)
    if (anyTransparentSse2(blocks, count / 8)) return true;
    done = count / 8 * 8;
#endif
    uint64_t found = 0;
    for (size_t i = done; i < count; ++i) found |= blockTransparent(ddsLoad64(blocks + Bc1BlockBytes * i));
    return found != 0;
}

// The texels of block (bx, by) inside the image: a bit a column, a bit a row.
uint32_t insideMask(uint32_t block, uint32_t size) {
    const uint32_t left = size - std::min(size, block * ddsBlockSide);
    return left >= ddsBlockSide ? 0xFu : (1u << left) - 1;
}

// The blocks of stored row `by` from `first` on, `count` of them, at `blocks`.
bool rowSegmentTransparent(const DdsPlan &plan, const uint8_t *blocks, uint32_t by, uint32_t first, uint32_t count) {
    const uint32_t wholeAcross = plan.width / ddsBlockSide;
    const bool wholeRow = by < plan.height / ddsBlockSide;
    const uint32_t interior = wholeRow ? std::min(first + count, std::max(first, wholeAcross)) - first : 0;
    if (anyTransparent(blocks, interior)) return true;
    const uint32_t rowMask = insideMask(by, plan.height);
    for (uint32_t b = interior; b < count; ++b) {
        if (ddsBc1BlockHasTransparency(blocks + Bc1BlockBytes * b, insideMask(first + b, plan.width), rowMask)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool ddsBc1BlockHasTransparency(const uint8_t block[8], uint32_t columnMask, uint32_t rowMask) {
    if (!ddsThreeColourMode(ddsLoad16(block), ddsLoad16(block + 2))) return false;
    // Columns inside, as the low bit of each 2-bit index.
    uint32_t columns = 0;
    for (uint32_t c = 0; c < 4; ++c) columns |= ((columnMask >> c) & 1) << (2 * c);
    for (uint32_t r = 0; r < 4; ++r) {
        if (((rowMask >> r) & 1) && (threes(block[4 + r]) & columns) != 0) return true;
    }
    return false;
}

bool ddsBc1FirstBlockTransparent(const DdsSource &source, const DdsPlan &plan, bool *threeColour) {
    uint8_t colours[4];
    *threeColour = false;
    if (!ddsRead(source, plan.dataOffset, colours, sizeof colours)) return false;
    *threeColour = ddsThreeColourMode(ddsLoad16(colours), ddsLoad16(colours + 2));
    return true;
}

bool ddsBc1RowsHaveTransparency(const DdsPlan &plan, const uint8_t *rows, uint32_t firstRow, uint32_t count) {
    for (uint32_t r = 0; r < count; ++r) {
        if (rowSegmentTransparent(plan, rows + size_t{r} * plan.sourceRowBytes, firstRow + r, 0, plan.blocksPerRow)) {
            return true;
        }
    }
    return false;
}

bool ddsBc1ImageHasTransparency(const DdsSource &source, const DdsPlan &plan, bool *transparent) {
    uint8_t piece[PieceBlocks * Bc1BlockBytes];
    if (!ddsBc1FirstBlockTransparent(source, plan, transparent)) return false;
    if (*transparent) return true;
    // The stored rows are contiguous: walk them a piece at a time.
    const uint64_t total = uint64_t{plan.blocksPerRow} * plan.sourceRows;
    for (uint64_t start = 0; start < total; start += PieceBlocks) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(PieceBlocks, total - start));
        if (!ddsRead(source, plan.dataOffset + start * Bc1BlockBytes, piece, count * Bc1BlockBytes)) return false;
        for (size_t done = 0; done < count;) {
            const uint64_t index = start + done;
            const uint32_t by = static_cast<uint32_t>(index / plan.blocksPerRow);
            const uint32_t bx = static_cast<uint32_t>(index % plan.blocksPerRow);
            const uint32_t segment = static_cast<uint32_t>(std::min<uint64_t>(plan.blocksPerRow - bx, count - done));
            if (rowSegmentTransparent(plan, piece + done * Bc1BlockBytes, by, bx, segment)) {
                *transparent = true;
                return true;
            }
            done += segment;
        }
    }
    return true;
}
