// The formats the importer decodes, as data: one row for each thing a
// header can say (a FourCC code, a legacy numeric format code in the FourCC
// field, a DXGI format number in the DX10 record, an uncompressed bit count
// whose masks say where the channels are, a luminance or alpha-only bit
// count), naming the decoder, the bytes of a block or pixel and the rule for
// the texture type.  Adding a format is a row here and, where its pixels
// need one, a kernel.
#ifndef DDS_FORMAT_TABLE_H
#define DDS_FORMAT_TABLE_H

#include <cstdint>

#include "formats.h"
#include "header.h"
#include "refusal.h"
#include "wide_pixels.h"

// Which header field a row is looked up by.
enum FormatKey : uint8_t {
    KeyFourCC,     // pixelFormat.fourCC, with the FourCC flag (legacy numeric codes too)
    KeyDxgi,       // the DXGI format of the DX10 record
    KeyBitCount,   // pixelFormat.rgbBitCount, with the RGB flag (channels from the masks)
    KeyLuminance,  // rgbBitCount with the luminance flag, plus LuminanceWithAlpha with the alpha flag
    KeyAlphaOnly,  // rgbBitCount with the alpha-only flag
};

constexpr uint32_t LuminanceWithAlpha = 0x100;

// How the pixels are stored.
enum PixelCoding : uint8_t {
    CodingBlocks,  // 4 x 4 blocks, decoded by the `blocks` kernel
    CodingMasks,   // pixels of at most 32 bits, channels found through masks
    CodingWide,    // 16-bit, float and packed-float channels (`wide`)
};

// Where a mask-coded format's masks come from.
enum MaskSource : uint8_t {
    MasksFromHeader,  // the header's masks and alpha flag, as they stand
    MasksFixed,       // the row's masks: the layout a code names
    MasksLuminance,   // grey from the luminance mask (and alpha): the header's when they
                      // select bits inside the pixel, else the row's
    MasksAlphaOnly,   // alpha alone, from the header's mask when it lies inside the pixel, else the row's
};

// Which texture type the host is told.
enum TypeRule : uint8_t {
    TypeFirstBlock,  // Rgb when the first colour block is in four-colour mode, else Rgba (DXT1, BC1)
    TypeRgba,
    TypeRgb,
};

struct DdsFormat {
    FormatKey key;
    uint32_t code;        // the FourCC, DXGI number or bit count
    const char *name;     // for people: "DXT1", "BC7_UNORM", "32-bit masks"...
    PixelCoding coding;
    BlockFormat blocks;   // the block kernel; Uncompressed for pixels
    uint32_t unitBytes;   // bytes of a block or of a pixel; 0: from the bit count
    TypeRule type;
    MaskSource maskSource;
    uint32_t masks[4];    // red, green, blue, alpha, for MasksFixed and as the standard masks
    bool alphaMask;       // the alpha mask is valid (MasksFixed)
    WideFormat wide;      // CodingWide
};

// What the header says about the pixels, for looking them up.
struct DdsFormatQuery {
    const DdsPixelFormat *pixelFormat;
    const DdsHeaderDx10 *dx10;  // null without the DX10 record
};

// The format a header names, or null with the reason in *refusal.
const DdsFormat *ddsFindFormat(const DdsFormatQuery &query, DdsRefusal *refusal);

#endif
