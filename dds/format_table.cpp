#include "format_table.h"

#include <iterator>

namespace {

constexpr DdsFormat Formats[] = {
    {KeyFourCC, ddsFourCC('D', 'X', 'T', '1'), "DXT1", CodingBlocks, Dxt1, 8, TypeFirstBlock},
    {KeyFourCC, ddsFourCC('D', 'X', 'T', '3'), "DXT3", CodingBlocks, Dxt3, 16, TypeRgba},
    {KeyFourCC, ddsFourCC('D', 'X', 'T', '5'), "DXT5", CodingBlocks, Dxt5, 16, TypeRgba},
    // A FourCC flag with a zero code: pixels described by the masks, which
    // some writers produce.  Its pixel size comes from the bit count.
    {KeyFourCC, 0, "masks (FourCC 0)", CodingMasks, Uncompressed, 0, TypeRgba},
    {KeyBitCount, 8, "8-bit masks", CodingMasks, Uncompressed, 1, TypeRgba},
    {KeyBitCount, 16, "16-bit masks", CodingMasks, Uncompressed, 2, TypeRgba},
    {KeyBitCount, 24, "24-bit masks", CodingMasks, Uncompressed, 3, TypeRgba},
    {KeyBitCount, 32, "32-bit masks", CodingMasks, Uncompressed, 4, TypeRgba},
};

const DdsFormat *lookUp(FormatKey key, uint32_t code) {
    for (const DdsFormat &format : Formats) {
        if (format.key == key && format.code == code) return &format;
    }
    return nullptr;
}

}  // namespace

const DdsFormat *ddsFindFormat(const DdsPixelFormat &pixelFormat, DdsRefusal *refusal) {
    if (pixelFormat.flags & DdsPixelFourCC) {
        const DdsFormat *format = lookUp(KeyFourCC, pixelFormat.fourCC);
        if (format == nullptr) {
            *refusal = DdsUnsupportedFourCC;
        } else if (format->unitBytes == 0 && lookUp(KeyBitCount, pixelFormat.rgbBitCount) == nullptr) {
            *refusal = DdsUnsupportedBitCount;
            return nullptr;
        }
        return format;
    }
    if (pixelFormat.flags & DdsPixelRgb) {
        const DdsFormat *format = lookUp(KeyBitCount, pixelFormat.rgbBitCount);
        if (format == nullptr) *refusal = DdsUnsupportedBitCount;
        return format;
    }
    *refusal = DdsNoPixelFormat;
    return nullptr;
}
