#include "palette/palette.h"

#include <cstring>

bool ddsReadPalette(const DdsSource &source, uint64_t offset, DdsPalette *palette) {
    static_assert(sizeof palette->entries == ddsPaletteBytes, "256 entries of 4 bytes");
    return ddsRead(source, offset, palette->entries, ddsPaletteBytes);
}

void ddsConvertPaletteRow(PaletteLayout layout, const DdsPalette &palette, const uint8_t *source, uint32_t width,
                          uint8_t *rgba) {
    uint32_t x = 0;
    if (layout == PaletteLayout::A8P8) {
        for (; x < width; ++x, rgba += 4) {
            std::memcpy(rgba, palette.entries[source[2 * x]], 3);
            rgba[3] = source[2 * x + 1];
        }
        return;
    }
    // Four lookups a step: the loads of one do not wait for the stores of
    // the one before.
    for (; x + 4 <= width; x += 4, rgba += 16) {
        const uint8_t *a = palette.entries[source[x]], *b = palette.entries[source[x + 1]];
        const uint8_t *c = palette.entries[source[x + 2]], *d = palette.entries[source[x + 3]];
        std::memcpy(rgba, a, 4);
        std::memcpy(rgba + 4, b, 4);
        std::memcpy(rgba + 8, c, 4);
        std::memcpy(rgba + 12, d, 4);
    }
    for (; x < width; ++x, rgba += 4) std::memcpy(rgba, palette.entries[source[x]], 4);
}
