// Decoders of DXT1, DXT3 and DXT5 blocks (BC4 and BC5 are in rgtc.h).  A
// block decodes to 4 x 4 RGBA pixels through a destination pointer and a
// row stride, so that a caller can put any row of blocks into any rows of
// its image: flipped, packed to three bytes a pixel, or straight into the
// host's buffer.
#ifndef DDS_BLOCKS_H
#define DDS_BLOCKS_H

#include <cstddef>
#include <cstdint>

#include "formats.h"

// Four RGBA pixels: the colours that a block's 2-bit indices select.
struct ColorPalette {
    uint8_t entries[4][4];
};

// Palette of an 8-byte colour block.  The 5:6:5 endpoints expand by a plain
// shift (0xFFFF becomes 248, 252, 248).  With color0 > color1, or whenever
// `alwaysFourColours` is set, entries 2 and 3 lie at a third and two thirds
// between them; otherwise (DXT1's three-colour mode) entry 2 is their mean
// and entry 3 is transparent cyan (0, 255, 255, 0).  Divisions truncate.
// DXT3 and DXT5 take their alpha from the alpha block, so the endpoint
// order selects nothing there: they always use four colours.
ColorPalette ddsDecodeColorPalette(const uint8_t colorBlock[8], bool alwaysFourColours);

// Writes the 16 RGBA pixels that the colour block's indices select.
void ddsWriteColorIndices(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t colorBlock[8],
                          const ColorPalette &palette);

// Replace the alpha byte of the 16 pixels of a block: DXT3's 4-bit values
// (times 17), or DXT5's interpolated ones.
void ddsApplyExplicitAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride, const uint8_t alphaBlock[8]);
void ddsApplyInterpolatedAlpha(uint8_t *blockOrigin, ptrdiff_t rowStride,
                               const uint8_t alphaBlock[8]);

// The eight alpha values of a DXT5 alpha block.
void ddsInterpolatedAlphaTable(uint8_t alpha0, uint8_t alpha1, uint8_t table[8]);

// Undoes premultiplied alpha in the 16 RGBA pixels of a block (DXT2, DXT4):
// each colour channel c of a pixel with alpha a > 0 becomes
// min(255, (c * 255 + a / 2) / a); a pixel with alpha 0 becomes (0, 0, 0, 0).
void ddsUnpremultiplyBlock(uint8_t *blockOrigin, ptrdiff_t rowStride);

// Decodes one block of any block format into 4 x 4 RGBA pixels: the plain
// decoder that the block-row kernels must match.  Writes nothing for a
// format that is not a block format.
void ddsDecodeBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin,
                    ptrdiff_t rowStride);

// Decodes a row of `blockCount` blocks into four destination pixel rows:
// rows[r] receives pixel row r of the block row, at `bytesPerPixel` 4
// (R, G, B, A) or 3 (R, G, B, alpha dropped).  Pixels right of the last
// whole block are not written.
void ddsDecodeBlockRow(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                       uint8_t *const rows[4], int bytesPerPixel);

// The same, one block at a time through ddsDecodeBlock and a 64-byte RGBA
// block, then copied or packed into the rows: the plain implementation that
// ddsDecodeBlockRow's fast paths must match byte for byte.
void ddsDecodeBlockRowScalar(BlockFormat format, const uint8_t *blocks, uint32_t blockCount,
                             uint8_t *const rows[4], int bytesPerPixel);

#endif
