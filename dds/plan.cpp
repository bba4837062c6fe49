#include "plan.h"

#include <algorithm>

#include "bytes.h"

namespace {

constexpr uint32_t BlockSide = 4;

// FourCC data that is not stored in blocks (a zero FourCC) is declared as
// 16-byte blocks, as every FourCC other than DXT1's.
constexpr uint64_t DeclaredBlockBytesOfPixels = 16;

DdsRefusal checkDimensions(const DdsHeader &header) {
    const uint64_t width = header.width;
    const uint64_t height = header.height;
    if (width == 0 || height == 0) return DdsZeroDimension;
    if (width > ddsMaxHostBytes || height > ddsMaxHostBytes) return DdsDimensionTooLarge;
    if (width * height > ddsMaxHostBytes / 4) return DdsImageTooLarge;
    return DdsAccepted;
}

// The linear size is read for the DXT formats and FourCC 0 under a legacy
// header, whose files have always been read by it.  Writers disagree about
// it elsewhere (DX10 files, and BC4 and BC5 files whose linear size is that
// of another format), so their sizes come from the format alone.
bool hasLinearSize(const DdsPlan &plan) {
    const DdsHeader &header = plan.header;
    const BlockFormat blocks = plan.format->blocks;
    const bool readsLinearSize = (blocks >= Dxt1 && blocks <= Dxt5) || plan.format->coding == CodingMasks;
    return !plan.hasDx10 && readsLinearSize && (header.pixelFormat.flags & DdsPixelFourCC) &&
           (header.flags & DdsFlagLinearSize) && header.pitchOrLinearSize != 0;
}

uint32_t pixelBytes(const DdsPlan &plan) {
    return plan.format->unitBytes != 0 ? plan.format->unitBytes : plan.header.pixelFormat.rgbBitCount / 8;
}

// A mask selects bits inside a pixel of `bits` bits.
bool inside(uint32_t mask, uint32_t bits) { return mask != 0 && (bits >= 32 || (mask >> bits) == 0); }

// The bit count, masks and alpha flag that convert a mask-coded format.
DdsPixelFormat pixelMasks(const DdsFormat &format, const DdsPixelFormat &header) {
    if (format.maskSource == MasksFromHeader) return header;
    const uint32_t bits = format.unitBytes * 8;
    const uint32_t *m = format.masks;
    DdsPixelFormat pixels{32, format.alphaMask ? DdsPixelAlpha : 0, 0, bits, m[0], m[1], m[2], m[3]};
    if (format.maskSource == MasksLuminance) {
        const bool headerMasks = inside(header.rBitMask, bits) && (!format.alphaMask || inside(header.aBitMask, bits));
        const uint32_t luminance = headerMasks ? header.rBitMask : m[0];
        pixels.rBitMask = pixels.gBitMask = pixels.bBitMask = luminance;
        pixels.aBitMask = format.alphaMask ? (headerMasks ? header.aBitMask : m[3]) : 0;
    } else if (format.maskSource == MasksAlphaOnly) {
        pixels.aBitMask = inside(header.aBitMask, bits) ? header.aBitMask : m[3];
    }
    return pixels;
}

// The kernel: BC2 and BC3 whose DX10 alpha mode says premultiplied are
// DXT2 and DXT4; BC5 in a file whose pixel format carries the normal-map
// flag gets its blue reconstructed.
BlockFormat blockKernel(const DdsPlan &plan) {
    const BlockFormat blocks = plan.format->blocks;
    const bool premultiplied =
        plan.hasDx10 && (plan.dx10.miscFlags2 & DdsDx10AlphaModeMask) == DdsDx10AlphaPremultiplied;
    const bool normalMap = (plan.header.pixelFormat.flags & DdsPixelNormalMap) != 0;
    if (premultiplied && blocks == Dxt3) return Dxt2;
    if (premultiplied && blocks == Dxt5) return Dxt4;
    if (normalMap && blocks == Bc5) return Bc5Normal;
    if (normalMap && blocks == Bc5Signed) return Bc5SignedNormal;
    return blocks;
}

// Chooses the stored rows of blocks (see ddsPlanImage) and the bytes the
// header declares for them.
DdsRefusal planBlockRows(DdsPlan *plan, uint64_t *declared) {
    const uint64_t blockBytes = plan->format->unitBytes;
    const uint64_t wholeAcross = plan->width / BlockSide;
    const uint64_t wholeDown = plan->height / BlockSide;
    const uint64_t allAcross = (uint64_t{plan->width} + BlockSide - 1) / BlockSide;
    const uint64_t allDown = (uint64_t{plan->height} + BlockSide - 1) / BlockSide;
    // At most (2^31 / 4 + 1)^2 blocks of 16 bytes: no overflow in 64 bits.
    const uint64_t fullLevel = allAcross * allDown * blockBytes;
    const bool linear = hasLinearSize(*plan);
    const bool declaresLess = linear && plan->header.pitchOrLinearSize < fullLevel;
    plan->partialBlocks = plan->dataBytes >= fullLevel && !declaresLess;
    const uint64_t across = plan->partialBlocks ? allAcross : wholeAcross;
    const uint64_t down = plan->partialBlocks ? allDown : wholeDown;
    // No block to decode: the linear size declares too little for the full
    // level, or else the file ends before the end of it.
    if (across == 0 || down == 0) return declaresLess ? DdsNoWholeBlock : DdsLevelTruncated;
    // Sizes are checked in 64 bits before they are narrowed: a row of
    // 16-byte blocks of a 2^29-pixel-wide image passes 2^31 bytes.
    if (across * down * blockBytes > ddsMaxHostBytes) return DdsLevelTooLarge;
    plan->blocksPerRow = static_cast<uint32_t>(across);
    plan->sourceRowBytes = static_cast<uint32_t>(across * blockBytes);
    plan->sourceRows = static_cast<uint32_t>(down);
    *declared = linear ? uint64_t{plan->header.pitchOrLinearSize} : across * down * blockBytes;
    return DdsAccepted;
}

DdsRefusal planPixelRows(DdsPlan *plan, uint64_t *declared) {
    // Up to 16 bytes a pixel: the level can pass the limit where the
    // four-byte image does not.
    const uint64_t rowBytes = uint64_t{plan->width} * pixelBytes(*plan);
    if (rowBytes * plan->height > ddsMaxHostBytes) return DdsLevelTooLarge;
    plan->blocksPerRow = 0;
    plan->partialBlocks = false;
    plan->sourceRowBytes = static_cast<uint32_t>(rowBytes);
    plan->sourceRows = plan->height;
    *declared = rowBytes * plan->height;
    if (plan->format->key == KeyFourCC && plan->format->code == 0) {
        *declared = hasLinearSize(*plan)
                        ? uint64_t{plan->header.pitchOrLinearSize}
                        : uint64_t{plan->width / BlockSide} * (plan->height / BlockSide) * DeclaredBlockBytesOfPixels;
    }
    return DdsAccepted;
}

DdsRefusal chooseType(const DdsSource &source, DdsPlan *plan) {
    plan->type = plan->format->type == TypeRgb ? Rgb : Rgba;
    if (plan->format->type != TypeFirstBlock) return DdsAccepted;
    uint8_t first[4];
    if (!ddsRead(source, plan->dataOffset, first, sizeof first)) return DdsReadFailed;
    plan->type = ddsLoad16(first) > ddsLoad16(first + 2) ? Rgb : Rgba;
    return DdsAccepted;
}

// Reads the DX10 record after the header, which moves the data to 148.
DdsRefusal readDx10(const DdsSource &source, DdsPlan *plan) {
    uint8_t bytes[DdsDx10Bytes];
    if (source.length < DdsDx10DataOffset || !ddsRead(source, DdsDataOffset, bytes, sizeof bytes)) {
        return DdsDx10HeaderTruncated;
    }
    ddsParseHeaderDx10(bytes, &plan->dx10);
    plan->dataOffset = DdsDx10DataOffset;
    plan->dataBytes = source.length - DdsDx10DataOffset;
    // The array size is not read: the first image starts the data whatever
    // it says, and writers that store one texture leave it 0 as often as 1.
    return DdsAccepted;
}

DdsRefusal plan(const DdsSource &source, DdsPlan *plan) {
    uint8_t bytes[DdsHeaderBytes];
    if (source.length < DdsDataOffset || !ddsRead(source, DdsMagicBytes, bytes, sizeof bytes)) {
        return DdsHeaderTruncated;
    }
    ddsParseHeader(bytes, &plan->header);
    const DdsHeader &header = plan->header;
    plan->dataOffset = DdsDataOffset;
    plan->dataBytes = source.length - DdsDataOffset;
    if (header.flags & DdsFlagRefused) return DdsHeaderFlagRefused;
    plan->hasDx10 = ddsHasDx10Header(header);
    DdsRefusal refusal = plan->hasDx10 ? readDx10(source, plan) : DdsAccepted;
    if (refusal != DdsAccepted) return refusal;

    plan->format = ddsFindFormat(DdsFormatQuery{&header.pixelFormat, plan->hasDx10 ? &plan->dx10 : nullptr}, &refusal);
    if (plan->format == nullptr) return refusal;
    plan->blocks = blockKernel(*plan);
    if (plan->format->coding == CodingMasks) plan->pixels = pixelMasks(*plan->format, header.pixelFormat);
    if ((header.flags & DdsFlagMipMapCount) && header.mipMapCount < 1) return DdsMipCountBelowOne;
    refusal = checkDimensions(header);
    if (refusal != DdsAccepted) return refusal;
    plan->width = header.width;
    plan->height = header.height;

    uint64_t declared = 0;
    refusal = plan->format->coding == CodingBlocks ? planBlockRows(plan, &declared) : planPixelRows(plan, &declared);
    if (refusal != DdsAccepted) return refusal;
    plan->levelBytes = declared;
    if (declared > ddsMaxHostBytes) return DdsLevelTooLarge;
    if (declared < uint64_t{plan->sourceRowBytes} * plan->sourceRows) return DdsLinearSizeTooSmall;
    if (plan->dataBytes < declared) return DdsLevelTruncated;

    plan->rowsPerChunk = std::min(plan->sourceRows, std::max(1u, ddsChunkBytes / plan->sourceRowBytes));
    plan->chunkBytes = plan->rowsPerChunk * plan->sourceRowBytes;
    return chooseType(source, plan);
}

}  // namespace

DdsRefusal ddsPlanImage(const DdsSource &source, DdsPlan *out) {
    *out = DdsPlan{};
    return plan(source, out);
}
