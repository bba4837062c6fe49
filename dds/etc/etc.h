// ETC1, ETC2 and EAC blocks: 4 x 4 pixels each, stored as big-endian
// 64-bit words whose pixels are numbered down the columns (pixel x, y is
// number 4x + y).
//
//   Etc1             8 bytes, decoded as ETC2 RGB (every ETC1 block is a
//                    valid ETC2 block with the same pixels).
//   Etc2Rgb          8 bytes: individual, differential, T, H and planar
//                    modes; alpha 255.
//   Etc2PunchThrough 8 bytes: ETC2 RGB without the individual mode, whose
//                    bit 33 says opaque; in a block that is not opaque,
//                    index 2 is the transparent pixel (0, 0, 0, 0).
//   Etc2Rgba         16 bytes: an EAC alpha block (8-bit values), then an
//                    ETC2 RGB block.
//   EacR11           8 bytes: one unsigned 11-bit channel, delivered as
//                    grey (value, value, value, 255).
//   EacRg11          16 bytes: the red block, then the green one, delivered
//                    as (red, green, 0, 255).
// An 11-bit value v becomes the byte round(v * 255 / 2047).
#ifndef DDS_ETC_H
#define DDS_ETC_H

#include <cstddef>
#include <cstdint>

enum class EtcFormat { Etc1, Etc2Rgb, Etc2PunchThrough, Etc2Rgba, EacR11, EacRg11 };

// 8 or 16.
uint32_t ddsEtcBlockBytes(EtcFormat format);

// The plain decoders: the 16 RGBA pixels of one block, pixel row r at
// blockOrigin + r * rowStride.  Every bit pattern decodes to defined
// pixels.  ETC1 blocks go through ddsDecodeEtc2RgbBlock.
void ddsDecodeEtc2RgbBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeEtc2PunchBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeEtc2RgbaBlock(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeEacR11Block(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);
void ddsDecodeEacRg11Block(const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride);

// The plain decoder of `format`.
using EtcBlockDecoder = void (*)(const uint8_t *, uint8_t *, ptrdiff_t);
EtcBlockDecoder ddsEtcBlockDecoder(EtcFormat format);

// A block-row kernel: decodes `blockCount` consecutive blocks into the four
// pixel rows rows[0..3], block b at pixels 4b to 4b + 3, at 4 bytes a pixel
// (R, G, B, A) or 3 (R, G, B; alpha dropped).  It writes exactly
// 4 * blockCount pixels of each row and nothing past them.
using BlockRowKernel = void (*)(const uint8_t *blocks, uint32_t blockCount, uint8_t *const *rows);

// The fastest kernel of `format` at `bytesPerPixel` (3 or 4) that this
// build and processor run; null for another pixel size.
BlockRowKernel ddsEtcRowKernel(EtcFormat format, int bytesPerPixel);

// Each kernel on its own, for tests and measurements.  The portable one
// exists in every build; the SSSE3 one is null where the build or the
// processor has no SSSE3.
BlockRowKernel ddsEtcRowKernelPortable(EtcFormat format, int bytesPerPixel);
BlockRowKernel ddsEtcRowKernelSsse3(EtcFormat format, int bytesPerPixel);

#endif
