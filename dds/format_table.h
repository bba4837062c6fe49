// The formats the importer decodes, as data: one row for each thing a
// header can say (a FourCC code, or an uncompressed bit count whose masks
// say where the channels are), naming the decoder, the bytes of a block or
// pixel and the rule for the texture type.  Adding a format is a row here
// and, where its pixels need one, a kernel.
#ifndef DDS_FORMAT_TABLE_H
#define DDS_FORMAT_TABLE_H

#include <cstdint>

#include "formats.h"
#include "header.h"
#include "refusal.h"

// Which header field a row is looked up by.
enum FormatKey : uint8_t {
    KeyFourCC,    // pixelFormat.fourCC, with the FourCC flag
    KeyBitCount,  // pixelFormat.rgbBitCount, with the RGB flag (channels from the masks)
};

// How the pixels are stored.
enum PixelCoding : uint8_t {
    CodingBlocks,  // 4 x 4 blocks of unitBytes, decoded by the `blocks` kernel
    CodingMasks,   // pixels of unitBytes, channels found through the header's masks
};

// Which texture type the host is told.
enum TypeRule : uint8_t {
    TypeFirstBlock,  // Rgb when the first colour block is in four-colour mode, else Rgba (DXT1)
    TypeRgba,
};

struct DdsFormat {
    FormatKey key;
    uint32_t code;        // the FourCC or the bit count
    const char *name;     // for people: "DXT1", "32-bit masks"...
    PixelCoding coding;
    BlockFormat blocks;   // the block kernel; Uncompressed for mask pixels
    uint32_t unitBytes;   // bytes of a block or of a pixel; 0: from the bit count (FourCC 0)
    TypeRule type;
};

// The format a header names, or null with the reason in *refusal.
const DdsFormat *ddsFindFormat(const DdsPixelFormat &pixelFormat, DdsRefusal *refusal);

#endif
