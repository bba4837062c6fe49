// Decoder of BC4 and BC5 blocks.  A BC4 block is one 8-byte channel block
// laid out as DXT5's alpha block: the eight-value channel block of
// common/channel.h; a BC5 block is two of them,
// red then green.  BC4 is delivered grey (R = G = B, A = 255), BC5 as red
// and green with blue 0 and A = 255, or, for the normal variants, blue
// reconstructed as the z of a unit normal from red and green.
#ifndef DDS_BC4_5_H
#define DDS_BC4_5_H

#include <cstddef>
#include <cstdint>

#include "common/channel_rules.h"
#include "common/kernels.h"
#include "formats.h"

constexpr bool ddsRgtcIsSigned(BlockFormat format) {
    return format == BlockFormat::Bc4Signed || format == BlockFormat::Bc5Signed ||
           format == BlockFormat::Bc5SignedNormal;
}
constexpr bool ddsRgtcIsNormal(BlockFormat format) {
    return format == BlockFormat::Bc5Normal || format == BlockFormat::Bc5SignedNormal;
}
constexpr bool ddsRgtcHasGreen(BlockFormat format) {
    return format != BlockFormat::Bc4 && format != BlockFormat::Bc4Signed;
}

// What a kernel of one of the six formats knows when it is compiled.
template <BlockFormat Format>
struct RgtcLayout {
    static constexpr bool HasGreen = ddsRgtcHasGreen(Format);
    static constexpr bool IsSigned = ddsRgtcIsSigned(Format);
    static constexpr bool IsNormal = ddsRgtcIsNormal(Format);
};

// An endpoint byte as the unsigned decoder takes it.  A signed endpoint
// (an int8_t, -128 counting as -127) is moved up by 128 to 1..255 by the
// signed rule, which for 8 bits is byte ^ 0x80 with 0x80 (-128) going to 1
// as -127 does.
inline uint8_t ddsRgtcEndpoint(uint8_t byte, bool isSigned) {
    return isSigned ? ddsSignedToUnorm8(byte, 8) : byte;
}

// The blue byte of a normal whose red and green bytes are r and g: with
// x = r / 127.5 - 1 and y = g / 127.5 - 1 in double,
// round((sqrt(max(0, 1 - x x - y y)) + 1) * 127.5), halves away from zero.
uint8_t ddsNormalZ(uint8_t r, uint8_t g);

// ddsNormalZ for every pair, at index r | g << 8: 65536 bytes, built on
// first use.
const uint8_t *ddsNormalZTable();

// Decodes one block of format Bc4, Bc4Signed, Bc5, Bc5Signed, Bc5Normal or
// Bc5SignedNormal into 4 x 4 RGBA pixels: pixel row r of the block goes to
// blockOrigin + r * rowStride.
void ddsDecodeRgtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// The speed tiers' kernels of the six formats, null for another format;
// the SSE2 and SSSE3 ones are compiled only where the build has them.
BlockRowKernel ddsRgtcKernelPortable(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsRgtcKernelSse2(BlockFormat format, int bytesPerPixel);
BlockRowKernel ddsRgtcKernelSsse3(BlockFormat format, int bytesPerPixel);

#endif
