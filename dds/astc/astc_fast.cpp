// ASTC block-row kernels.

#include <cstring>

#include "astc.h"

namespace {

template <unsigned W, unsigned H, int BytesPerPixel>
void plainRow(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    uint8_t rgba[W * H * 4];
    for (uint32_t b = 0; b < blockCount; ++b) {
        ddsDecodeAstcBlock(blocks + size_t{16} * b, W, H, rgba, W * 4);
        for (unsigned t = 0; t < H; ++t) {
            uint8_t *out = rows[t] + size_t{b} * W * BytesPerPixel;
            for (unsigned s = 0; s < W; ++s) std::memcpy(out + s * BytesPerPixel, rgba + 4 * (t * W + s), BytesPerPixel);
        }
    }
}

template <unsigned W, unsigned H>
BlockRowKernel pick(int bytesPerPixel) {
    return bytesPerPixel == 4 ? &plainRow<W, H, 4> : bytesPerPixel == 3 ? &plainRow<W, H, 3> : nullptr;
}

}  // namespace

BlockRowKernel ddsAstcRowKernelPortable(unsigned w, unsigned h, int bytesPerPixel) {
    switch (w * 16 + h) {
        case 4 * 16 + 4: return pick<4, 4>(bytesPerPixel);
        case 5 * 16 + 4: return pick<5, 4>(bytesPerPixel);
        case 5 * 16 + 5: return pick<5, 5>(bytesPerPixel);
        case 6 * 16 + 5: return pick<6, 5>(bytesPerPixel);
        case 6 * 16 + 6: return pick<6, 6>(bytesPerPixel);
        case 8 * 16 + 5: return pick<8, 5>(bytesPerPixel);
        case 8 * 16 + 6: return pick<8, 6>(bytesPerPixel);
        case 8 * 16 + 8: return pick<8, 8>(bytesPerPixel);
        case 10 * 16 + 5: return pick<10, 5>(bytesPerPixel);
        case 10 * 16 + 6: return pick<10, 6>(bytesPerPixel);
        case 10 * 16 + 8: return pick<10, 8>(bytesPerPixel);
        case 10 * 16 + 10: return pick<10, 10>(bytesPerPixel);
        case 12 * 16 + 10: return pick<12, 10>(bytesPerPixel);
        case 12 * 16 + 12: return pick<12, 12>(bytesPerPixel);
        default: return nullptr;
    }
}

BlockRowKernel ddsAstcRowKernelSse2(unsigned, unsigned, int) { return nullptr; }

BlockRowKernel ddsAstcRowKernel(unsigned w, unsigned h, int bytesPerPixel) {
    return ddsAstcRowKernelPortable(w, h, bytesPerPixel);
}
