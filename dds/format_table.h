// The formats the importer decodes, as data: one row for each thing a
// header can say (a FourCC code, a legacy numeric format code in the FourCC
// field, a DXGI format number in the DX10 record, an uncompressed bit count
// whose masks say where the channels are, a luminance or alpha-only bit
// count), naming the decoder, how the rows of a level are stored and the
// rule for the texture type; and the codes that are refused with a reason
// of their own.  Adding a format is a row here and, where its pixels need
// one, a kernel.
#ifndef DDS_FORMAT_TABLE_H
#define DDS_FORMAT_TABLE_H

#include <cstdint>

#include "formats.h"
#include "header.h"
#include "palette/palette.h"
#include "refusal.h"
#include "wide/fields.h"
#include "wide/wide.h"
#include "yuv/yuv.h"

// Which header field a row is looked up by.
enum class FormatKey : uint8_t {
    FourCC,      // pixelFormat.fourCC, with the FourCC flag (legacy numeric codes too)
    FourCCZero,  // rgbBitCount, with the FourCC flag and a zero FourCC
    Dxgi,        // the DXGI format of the DX10 record
    BitCount,    // pixelFormat.rgbBitCount, with the RGB flag (channels from the masks)
    Luminance,   // rgbBitCount with the luminance flag...
    LuminanceAlpha,  // ...and with the alpha flag too
    AlphaOnly,   // rgbBitCount with the alpha-only flag
    Palette,     // the palette flag: 8 for P8, 16 for A8P8 (the alpha flag and 16 bits)
    BumpDuDv,    // rgbBitCount with the bump du/dv flag (channels from the masks)
    BumpLuminance,  // rgbBitCount with the bump luminance flag
    None,        // no flag that names pixels: no row
};

// How the pixels are converted.
enum class PixelCoding : uint8_t {
    Blocks,  // blocks, decoded by the `blocks` kernel
    Masks,   // pixels of at most 32 bits, channels found through masks
    Wide,    // 16-bit, float and packed-float channels (`wide`)
    Fields,  // integer and float fields of up to 16-byte pixels (`fields`)
    Bits,    // one bit a pixel, rows starting on a byte
    Yuv,     // YUV and packed 4:2:2 RGB (`yuv`)
    Palette, // indices into the 256 entries before the top level (`palette`)
};

// How a level of w x h pixels is stored: what a stored row holds, how many
// rows of how many bytes there are (ddsLevelRows, plan.h) and which sizes
// the layout holds.  unitBytes is the stored unit named here.
enum class RowLayout : uint8_t {
    Pixels,    // h rows of w pixels
    Bits,      // h rows of ceil(w / 8) bytes, one bit a pixel
    Pairs,     // h rows of ceil(w / 2) pairs of pixels (packed 4:2:2)
    Planes,    // h rows of w luma samples, then h / 2 rows of w / 2 U, V pairs
               // of samples (4:2:0): a stored row is two luma rows and their
               // chroma row; w and h even
    Blocks,    // ceil(h / bh) rows of ceil(w / bw) blocks, or only the whole
               // blocks (see ddsPlanImage)
    WordGrid,  // PVRTC1: a grid of max(2, ceil(w / bw)) x max(2, ceil(h / bh))
               // words in Morton order, w and h powers of two; the word rows
               // that hold the image are decoded, read in bands (pvrtc_bands.h)
};

// Where a mask-coded format's masks come from.
enum class MaskSource : uint8_t {
    Header,     // the header's masks and alpha flag, as they stand
    Fixed,      // the row's masks: the layout a code names
    Luminance,  // grey from the luminance mask (and alpha): the header's when they
                // select bits inside the pixel, else the row's
    AlphaOnly,  // alpha alone, from the header's mask when it lies inside the pixel, else the row's
};

// Which texture type the host is told.
enum class TypeRule : uint8_t {
    Transparency,  // DXT1 and BC1: Rgba when the first block is in three-colour mode or a texel
                   // inside the image is the transparent one, else Rgb
    Rgba,
    Rgb,
    AlphaMask,     // Rgba when the header's alpha mask is not 0 (bump du/dv)
};

struct DdsFormat {
    FormatKey key;
    uint32_t code;             // the FourCC, DXGI number or bit count
    const char *name;          // for people: "DXT1", "BC7_UNORM", "32-bit masks"...
    PixelCoding coding;
    RowLayout rows;
    uint32_t unitBytes;        // bytes of the stored unit: a pixel, a pair, a luma sample, a block or a word
    TypeRule type = TypeRule::Rgba;
    BlockFormat blocks = BlockFormat::Uncompressed;  // the block kernel; Uncompressed for pixels
    BlockFormat normalMap = BlockFormat::Uncompressed;  // the kernel when the pixel format carries the normal-map flag
    bool premultiplied = false;  // colour premultiplied by alpha whatever the header says (DXT2, DXT4)
    bool holdsEveryBlock = false;  // files always store every block that touches the image
    bool readsLinearSize = false;  // under a legacy header, a linear size declares the level
    uint32_t declaredBlockBytes = 0;  // non-zero: pixels whose level is declared as w/4 x h/4 blocks of this size
    uint32_t prefixBytes = 0;  // bytes between the header and the image: a palette's entries
    MaskSource maskSource = MaskSource::Header;
    uint32_t masks[4] = {};    // red, green, blue, alpha, for MaskSource::Fixed and as the standard masks;
                               // an alpha mask of 0: no alpha
    WideFormat wide{};         // PixelCoding::Wide
    FieldLayout fields{};      // PixelCoding::Fields; for bump pixel formats the kinds the header's masks take
    YuvLayout yuv{};           // PixelCoding::Yuv
    PaletteLayout palette{};   // PixelCoding::Palette
};

// What the header says about the pixels, for looking them up.
struct DdsFormatQuery {
    const DdsPixelFormat *pixelFormat;
    const DdsHeaderDx10 *dx10;  // null without the DX10 record
};

// The format a header names, or null with the reason in *refusal.
const DdsFormat *ddsFindFormat(const DdsFormatQuery &query, DdsRefusal *refusal);

#endif
