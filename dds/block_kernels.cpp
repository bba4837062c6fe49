#include "block_kernels.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "bc1_3/bc1_3.h"
#include "bc4_5/bc4_5.h"
#include "bc6_7/bc6_7.h"
#include "astc/astc.h"
#include "atc/atc.h"
#include "etc/etc.h"
#include "common/simd.h"

namespace {

using B = BlockFormat;

// The plain tier: each block decoded by ddsDecodeBlock into RGBA pixels on
// the stack, then copied into the rows, or packed to three bytes a pixel
// (ddsDecodeBlockInside, which the blocks across the image's edges take too);
// the mapped kernels with the image's HDR table `hdr`.
template <BlockFormat Format, int BytesPerPixel>
void plainBlocks(const DdsHdrTable *hdr, const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows) {
    constexpr BlockShape shape = ddsBlockShape(Format);
    for (uint32_t b = 0; b < blockCount; ++b) {
        ddsDecodeBlockInside(Format, ddsBlockAt<Format>(blocks, b), rows, ddsBlockColumn<Format, BytesPerPixel>(b),
                             shape.width, shape.height, BytesPerPixel, hdr);
    }
}

template <BlockFormat Format, int BytesPerPixel>
struct PlainRow {
    static void run(const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
        plainBlocks<Format, BytesPerPixel>(nullptr, blocks, count, rows);
    }
};

template <BlockFormat Format, int BytesPerPixel>
struct PlainMappedRow {
    static void run(const DdsHdrTable &table, const uint8_t *blocks, uint32_t count, uint8_t *const *rows) {
        plainBlocks<Format, BytesPerPixel>(&table, blocks, count, rows);
    }
};

template <size_t... I>
BlockRowKernel plainKernel(BlockFormat format, int bytesPerPixel, std::index_sequence<I...>) {
    return ddsKernelOf<PlainRow, static_cast<BlockFormat>(I)...>(format, bytesPerPixel);
}

// Every block format up to PVRTC1's words, which are not block-local and
// come last.
static_assert(ddsIndex(B::Pvrtc4) + 2 == ddsBlockFormatCount && ddsIndex(B::Pvrtc2) + 1 == ddsBlockFormatCount,
              "PVRTC1 last");
BlockRowKernel plainKernels(BlockFormat format, int bytesPerPixel) {
    return plainKernel(format, bytesPerPixel, std::make_index_sequence<ddsIndex(B::Pvrtc4)>());
}

// Each family's kernels, by tier: a faster tier's only where the build
// compiles it.  The same for the mapped kernels (HDR values).
template <typename Kernel>
struct FamilyTier {
    KernelTier tier;
    Kernel (*find)(BlockFormat format, int bytesPerPixel);
};

constexpr FamilyTier<BlockRowKernel> Families[] = {
    {KernelTier::Plain, plainKernels},
    {KernelTier::Portable, ddsBc13KernelPortable},
    {KernelTier::Portable, ddsRgtcKernelPortable},
    {KernelTier::Portable, ddsBptcKernelPortable},
    {KernelTier::Portable, ddsEtcKernelPortable},
    {KernelTier::Portable, ddsAtcKernelPortable},
    {KernelTier::Portable, ddsAstcKernelPortable},
#if defined(DDS_HAVE_SSE2)
    {KernelTier::Sse2, ddsBc13KernelSse2},
    {KernelTier::Sse2, ddsRgtcKernelSse2},
    {KernelTier::Sse2, ddsBptcKernelSse2},
    {KernelTier::Sse2, ddsAstcKernelSse2},
#endif
#if defined(DDS_HAVE_SSSE3)
    {KernelTier::Ssse3, ddsBc13KernelSsse3},
    {KernelTier::Ssse3, ddsRgtcKernelSsse3},
    {KernelTier::Ssse3, ddsEtcKernelSsse3},
    {KernelTier::Ssse3, ddsAtcKernelSsse3},
#endif
#if defined(DDS_HAVE_AVX2)
    {KernelTier::Avx2, ddsBc6hKernelAvx2},
    {KernelTier::Avx2, ddsBc7KernelAvx2},
#endif
};

constexpr FamilyTier<MappedBlockRowKernel> MappedFamilies[] = {
    {KernelTier::Plain, ddsKernelOf<PlainMappedRow, B::Bc6h, B::Bc6hSigned>},
    {KernelTier::Portable, ddsBc6hMappedKernelPortable},
#if defined(DDS_HAVE_SSE2)
    {KernelTier::Sse2, ddsBc6hMappedKernelSse2},
#endif
#if defined(DDS_HAVE_AVX2)
    {KernelTier::Avx2, ddsBc6hMappedKernelAvx2},
#endif
};

constexpr KernelTier FastestFirst[] = {KernelTier::Avx2, KernelTier::Ssse3, KernelTier::Sse2, KernelTier::Portable,
                                       KernelTier::Plain};

// The first kernel of `tier` that a family of `families` has for the
// format and pixel size (3 or 4 bytes), or null.
template <typename Kernel, size_t Count>
Kernel kernelOfTier(const FamilyTier<Kernel> (&families)[Count], BlockFormat format, int bytesPerPixel,
                    KernelTier tier) {
    if ((bytesPerPixel != 3 && bytesPerPixel != 4) || !ddsProcessorRuns(tier)) return nullptr;
    for (const FamilyTier<Kernel> &family : families) {
        if (family.tier != tier) continue;
        if (Kernel kernel = family.find(format, bytesPerPixel)) return kernel;
    }
    return nullptr;
}

// The kernel of the fastest tier that has one.
template <typename Kernel, size_t Count>
Kernel fastestKernel(const FamilyTier<Kernel> (&families)[Count], BlockFormat format, int bytesPerPixel) {
    for (KernelTier tier : FastestFirst) {
        if (Kernel kernel = kernelOfTier(families, format, bytesPerPixel, tier)) return kernel;
    }
    return nullptr;
}

}  // namespace

void ddsDecodeBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride,
                    const DdsHdrTable *hdr) {
    switch (format) {
        case B::Dxt1: case B::Dxt3: case B::Dxt5: case B::Dxt5Normal:
            ddsDecodeBc13Block(format, block, blockOrigin, rowStride);
            return;
        case B::Bc4: case B::Bc4Signed: case B::Bc5: case B::Bc5Signed: case B::Bc5Normal: case B::Bc5SignedNormal:
            ddsDecodeRgtcBlock(format, block, blockOrigin, rowStride);
            return;
        case B::Bc6h: case B::Bc6hSigned:
            ddsDecodeBc6hBlock(block, format == B::Bc6hSigned, blockOrigin, rowStride, hdr);
            return;
        case B::Bc7:
            ddsDecodeBc7Block(block, blockOrigin, rowStride);
            return;
        case B::Etc2Rgb: case B::Etc2PunchThrough: case B::Etc2Rgba: case B::EacR11: case B::EacRg11:
            ddsDecodeEtcBlock(format, block, blockOrigin, rowStride);
            return;
        case B::AtcRgb: case B::AtcExplicitAlpha: case B::AtcInterpolatedAlpha:
            ddsDecodeAtcBlock(format, block, blockOrigin, rowStride);
            return;
        case B::Astc4x4: case B::Astc5x4: case B::Astc5x5: case B::Astc6x5: case B::Astc6x6: case B::Astc8x5:
        case B::Astc8x6: case B::Astc8x8: case B::Astc10x5: case B::Astc10x6: case B::Astc10x8: case B::Astc10x10:
        case B::Astc12x10: case B::Astc12x12:
            ddsDecodeAstcBlock(block, ddsBlockShape(format).width, ddsBlockShape(format).height, blockOrigin,
                               rowStride);
            return;
        case B::Pvrtc4: case B::Pvrtc2:  // not block-local: decoded a word row at a time (pvrtc/pvrtc.h)
        case B::Uncompressed:
            return;
    }
}

void ddsDecodeBlockInside(BlockFormat format, const uint8_t *block, uint8_t *const *rows, size_t column,
                          uint32_t columns, uint32_t rowCount, uint32_t bytesPerPixel, const DdsHdrTable *hdr) {
    const BlockShape shape = ddsBlockShape(format);
    uint8_t decoded[ddsMaxBlockSide * ddsMaxBlockSide * 4];
    ddsDecodeBlock(format, block, decoded, shape.width * 4, hdr);
    for (uint32_t r = 0; r < rowCount; ++r) {
        const uint8_t *pixel = decoded + shape.width * r * 4;
        uint8_t *destination = rows[r] + column;
        for (uint32_t c = 0; c < columns; ++c, pixel += 4, destination += bytesPerPixel) {
            // Copies of a size known when compiled.
            if (bytesPerPixel == 4) {
                std::memcpy(destination, pixel, 4);
            } else {
                std::memcpy(destination, pixel, 3);
            }
        }
    }
}

BlockRowKernel ddsBlockRowKernelOfTier(BlockFormat format, int bytesPerPixel, KernelTier tier) {
    return kernelOfTier(Families, format, bytesPerPixel, tier);
}

BlockRowKernel ddsBlockRowKernel(BlockFormat format, int bytesPerPixel) {
    return fastestKernel(Families, format, bytesPerPixel);
}

HdrValues ddsBlockHdrValues(BlockFormat format) {
    return format == B::Bc6h || format == B::Bc6hSigned ? HdrValues::Halves : HdrValues::None;
}

MappedBlockRowKernel ddsMappedBlockRowKernelOfTier(BlockFormat format, int bytesPerPixel, KernelTier tier) {
    return kernelOfTier(MappedFamilies, format, bytesPerPixel, tier);
}

MappedBlockRowKernel ddsMappedBlockRowKernel(BlockFormat format, int bytesPerPixel) {
    return fastestKernel(MappedFamilies, format, bytesPerPixel);
}
