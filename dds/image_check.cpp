#include "image_check.h"

#include <cstdint>
#include <limits>

#include "file_io.h"

namespace {

constexpr uint64_t MaxImageBytes = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

bool isDecodedBitCount(uint32_t bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Fills the dimensions and the decoder's row geometry; false when the
// format or the sizes are refused.
bool planImage(const DdsHeader &header, BlockFormat format, DdsImage *image) {
    if (format == Uncompressed) {
        if (!isDecodedBitCount(header.pixelFormat.rgbBitCount)) return false;
    } else if (!ddsIsBlockFormat(format)) {
        return false;
    }
    const uint64_t width = header.width;
    const uint64_t height = header.height;
    if (width == 0 || height == 0) return false;
    if (width > MaxImageBytes || height > MaxImageBytes) return false;
    if (width * height > MaxImageBytes / 4) return false;

    image->width = static_cast<uint32_t>(width);
    image->height = static_cast<uint32_t>(height);
    if (ddsIsBlockFormat(format)) {
        if (width < 4 || height < 4) return false;  // no whole block to decode
        image->sourceRowBytes = static_cast<uint32_t>(width / 4) * ddsBlockBytes(format);
        image->sourceRows = static_cast<uint32_t>(height / 4);
    } else {
        image->sourceRowBytes = static_cast<uint32_t>(width) * (header.pixelFormat.rgbBitCount / 8);
        image->sourceRows = static_cast<uint32_t>(height);
    }
    return true;
}

bool hasLinearSize(const DdsHeader &header) {
    return (header.pixelFormat.flags & DdsPixelFourCC) && (header.flags & DdsFlagLinearSize) &&
           header.pitchOrLinearSize != 0;
}

// A row of blocks normally holds every block that touches the row, the last
// one partly outside the image, as encoders write them; reading such a file
// as if its rows held only the whole blocks would shear the image.  A file
// whose top level holds only the whole blocks (its linear size says so, or
// it is too short for the partial ones) is read tightly packed instead.
// Either way only the whole blocks are decoded.
uint32_t blockRowBytes(const DdsImage &image, uint64_t dataBytes) {
    const uint64_t blockBytes = ddsBlockBytes(image.format);
    const uint64_t wholeBlocks = image.width / 4;
    const uint64_t allBlocks = (static_cast<uint64_t>(image.width) + 3) / 4;
    const uint64_t fullLevel = allBlocks * ((static_cast<uint64_t>(image.height) + 3) / 4) * blockBytes;
    const bool linearSizeTooSmall = hasLinearSize(image.header) && image.header.pitchOrLinearSize < fullLevel;
    const bool holdsPartialBlocks = dataBytes >= fullLevel && !linearSizeTooSmall;
    return static_cast<uint32_t>((holdsPartialBlocks ? allBlocks : wholeBlocks) * blockBytes);
}

}  // namespace

bool ddsInspectImage(FILE *file, const DdsHeader &header, BlockFormat format, DdsImage *image) {
    image->header = header;
    image->format = format;
    if (!planImage(header, format, image)) return false;

    uint32_t declaredBytes = 0;
    if (!ddsTopLevelSize(header, &declaredBytes)) return false;
    const uint64_t decodedBytes = static_cast<uint64_t>(image->sourceRowBytes) * image->sourceRows;
    if (declaredBytes < decodedBytes) return false;

    // The whole declared level must be in the file, as if it were read.
    uint64_t fileLength = 0;
    if (!ddsFileLength(file, &fileLength)) return false;
    if (fileLength < DdsDataOffset || fileLength - DdsDataOffset < declaredBytes) return false;

    if (ddsIsBlockFormat(format)) {
        image->sourceRowBytes = blockRowBytes(*image, fileLength - DdsDataOffset);
    }

    uint8_t firstBlock[4] = {0, 0, 0, 0};
    if (format == Dxt1 && !ddsReadAt(file, DdsDataOffset, firstBlock, sizeof firstBlock)) return false;
    image->type = ddsChooseTextureType(format, firstBlock);
    return true;
}
