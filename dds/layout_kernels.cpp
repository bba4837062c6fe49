#include "layout_kernels.h"

namespace {

constexpr KernelTier FastestFirst[] = {KernelTier::Avx2, KernelTier::Ssse3, KernelTier::Sse2, KernelTier::Portable,
                                       KernelTier::Plain};

// The kernel of `tier` for the plan's layout, with the state it reads.
LayoutRowKernel kernelOfTier(const DdsPlan &plan, KernelTier tier, LayoutState *state) {
    const DdsFormat &format = *plan.format;
    const uint32_t out = plan.pixelBytes;
    state->format = &format;
    state->fields = plan.fields;
    switch (format.coding) {
        case PixelCoding::Masks:
            return ddsMaskKernel(ddsPrepareUncompressed(plan.pixels), uint64_t{plan.width} * plan.height, out, tier,
                                 &state->masks);
        case PixelCoding::Wide: return ddsWideKernel(out, tier);
        case PixelCoding::Fields: return ddsFieldKernel(plan.fields, out, tier);
        case PixelCoding::Bits: return ddsBitKernel(out, tier);
        case PixelCoding::Yuv: return ddsYuvKernel(format.yuv, out, tier);
        case PixelCoding::Palette: return ddsPaletteKernel(out, tier);
        case PixelCoding::Blocks: break;
    }
    return nullptr;
}

}  // namespace

bool ddsLayoutConverterOfTier(const DdsPlan &plan, KernelTier tier, LayoutConverter *converter) {
    const bool runs = (plan.pixelBytes == 3 || plan.pixelBytes == 4) && ddsProcessorRuns(tier);
    converter->kernel = runs ? kernelOfTier(plan, tier, &converter->state) : nullptr;
    return converter->kernel != nullptr;
}

void ddsLayoutConverter(const DdsPlan &plan, LayoutConverter *converter) {
    for (KernelTier tier : FastestFirst) {
        if (ddsLayoutConverterOfTier(plan, tier, converter)) return;
    }
}
