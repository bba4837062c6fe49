#include "inspect.h"

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

    uint8_t firstBlock[4] = {0, 0, 0, 0};
    if (format == Dxt1 && !ddsReadAt(file, DdsDataOffset, firstBlock, sizeof firstBlock)) return false;
    image->type = ddsChooseTextureType(format, firstBlock);
    return true;
}
