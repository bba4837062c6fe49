#include "header.h"

#include <cstdint>

#include "common/bytes.h"

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

void ddsParseHeaderDx10(const uint8_t bytes[DdsDx10Bytes], DdsHeaderDx10 *dx10) {
    dx10->dxgiFormat = ddsLoad32(bytes);
    dx10->resourceDimension = ddsLoad32(bytes + 4);
    dx10->miscFlag = ddsLoad32(bytes + 8);
    dx10->arraySize = ddsLoad32(bytes + 12);
    dx10->miscFlags2 = ddsLoad32(bytes + 16);
}

bool ddsHasDx10Header(const DdsHeader &header) {
    const DdsPixelFormat &format = header.pixelFormat;
    if (format.fourCC != DdsFourCCDx10) return false;
    const uint32_t otherKinds = DdsPixelRgb | DdsPixelLuminance | DdsPixelAlphaOnly | DdsPixelPalette |
                                DdsPixelBumpDuDv | DdsPixelBumpLuminance;
    return (format.flags & DdsPixelFourCC) != 0 || (format.flags & otherKinds) == 0;
}
