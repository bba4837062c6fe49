#include "palette/palette.h"

#include <cstring>

#include "layout_kernels.h"

namespace {

// The colour of the entry each index names, and its alpha (P8) or the
// pixel's alpha byte (A8P8).  P8 takes four lookups a step: the loads of
// one do not wait for the stores of the one before.
template <uint32_t BytesPerPixel>
void paletteRow(const LayoutState &state, const uint8_t *source, const uint8_t *, uint32_t width,
                uint8_t *const *rows) {
    const uint8_t(*entries)[4] = state.palette.entries;
    uint8_t *out = rows[0];
    uint32_t x = 0;
    if (state.format->palette == PaletteLayout::A8P8) {
        for (; x < width; ++x, out += BytesPerPixel) {
            std::memcpy(out, entries[source[2 * x]], 3);
            if (BytesPerPixel == 4) out[3] = source[2 * x + 1];
        }
        return;
    }
    for (; x + 4 <= width; x += 4, out += 4 * BytesPerPixel) {
        const uint8_t *a = entries[source[x]], *b = entries[source[x + 1]];
        const uint8_t *c = entries[source[x + 2]], *d = entries[source[x + 3]];
        std::memcpy(out, a, BytesPerPixel);
        std::memcpy(out + BytesPerPixel, b, BytesPerPixel);
        std::memcpy(out + 2 * BytesPerPixel, c, BytesPerPixel);
        std::memcpy(out + 3 * BytesPerPixel, d, BytesPerPixel);
    }
    for (; x < width; ++x, out += BytesPerPixel) std::memcpy(out, entries[source[x]], BytesPerPixel);
}

}  // namespace

bool ddsReadPalette(const DdsSource &source, uint64_t offset, DdsPalette *palette) {
    static_assert(sizeof palette->entries == ddsPaletteBytes, "256 entries of 4 bytes");
    return ddsRead(source, offset, palette->entries, ddsPaletteBytes);
}

LayoutRowKernel ddsPaletteKernel(uint32_t bytesPerPixel, KernelTier tier) {
    if (tier != KernelTier::Plain) return nullptr;
    return bytesPerPixel == 3 ? paletteRow<3> : paletteRow<4>;
}
