#include "header.h"

#include <cstdint>
#include <limits>

#include "bytes.h"
#include "file_io.h"

void ddsParseHeader(const uint8_t bytes[DdsHeaderBytes], DdsHeader *header) {
    const uint8_t *p = bytes;
    auto next = [&p]() {
        uint32_t value = ddsLoad32(p);
        p += 4;
        return value;
    };
    header->size = next();
    header->flags = next();
    header->height = next();
    header->width = next();
    header->pitchOrLinearSize = next();
    header->depth = next();
    header->mipMapCount = static_cast<int32_t>(next());
    for (uint32_t &word : header->reserved1) word = next();
    DdsPixelFormat &format = header->pixelFormat;
    format.size = next();
    format.flags = next();
    format.fourCC = next();
    format.rgbBitCount = next();
    format.rBitMask = next();
    format.gBitMask = next();
    format.bBitMask = next();
    format.aBitMask = next();
    header->caps = next();
    header->caps2 = next();
    header->caps3 = next();
    header->caps4 = next();
    header->reserved2 = next();
}

bool ddsReadHeader(FILE *file, DdsHeader *header) {
    uint8_t bytes[DdsHeaderBytes];
    if (!ddsReadAt(file, DdsMagicBytes, bytes, sizeof bytes)) return false;
    ddsParseHeader(bytes, header);
    return (header->flags & DdsFlagRefused) == 0;
}

BlockFormat ddsClassifyFormat(const DdsHeader &header) {
    const DdsPixelFormat &format = header.pixelFormat;
    if (format.flags & DdsPixelFourCC) {
        switch (format.fourCC) {
            case 0: return Uncompressed;
            case ddsFourCC('D', 'X', 'T', '1'): return Dxt1;
            case ddsFourCC('D', 'X', 'T', '2'): return Dxt2;
            case ddsFourCC('D', 'X', 'T', '3'): return Dxt3;
            case ddsFourCC('D', 'X', 'T', '4'): return Dxt4;
            case ddsFourCC('D', 'X', 'T', '5'): return Dxt5;
            default: return Unsupported;
        }
    }
    if (format.flags & DdsPixelRgb) return Uncompressed;
    return Unsupported;
}

// The host allocates with a 32-bit signed size, so no level can be larger.
constexpr uint64_t MaxTopLevelBytes = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());

bool ddsTopLevelSize(const DdsHeader &header, uint32_t *size) {
    if ((header.flags & DdsFlagMipMapCount) && header.mipMapCount < 1) return false;

    // Width and height count as signed: a dimension with the top bit set
    // is negative and yields no data.
    const int64_t width = static_cast<int32_t>(header.width);
    const int64_t height = static_cast<int32_t>(header.height);
    const DdsPixelFormat &format = header.pixelFormat;
    uint64_t bytes = 0;
    if (format.flags & DdsPixelFourCC) {
        const uint64_t blockBytes = format.fourCC == ddsFourCC('D', 'X', 'T', '1') ? 8 : 16;
        if ((header.flags & DdsFlagLinearSize) && header.pitchOrLinearSize != 0) {
            bytes = header.pitchOrLinearSize;
        } else if (width > 0 && height > 0) {
            bytes = static_cast<uint64_t>(width / 4) * static_cast<uint64_t>(height / 4) * blockBytes;
        }
    } else if (width > 0 && height > 0) {
        // Rows follow one another with no gap; pitchOrLinearSize is not used.
        const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
        const uint64_t pixelBytes = format.rgbBitCount / 8;
        if (pixelBytes != 0 && pixels <= MaxTopLevelBytes / pixelBytes) bytes = pixels * pixelBytes;
    }
    if (bytes == 0 || bytes > MaxTopLevelBytes) return false;
    *size = static_cast<uint32_t>(bytes);
    return true;
}

TextureType ddsChooseTextureType(BlockFormat format, const uint8_t *firstBytes) {
    if (format != Dxt1) return Rgba;
    const uint32_t color0 = ddsLoad16(firstBytes);
    const uint32_t color1 = ddsLoad16(firstBytes + 2);
    return color0 > color1 ? Rgb : Rgba;
}
