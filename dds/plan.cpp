#include "plan.h"

#include <algorithm>

#include "bc1_3/bc1_3.h"
#include "pvrtc_bands.h"
#include "pvrtc/pvrtc.h"

namespace {

DdsRefusal checkDimensions(const DdsHeader &header) {
    const uint64_t width = header.width;
    const uint64_t height = header.height;
    if (width == 0 || height == 0) return DdsRefusal::ZeroDimension;
    if (width > ddsMaxHostBytes || height > ddsMaxHostBytes) return DdsRefusal::DimensionTooLarge;
    if (width * height > ddsMaxHostBytes / 4) return DdsRefusal::ImageTooLarge;
    return DdsRefusal::Accepted;
}

// The row's linear size rule: a legacy header's linear size, where given,
// declares the level.
bool hasLinearSize(const DdsPlan &plan) {
    const DdsHeader &header = plan.header;
    return plan.format->readsLinearSize && (header.flags & DdsFlagLinearSize) && header.pitchOrLinearSize != 0;
}

uint32_t pixelBytes(const DdsPlan &plan) {
    return plan.format->unitBytes != 0 ? plan.format->unitBytes : plan.header.pixelFormat.rgbBitCount / 8;
}

// A mask selects bits inside a pixel of `bits` bits.
bool inside(uint32_t mask, uint32_t bits) { return mask != 0 && (bits >= 32 || (mask >> bits) == 0); }

// The bit count, masks and alpha flag that convert a mask-coded format.
DdsPixelFormat pixelMasks(const DdsFormat &format, const DdsPixelFormat &header) {
    if (format.maskSource == MaskSource::Header) return header;
    const uint32_t bits = format.unitBytes * 8;
    const uint32_t *m = format.masks;
    DdsPixelFormat pixels{32, format.alphaMask ? DdsPixelAlpha : 0, 0, bits, m[0], m[1], m[2], m[3]};
    if (format.maskSource == MaskSource::Luminance) {
        const bool headerMasks = inside(header.rBitMask, bits) && (!format.alphaMask || inside(header.aBitMask, bits));
        const uint32_t luminance = headerMasks ? header.rBitMask : m[0];
        pixels.rBitMask = pixels.gBitMask = pixels.bBitMask = luminance;
        pixels.aBitMask = format.alphaMask ? (headerMasks ? header.aBitMask : m[3]) : 0;
    } else if (format.maskSource == MaskSource::AlphaOnly) {
        pixels.aBitMask = inside(header.aBitMask, bits) ? header.aBitMask : m[3];
    }
    return pixels;
}

// The fields of a field-coded format.  Bump pixel formats take them from
// the header's masks as written: du/dv makes red, green and blue signed (a
// zero mask gives 0) and alpha unsigned with the alpha flag, else signed
// (no alpha without an alpha mask); bump luminance makes red and green
// signed and blue unsigned, with no alpha.
FieldLayout planFields(const DdsFormat &format, const DdsPixelFormat &header) {
    FieldLayout layout = format.fields;
    if (format.maskSource != MaskSource::Header) return layout;
    const bool luminance = format.key == FormatKey::BumpLuminance;
    auto field = [](FieldKind kind, uint32_t mask) {
        return mask == 0 ? Field{FieldKind::Zero, 0, 0} : ddsField(kind, mask);
    };
    layout.channels[0] = field(FieldKind::Signed, header.rBitMask);
    layout.channels[1] = field(FieldKind::Signed, header.gBitMask);
    layout.channels[2] = field(luminance ? FieldKind::Unsigned : FieldKind::Signed, header.bBitMask);
    if (!luminance && header.aBitMask != 0) {
        layout.channels[3] =
            ddsField((header.flags & DdsPixelAlpha) ? FieldKind::Unsigned : FieldKind::Signed, header.aBitMask);
    }
    return layout;
}

// The kernel: the row's premultiplied variant when the DX10 alpha mode says
// premultiplied, its normal-map variant when the pixel format carries the
// normal-map flag.
BlockFormat blockKernel(const DdsPlan &plan) {
    const bool premultiplied =
        plan.hasDx10 && (plan.dx10.miscFlags2 & DdsDx10AlphaModeMask) == DdsDx10AlphaPremultiplied;
    if (premultiplied) return plan.format->premultiplied;
    if (plan.header.pixelFormat.flags & DdsPixelNormalMap) return plan.format->normalMap;
    return plan.format->blocks;
}

// The stored rows of the level, in 64 bits: how many, how long, and the
// bytes the header declares for the level.
struct LevelRows {
    uint64_t rows;
    uint64_t rowBytes;
    uint64_t declared;
};

// Formats whose files store every block that touches the image.
bool holdsEveryBlock(BlockFormat format) { return format >= BlockFormat::Etc2Rgb && format < BlockFormat::Uncompressed; }

// Chooses the stored rows of blocks (see ddsPlanImage) and the bytes the
// header declares for them.
DdsRefusal planBlockRows(DdsPlan *plan, LevelRows *level) {
    const BlockShape shape = ddsBlockShape(plan->blocks);
    const uint64_t wholeAcross = plan->width / shape.width;
    const uint64_t wholeDown = plan->height / shape.height;
    const uint64_t allAcross = (uint64_t{plan->width} + shape.width - 1) / shape.width;
    const uint64_t allDown = (uint64_t{plan->height} + shape.height - 1) / shape.height;
    // At most (2^31 / 4 + 1)^2 blocks of 16 bytes: no overflow in 64 bits.
    const uint64_t fullLevel = allAcross * allDown * shape.bytes;
    const bool linear = hasLinearSize(*plan);
    const bool declaresLess = linear && plan->header.pitchOrLinearSize < fullLevel;
    // The mobile formats have always been written with every block: a
    // file without its partial blocks is cut short.
    if (holdsEveryBlock(plan->blocks) && plan->dataBytes < fullLevel) return DdsRefusal::LevelTruncated;
    plan->partialBlocks = plan->dataBytes >= fullLevel && !declaresLess;
    const uint64_t across = plan->partialBlocks ? allAcross : wholeAcross;
    const uint64_t down = plan->partialBlocks ? allDown : wholeDown;
    // No block to decode: the linear size declares too little for the full
    // level, or else the file ends before the end of it.
    if (across == 0 || down == 0) return declaresLess ? DdsRefusal::NoWholeBlock : DdsRefusal::LevelTruncated;
    plan->blocksPerRow = static_cast<uint32_t>(across);  // at most 2^29
    plan->coveredWidth = plan->partialBlocks ? plan->width : static_cast<uint32_t>(across * shape.width);
    plan->coveredHeight = plan->partialBlocks ? plan->height : static_cast<uint32_t>(down * shape.height);
    *level = LevelRows{down, across * shape.bytes,
                       linear ? uint64_t{plan->header.pitchOrLinearSize} : across * down * shape.bytes};
    return DdsRefusal::Accepted;
}

bool isPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// PVRTC1: a stored row is a row of words of the padded grid, and the
// level is that whole grid.  The rows decoded are those that hold the
// image (ceil(height / 4)).
DdsRefusal planWordRows(DdsPlan *plan, LevelRows *level) {
    if (!isPowerOfTwo(plan->width) || !isPowerOfTwo(plan->height)) return DdsRefusal::PvrtcNotPowerOfTwo;
    const bool twoBits = plan->blocks == BlockFormat::Pvrtc2;
    plan->blocksPerRow = ddsPvrtcGridWidth(plan->width, twoBits);
    plan->partialBlocks = true;
    plan->coveredWidth = plan->width;
    plan->coveredHeight = plan->height;
    *level = LevelRows{(uint64_t{plan->height} + 3) / 4, uint64_t{plan->blocksPerRow} * 8,
                       ddsPvrtcLevelBytes(plan->width, plan->height, twoBits)};
    return DdsRefusal::Accepted;
}

// A stored row of pixels: a pixel's bytes each, 1-bit rows of whole bytes,
// pairs of pixels, or for planar YUV two luma rows and a chroma row.
uint64_t pixelRowBytes(const DdsPlan &plan) {
    const uint64_t width = plan.width;
    const YuvLayout yuv = plan.format->yuv;
    switch (plan.format->coding) {
        case PixelCoding::Bits: return (width + 7) / 8;
        case PixelCoding::Yuv:
            return ddsYuvIsPlanar(yuv) ? 3 * width * ddsYuvSampleBytes(yuv) : ddsYuvRowBytes(yuv, plan.width);
        default: return width * pixelBytes(plan);
    }
}

// Rows of pixels, up to 16 bytes each: the level can pass the limit where
// the four-byte image does not.  Pixels whose level is declared as blocks
// (FourCC 0) are declared by their linear size or those blocks.  The
// chroma plane of planar YUV follows the luma plane's h rows; a third of a
// source row is its row of U, V pairs.
void planPixelRows(DdsPlan *plan, LevelRows *level) {
    const uint64_t rowBytes = pixelRowBytes(*plan);
    const YuvLayout yuv = plan->format->yuv;
    if (plan->format->coding == PixelCoding::Yuv && ddsYuvIsPlanar(yuv)) {
        const uint64_t lumaRowBytes = uint64_t{plan->width} * ddsYuvSampleBytes(yuv);
        plan->secondPlaneRowBytes = static_cast<uint32_t>(lumaRowBytes);  // at most 2^32 - 2
        plan->secondPlaneOffset = plan->dataOffset + plan->height * lumaRowBytes;
    }
    const uint64_t rows = plan->secondPlaneRowBytes != 0 ? plan->height / 2 : plan->height;
    plan->blocksPerRow = 0;
    plan->partialBlocks = false;
    plan->coveredWidth = plan->width;
    plan->coveredHeight = plan->height;
    uint64_t declared = rowBytes * rows;
    if (plan->format->declaredBlockBytes != 0) {
        declared = hasLinearSize(*plan) ? uint64_t{plan->header.pitchOrLinearSize}
                                        : uint64_t{plan->width / ddsBlockSide} * (plan->height / ddsBlockSide) *
                                              plan->format->declaredBlockBytes;
    }
    *level = LevelRows{rows, rowBytes, declared};
}

// The one size check of the level, in 64 bits before anything is
// narrowed: the rows the decoder reads and the level the header declares
// fit the host's limit, the declared level holds the rows, and the file
// holds the declared level.
DdsRefusal checkLevel(DdsPlan *plan, const LevelRows &level) {
    const uint64_t readBytes = level.rows * level.rowBytes;
    plan->levelBytes = level.declared;
    if (readBytes > ddsMaxHostBytes || level.declared > ddsMaxHostBytes) return DdsRefusal::LevelTooLarge;
    if (level.declared < readBytes) return DdsRefusal::LinearSizeTooSmall;
    if (plan->dataBytes < level.declared) return DdsRefusal::LevelTruncated;
    plan->sourceRowBytes = static_cast<uint32_t>(level.rowBytes);
    plan->sourceRows = static_cast<uint32_t>(level.rows);
    if (ddsIsPvrtc(plan->blocks)) {
        return ddsSetChunkRows(plan, ddsPvrtcBandRows(plan->blocksPerRow, ddsPvrtcGridHeight(plan->height),
                                                      ddsPvrtcBandBytes))
                   ? DdsRefusal::Accepted
                   : DdsRefusal::LevelTooLarge;
    }
    ddsSetChunkRows(plan, std::min(plan->sourceRows, std::max(1u, ddsChunkBytes / plan->sourceRowBytes)));
    return DdsRefusal::Accepted;
}

// Where the level lies: planar YUV of odd size is refused; a palette's
// 1024 bytes come first, and the top level follows them.
DdsRefusal placeLevelData(DdsPlan *plan) {
    const DdsFormat &format = *plan->format;
    const bool planar = format.coding == PixelCoding::Yuv && ddsYuvIsPlanar(format.yuv);
    if (planar && (plan->width % 2 != 0 || plan->height % 2 != 0)) return DdsRefusal::OddPlanarSize;
    if (format.coding != PixelCoding::Palette) return DdsRefusal::Accepted;
    if (plan->dataBytes < ddsPaletteBytes) return DdsRefusal::LevelTruncated;
    plan->paletteOffset = plan->dataOffset;
    plan->dataOffset += ddsPaletteBytes;
    plan->dataBytes -= ddsPaletteBytes;
    return DdsRefusal::Accepted;
}

// The type; for DXT1 and BC1 from their blocks, or, when Rgb was
// reported and the first block is in four-colour mode, Rgb, for the
// decode to confirm.
DdsRefusal chooseType(const DdsSource &source, const TextureType *reported, DdsPlan *plan) {
    const TypeRule rule = plan->format->type;
    const bool noAlphaMask = rule == TypeRule::AlphaMask && plan->header.pixelFormat.aBitMask == 0;
    plan->type = rule == TypeRule::Rgb || noAlphaMask ? TextureType::Rgb : TextureType::Rgba;
    if (rule == TypeRule::Transparency) {
        bool transparent = false;
        if (reported != nullptr && *reported == TextureType::Rgb) {
            if (!ddsBc1FirstBlockTransparent(source, *plan, &transparent)) return DdsRefusal::ReadFailed;
            plan->confirmType = !transparent;
        } else if (!ddsBc1ImageHasTransparency(source, *plan, &transparent)) {
            return DdsRefusal::ReadFailed;
        }
        plan->type = transparent ? TextureType::Rgba : TextureType::Rgb;
    }
    plan->pixelBytes = ddsBytesPerPixel(plan->type);
    return DdsRefusal::Accepted;
}

// Reads the `size` bytes of a record at `offset`, which the data follows:
// false when the file ends inside it.
bool readRecord(const DdsSource &source, uint64_t offset, uint8_t *bytes, size_t size, DdsPlan *plan) {
    const uint64_t dataOffset = offset + size;
    if (source.length < dataOffset || !ddsRead(source, offset, bytes, size)) return false;
    plan->dataOffset = dataOffset;
    plan->dataBytes = source.length - dataOffset;
    return true;
}

// Reads the DX10 record after the header, which moves the data to 148.
// The array size is not read: the first image starts the data whatever it
// says, and writers that store one texture leave it 0 as often as 1.
DdsRefusal readDx10(const DdsSource &source, DdsPlan *plan) {
    uint8_t bytes[DdsDx10Bytes];
    if (!readRecord(source, DdsDataOffset, bytes, sizeof bytes, plan)) return DdsRefusal::Dx10HeaderTruncated;
    ddsParseHeaderDx10(bytes, &plan->dx10);
    return DdsRefusal::Accepted;
}

DdsRefusal plan(const DdsSource &source, const TextureType *reported, DdsPlan *plan) {
    uint8_t bytes[DdsHeaderBytes];
    if (!readRecord(source, DdsMagicBytes, bytes, sizeof bytes, plan)) return DdsRefusal::HeaderTruncated;
    ddsParseHeader(bytes, &plan->header);
    const DdsHeader &header = plan->header;
    if (header.flags & DdsFlagRefused) return DdsRefusal::HeaderFlagRefused;
    plan->hasDx10 = ddsHasDx10Header(header);
    DdsRefusal refusal = plan->hasDx10 ? readDx10(source, plan) : DdsRefusal::Accepted;
    if (refusal != DdsRefusal::Accepted) return refusal;

    plan->format = ddsFindFormat(DdsFormatQuery{&header.pixelFormat, plan->hasDx10 ? &plan->dx10 : nullptr}, &refusal);
    if (plan->format == nullptr) return refusal;
    plan->blocks = blockKernel(*plan);
    if (plan->format->coding == PixelCoding::Masks) plan->pixels = pixelMasks(*plan->format, header.pixelFormat);
    if (plan->format->coding == PixelCoding::Fields) plan->fields = planFields(*plan->format, header.pixelFormat);
    if ((header.flags & DdsFlagMipMapCount) && header.mipMapCount < 1) return DdsRefusal::MipCountBelowOne;
    refusal = checkDimensions(header);
    if (refusal != DdsRefusal::Accepted) return refusal;
    plan->width = header.width;
    plan->height = header.height;
    refusal = placeLevelData(plan);
    if (refusal != DdsRefusal::Accepted) return refusal;

    LevelRows level{};
    if (ddsIsPvrtc(plan->blocks)) {
        refusal = planWordRows(plan, &level);
        if (refusal != DdsRefusal::Accepted) return refusal;
    } else if (plan->format->coding == PixelCoding::Blocks) {
        refusal = planBlockRows(plan, &level);
        if (refusal != DdsRefusal::Accepted) return refusal;
    } else {
        planPixelRows(plan, &level);
    }
    refusal = checkLevel(plan, level);
    if (refusal != DdsRefusal::Accepted) return refusal;
    return chooseType(source, reported, plan);
}

}  // namespace

bool ddsSetChunkRows(DdsPlan *plan, uint32_t rows) {
    const uint64_t bytes = ddsIsPvrtc(plan->blocks) ? ddsPvrtcChunkBytes(*plan, rows)
                                                   : uint64_t{rows} * plan->sourceRowBytes;
    if (bytes > ddsMaxHostBytes) return false;
    plan->rowsPerChunk = rows;
    plan->chunkBytes = static_cast<uint32_t>(bytes);
    return true;
}

DdsRefusal ddsPlanImage(const DdsSource &source, DdsPlan *out) {
    *out = DdsPlan{};
    return plan(source, nullptr, out);
}

DdsRefusal ddsPlanReportedImage(const DdsSource &source, TextureType reported, DdsPlan *out) {
    *out = DdsPlan{};
    return plan(source, &reported, out);
}
