// The one dispatch of the pixel layouts (masks, wide, fields, bits, YUV,
// palettes), as block_kernels.h is for block formats: for a planned image,
// the row kernel of the fastest tier that this build and processor have
// for its layout and the host's pixel size, with the state it reads,
// chosen once an image.
#ifndef DDS_LAYOUT_KERNELS_H
#define DDS_LAYOUT_KERNELS_H

#include <cstdint>

#include "common/hdr_map.h"
#include "common/kernels.h"
#include "masks/masks.h"
#include "palette/palette.h"
#include "plan.h"

// What a layout's row kernel reads besides the pixels, prepared once an
// image.
struct LayoutState {
    const DdsFormat *format;      // the row of the format table: its wide, YUV or palette layout
    UncompressedConverter masks;  // mask-coded pixels: masks, shifts, tables, multipliers
    FieldLayout fields;           // field-coded pixels: the plan's fields
    DdsPalette palette;           // read by the caller, once a request
    const DdsHdrTable *hdr;       // the image's HDR table for the float layouts it maps, else null
};

// Converts one stored row, `width` pixels at `source` (planar YUV: its two
// luma rows there and their chroma row at `chroma`), into rows[0] (planar
// YUV: rows[0] and rows[1]) at a pixel size fixed by the kernel, 4 bytes
// (R, G, B, A) or 3 (R, G, B).  Writes exactly `width` pixels a row.
using LayoutRowKernel = void (*)(const LayoutState &state, const uint8_t *source, const uint8_t *chroma,
                                 uint32_t width, uint8_t *const *rows);

struct LayoutConverter {
    LayoutRowKernel kernel;
    LayoutState state;
};

// Prepares `converter` with the kernel of exactly `tier` for the plan's
// layout at plan.pixelBytes (3 or 4), and the state it reads (all but the
// palette); false when that tier has none for it or this build or
// processor lacks the tier.  Every layout has a Plain kernel.  Mask tables
// and multipliers are prepared only where they pay for the image's pixels.
// With `hdr`, the image's table for the values ddsLayoutHdrValues says the
// plan's layout has (built for them), the kernel maps them through it.
bool ddsLayoutConverterOfTier(const DdsPlan &plan, KernelTier tier, LayoutConverter *converter,
                              const DdsHdrTable *hdr = nullptr);

// The same for the fastest tier available.
void ddsLayoutConverter(const DdsPlan &plan, LayoutConverter *converter, const DdsHdrTable *hdr = nullptr);

// The values of the plan's layout that the HDR preferences map: the
// colour channels of half-float and packed-float layouts (Halves), of
// 32-bit float and shared-exponent layouts and of float fields (Floats,
// the depth layouts' included); None for every other layout (16-bit UNORM
// channels, integer fields).
HdrValues ddsLayoutHdrValues(const DdsPlan &plan);

// Each family's kernel of `tier` at `bytesPerPixel` (3 or 4), or null;
// `mapped`: the wide kernel that maps HDR values through the state's
// table.  (Float fields have the plain tier alone, which maps them when
// the state has a table.)
LayoutRowKernel ddsMaskKernel(const UncompressedLayout &layout, uint64_t pixelCount, uint32_t bytesPerPixel,
                              KernelTier tier, UncompressedConverter *converter);
LayoutRowKernel ddsWideKernel(uint32_t bytesPerPixel, KernelTier tier, bool mapped);
LayoutRowKernel ddsFieldKernel(const FieldLayout &layout, uint32_t bytesPerPixel, KernelTier tier);
LayoutRowKernel ddsBitKernel(uint32_t bytesPerPixel, KernelTier tier);
LayoutRowKernel ddsYuvKernel(YuvLayout layout, uint32_t bytesPerPixel, KernelTier tier);
LayoutRowKernel ddsPaletteKernel(uint32_t bytesPerPixel, KernelTier tier);

#endif
