// BC1 to BC3 (DXT1 to DXT5): a colour block of two 5:6:5 endpoints and
// sixteen 2-bit indices into their palette (colour_rule.h); DXT2 and DXT3
// add a block of sixteen 4-bit alpha values, DXT4 and DXT5 an eight-value
// channel block (common/channel.h) before it.  DXT2 and DXT4 have their
// colour premultiplied by alpha, which the decoder undoes.
//
// The plain rule is here and in plain.cpp; portable.cpp, sse2.cpp and
// ssse3.cpp are its speed tiers, held byte for byte to it.
#ifndef DDS_BC1_3_H
#define DDS_BC1_3_H

#include <cstddef>
#include <cstdint>

#include "common/kernels.h"
#include "formats.h"
#include "source.h"

struct DdsPlan;

// Four RGBA pixels: the colours that a block's 2-bit indices select.
struct ColorPalette {
    uint8_t entries[4][4];
};

// The palette of ddsColourPalette (colour_rule.h) as bytes.
ColorPalette ddsDecodeColorPalette(const uint8_t colorBlock[8], bool alwaysFourColours);

// Writes the 16 RGBA pixels that the colour block's indices select (byte
// 4 + r holds row r, column c at bits 2c and 2c + 1); ATC's colour block
// lays out its indices the same way.
void ddsWriteColorIndices(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t colorBlock[8],
                          const ColorPalette &palette);

// Replaces the alpha byte of the 16 pixels of a block with DXT3's 4-bit
// values (times 17), as ATC's explicit alpha does too.
void ddsApplyExplicitAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t alphaBlock[8]);

// The plain decoder of a DXT1 to DXT5 block into 4 x 4 RGBA pixels.
void ddsDecodeBc13Block(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// What a kernel of DXT1, DXT3 or DXT5 at 3 or 4 bytes a pixel knows when
// it is compiled: where its colour blocks lie, and whether
// alpha is stored (only where the pixel has room for it and the format an
// alpha block).
template <BlockFormat Format, int BytesPerPixel>
struct Bc13Layout {
    static constexpr size_t ColorOffset = Format == BlockFormat::Dxt1 ? 0 : 8;
    static constexpr bool FourColours = Format != BlockFormat::Dxt1;
    static constexpr bool MergeAlpha = Format != BlockFormat::Dxt1 && BytesPerPixel == 4;
};

// The speed tiers' kernels (DXT1, DXT3, DXT5; DXT2 and DXT4 are decoded by
// the plain rule), null for another format; the SSE2 and SSSE3 ones are
// compiled only where the build has them.
BlockRowKernel ddsBc13KernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBc13KernelSse2(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsBc13KernelSsse3(BlockFormat format, int bytesPerPixel);

// For a planned DXT1 or BC1 file: whether the first block is in
// three-colour mode or a texel inside the image is the transparent one.
// Reads the blocks the decode reads, through a buffer on the stack, and
// stops at the first transparent texel.  False when a read fails.
bool ddsBc1ImageHasTransparency(const DdsSource &source, const DdsPlan &plan, bool *transparent);

// Whether the first block of the planned image is in three-colour mode
// (which makes the image Rgba whatever its texels); false when the read
// fails.
bool ddsBc1FirstBlockTransparent(const DdsSource &source, const DdsPlan &plan, bool *threeColour);

// Whether `count` stored rows of blocks from stored row `firstRow` on, read
// into `rows`, have a transparent texel inside the image.
bool ddsBc1RowsHaveTransparency(const DdsPlan &plan, const uint8_t *rows, uint32_t firstRow, uint32_t count);

#endif
