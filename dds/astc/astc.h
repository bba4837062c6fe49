// Decoder of ASTC blocks as DDS files carry them: 16 bytes a block, 2D
// footprints of 4 x 4 to 12 x 12 texels, LDR and HDR endpoint modes alike.
//
// Every texel is decoded to the half-float value a decoder working in HDR
// mode returns, and each channel f of it becomes the byte
// round(255 * clamp(f, 0, 1)).  For an LDR texel whose interpolated UNORM16
// value is C, f is 1 for C = 65535 and otherwise C / 65536 cut to half-float
// precision (its 11 leading bits), so the byte is (255 * T + 32768) >> 16 with
// T = C keeping only its 11 leading bits.  HDR texels are turned from their
// 16-bit logarithmic value into that half-float first.  The sRGB formats
// decode as the plain ones (bytes as stored).
//
// A block that ASTC calls illegal (a reserved block mode, more than 64
// weights, fewer than 24 or more than 96 weight bits, a weight grid larger
// than the footprint, more than 18 endpoint integers or too few bits for
// them, two weight planes with four partitions, a void-extent block with
// reserved bits not set or an empty extent), and a constant-colour block
// whose half-float colour holds a NaN, decodes to opaque magenta
// (255, 0, 255, 255).
#ifndef DDS_ASTC_H
#define DDS_ASTC_H

#include <cstddef>
#include <cstdint>

// The fourteen 2D footprints, in the order 4x4, 5x4, 5x5, 6x5, 6x6, 8x5,
// 8x6, 8x8, 10x5, 10x6, 10x8, 10x10, 12x10, 12x12: index 0 to 13 gives its
// width and height and true; any other index false, writing nothing.
bool ddsAstcFootprint(unsigned index, unsigned *width, unsigned *height);

// Decodes one 16-byte block of a blockWidth x blockHeight footprint into
// RGBA pixels (R, G, B, A bytes): pixel row r of the block goes to
// blockOrigin + r * rowStride.  The plain decoder, written step by step
// from the format's definition; every faster path is held to it byte for
// byte.  Writes nothing for a size that is not one of the footprints.
void ddsDecodeAstcBlock(const uint8_t block[16], unsigned blockWidth, unsigned blockHeight, uint8_t *blockOrigin,
                        ptrdiff_t rowStride);

// Decodes `blockCount` consecutive blocks into the pixel rows
// rows[0 .. blockHeight-1]: block b fills columns blockWidth * b to
// blockWidth * b + blockWidth - 1 of each row, at 4 bytes a pixel (R, G, B,
// A) or 3 (R, G, B, alpha dropped).  Writes exactly blockCount * blockWidth
// pixels of each row and nothing past them.
using BlockRowKernel = void (*)(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows);

// The fastest block-row kernel for the footprint and pixel size (3 or 4)
// that this build and processor have; null for any other size.
BlockRowKernel ddsAstcRowKernel(unsigned blockWidth, unsigned blockHeight, int bytesPerPixel);

// Each kernel tier on its own, for the tests and the benchmark: the
// portable one, and the one whose texel loop uses SSE2 (null in a build
// without SSE2).
BlockRowKernel ddsAstcRowKernelPortable(unsigned blockWidth, unsigned blockHeight, int bytesPerPixel);
BlockRowKernel ddsAstcRowKernelSse2(unsigned blockWidth, unsigned blockHeight, int bytesPerPixel);

#endif
