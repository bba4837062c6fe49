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
        const uint8_t *four[4] = {entries[source[x]], entries[source[x + 1]], entries[source[x + 2]], entries[source[x + 3]]};
        for (uint32_t k = 0; k < 4; ++k) std::memcpy(out + k * BytesPerPixel, four[k], BytesPerPixel);
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
