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
//
// The plain decoder is astc_block.cpp; astc_fast.cpp holds its speed tiers
// (portable, and SSE2 texel loops), held byte for byte to it.
#ifndef DDS_ASTC_H
#define DDS_ASTC_H

#include <cstddef>
#include <cstdint>

#include "common/kernels.h"
#include "formats.h"

// Decodes one 16-byte block of a blockWidth x blockHeight footprint into
// RGBA pixels (R, G, B, A bytes): pixel row r of the block goes to
// blockOrigin + r * rowStride.  The plain decoder, written step by step
// from the format's definition; every faster path is held to it byte for
// byte.  Writes nothing for a size that is not one of the fourteen 2D
// footprints (4x4 to 12x12, ddsBlockShapes).
void ddsDecodeAstcBlock(const uint8_t block[16], unsigned blockWidth, unsigned blockHeight, uint8_t *blockOrigin,
                        ptrdiff_t rowStride);

// The speed tiers' kernels of Astc4x4 to Astc12x12 (the footprint from
// ddsBlockShapes), null for another format or pixel size: the portable
// one, and the one whose texel loop uses SSE2 (compiled only where the
// build has SSE2).
BlockRowKernel ddsAstcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsAstcKernelSse2(BlockFormat format, int bytesPerPixel);

#endif
