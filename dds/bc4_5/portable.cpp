// BC4 and BC5 block rows in portable C++: each channel's eight values
// (common/channel.h) are placed in per-block tables of words that hold the
// value in its own bytes; a pixel is its channels' words OR'ed together.

#include <cstdint>

#include "bc4_5/bc4_5.h"
#include "common/channel.h"
#include "common/rows.h"

namespace {

using B = BlockFormat;

// The eight values of a channel block, each times `spread` plus `fixed`:
// the value placed in the bytes of a word that it fills.
inline void channelWords(const uint8_t *channelBlock, bool isSigned, uint32_t spread, uint32_t fixed,
                         uint32_t words[8]) {
    const uint32_t e0 = ddsRgtcEndpoint(channelBlock[0], isSigned);
    const uint32_t e1 = ddsRgtcEndpoint(channelBlock[1], isSigned);
    for (uint32_t k = 0; k < 8; ++k) words[k] = ddsChannelValue(e0, e1, k) * spread + fixed;
}

// BC4 (grey: R = G = B, A 255) and BC5 (red, green, blue 0 or the normal's
// z, A 255) from the channel words.
template <BlockFormat Format, int BytesPerPixel>
struct WordBlock {
    static void decode(const uint8_t *block, uint8_t *const *rows, size_t column, bool) {
        using L = RgtcLayout<Format>;
        uint32_t red[8];
        uint32_t green[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        // Alpha 255 comes with the green words, or with the grey ones.
        channelWords(block, L::IsSigned, L::HasGreen ? 0x1u : 0x010101u, L::HasGreen ? 0u : 0xFF000000u, red);
        if (L::HasGreen) channelWords(block + 8, L::IsSigned, 0x100u, 0xFF000000u, green);
        const uint64_t redIndices = ddsChannelIndices(block);
        const uint64_t greenIndices = L::HasGreen ? ddsChannelIndices(block + 8) : 0;
        for (int r = 0; r < 4; ++r) {
            const uint32_t redRow = static_cast<uint32_t>(redIndices >> (12 * r));
            const uint32_t greenRow = static_cast<uint32_t>(greenIndices >> (12 * r));
            uint32_t p[4];
            for (int c = 0; c < 4; ++c) {
                p[c] = red[(redRow >> (3 * c)) & 7];
                if (L::HasGreen) p[c] |= green[(greenRow >> (3 * c)) & 7];
                // The low 16 bits are r | g << 8, the table's index.
                if (L::IsNormal) p[c] |= static_cast<uint32_t>(ddsNormalZTable()[p[c] & 0xFFFF]) << 16;
            }
            ddsPutPixels<BytesPerPixel>(rows[r] + column, p[0], p[1], p[2], p[3]);
        }
    }
};

}  // namespace

BlockRowKernel ddsRgtcKernelPortable(BlockFormat format, int bytesPerPixel) {
    if (!ddsWordsAreRgba) return nullptr;
    return ddsKernelOf<BlockWalk<WordBlock>::Kernel, B::Bc4, B::Bc4Signed, B::Bc5, B::Bc5Signed, B::Bc5Normal, B::Bc5SignedNormal>(
        format, bytesPerPixel);
}
