#include "bc4_5/bc4_5.h"

#include <algorithm>
#include <cmath>

#include "common/channel.h"

namespace {

// The sixteen values of one 8-byte channel block in pixel order, as DXT5
// decodes its alpha block, after the endpoints are mapped.
void decodeChannel(const uint8_t *channelBlock, bool isSigned, uint8_t values[16]) {
    uint8_t table[8];
    ddsChannelTable(ddsRgtcEndpoint(channelBlock[0], isSigned), ddsRgtcEndpoint(channelBlock[1], isSigned), table);
    const uint64_t indices = ddsChannelIndices(channelBlock);
    for (int k = 0; k < 16; ++k) values[k] = table[(indices >> (3 * k)) & 7];
}

struct NormalZTable {
    uint8_t z[65536];
    NormalZTable() {
        for (uint32_t i = 0; i < 65536; ++i) {
            z[i] = ddsNormalZ(static_cast<uint8_t>(i & 0xFF), static_cast<uint8_t>(i >> 8));
        }
    }
};

}  // namespace

uint8_t ddsNormalZ(uint8_t r, uint8_t g) {
    const double x = r / 127.5 - 1.0;
    const double y = g / 127.5 - 1.0;
    const double zSquared = std::max(0.0, 1.0 - x * x - y * y);
    // Between 127.5 and 255: the result fits a byte.
    return static_cast<uint8_t>(std::round((std::sqrt(zSquared) + 1.0) * 127.5));
}

const uint8_t *ddsNormalZTable() {
    static const NormalZTable table;
    return table.z;
}

void ddsDecodeRgtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const bool isSigned = ddsRgtcIsSigned(format);
    const bool hasGreen = ddsRgtcHasGreen(format);
    const bool isNormal = ddsRgtcIsNormal(format);
    uint8_t red[16];
    uint8_t green[16];
    decodeChannel(block, isSigned, red);
    if (hasGreen) decodeChannel(block + 8, isSigned, green);
    for (int i = 0; i < 16; ++i) {
        uint8_t *pixel = blockOrigin + (i / 4) * rowStride + 4 * (i % 4);
        if (!hasGreen) {
            pixel[0] = pixel[1] = pixel[2] = red[i];
        } else {
            pixel[0] = red[i];
            pixel[1] = green[i];
            pixel[2] = isNormal ? ddsNormalZ(red[i], green[i]) : uint8_t{0};
        }
        pixel[3] = 255;
    }
}
