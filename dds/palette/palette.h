// Palette-indexed pixels: 256 entries of four bytes R, G, B, A stored
// before the top level, and one index byte a pixel (P8), or a 16-bit pixel
// of an index in the low byte and an alpha in the high byte (A8P8).  Their
// row kernel is ddsPaletteKernel (layout_kernels.h).
#ifndef DDS_PALETTE_H
#define DDS_PALETTE_H

#include <cstdint>

#include "source.h"

enum class PaletteLayout : uint8_t { P8, A8P8 };

constexpr uint32_t ddsPaletteBytes = 1024;

constexpr uint32_t ddsPalettePixelBytes(PaletteLayout layout) { return layout == PaletteLayout::P8 ? 1 : 2; }

// The entries as stored, read once a request into the decoder's own memory.
struct DdsPalette {
    uint8_t entries[256][4];
};

// Reads the 1024 bytes of the palette at `offset`; false when the read fails.
bool ddsReadPalette(const DdsSource &source, uint64_t offset, DdsPalette *palette);

#endif
