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

bool hasLinearSize(const DdsHeader &header) {
    return (header.pixelFormat.flags & DdsPixelFourCC) && (header.flags & DdsFlagLinearSize) &&
           header.pitchOrLinearSize != 0;
}

uint32_t pixelBytes(const DdsPlan &plan) {
    return plan.format->unitBytes != 0 ? plan.format->unitBytes : plan.header.pixelFormat.rgbBitCount / 8;
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
    const bool linear = hasLinearSize(plan->header);
    plan->partialBlocks =
        plan->dataBytes >= fullLevel && !(linear && plan->header.pitchOrLinearSize < fullLevel);
    const uint64_t across = plan->partialBlocks ? allAcross : wholeAcross;
    const uint64_t down = plan->partialBlocks ? allDown : wholeDown;
    if (across == 0 || down == 0) return DdsNoWholeBlock;
    // A row of blocks covers four rows of at most 4 bytes a pixel, 16 bytes
    // a block at most: it fits the image's limit.
    plan->blocksPerRow = static_cast<uint32_t>(across);
    plan->sourceRowBytes = static_cast<uint32_t>(across * blockBytes);
    plan->sourceRows = static_cast<uint32_t>(down);
    *declared = linear ? uint64_t{plan->header.pitchOrLinearSize} : across * down * blockBytes;
    return DdsAccepted;
}

DdsRefusal planPixelRows(DdsPlan *plan, uint64_t *declared) {
    const uint64_t bytes = pixelBytes(*plan);
    // width * height * 4 fits the limit, so a row or the level at 1 to 4
    // bytes a pixel does too.
    plan->blocksPerRow = 0;
    plan->partialBlocks = false;
    plan->sourceRowBytes = static_cast<uint32_t>(uint64_t{plan->width} * bytes);
    plan->sourceRows = plan->height;
    *declared = uint64_t{plan->sourceRowBytes} * plan->sourceRows;
    if (plan->header.pixelFormat.flags & DdsPixelFourCC) {
        *declared = hasLinearSize(plan->header)
                        ? uint64_t{plan->header.pitchOrLinearSize}
                        : uint64_t{plan->width / BlockSide} * (plan->height / BlockSide) * DeclaredBlockBytesOfPixels;
    }
    return DdsAccepted;
}

DdsRefusal chooseType(const DdsSource &source, DdsPlan *plan) {
    plan->type = Rgba;
    if (plan->format->type != TypeFirstBlock) return DdsAccepted;
    uint8_t first[4];
    if (!ddsRead(source, plan->dataOffset, first, sizeof first)) return DdsReadFailed;
    plan->type = ddsLoad16(first) > ddsLoad16(first + 2) ? Rgb : Rgba;
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

    DdsRefusal refusal = DdsAccepted;
    plan->format = ddsFindFormat(header.pixelFormat, &refusal);
    if (plan->format == nullptr) return refusal;
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
