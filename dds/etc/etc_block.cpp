// The plain ETC2 and EAC block decoders: each pixel worked out on its own
// by the rules of etc_rules.h, the output the block-row kernels are held
// to.

#include <cstddef>
#include <cstdint>

#include "etc/etc.h"
#include "etc/etc_rules.h"

namespace {

uint8_t *pixelAt(uint8_t *blockOrigin, ptrdiff_t rowStride, unsigned x, unsigned y) {
    return blockOrigin + static_cast<ptrdiff_t>(y) * rowStride + 4 * x;
}

void putOpaque(uint8_t *out, EtcColour c) {
    out[0] = etcClampByte(c.r), out[1] = etcClampByte(c.g), out[2] = etcClampByte(c.b), out[3] = 255;
}

// Pixel x, y of an individual, differential, T or H block: the base colour
// of its subblock moved by its modifier, or the paint colour its index
// picks; index 2 is transparent without the opaque bit.
void indexedPixel(const uint8_t *block, uint64_t word, bool punchThrough, EtcColourMode mode, unsigned x, unsigned y,
                  uint8_t *out) {
    const unsigned index = etcPixelIndex(word, x, y);
    const bool transparentIndex = etcTransparentIndex(block, punchThrough);
    if (transparentIndex && index == 2) {
        out[0] = out[1] = out[2] = out[3] = 0;
    } else if (mode == EtcColourMode::Subblocks) {
        const bool second = etcSecondSubblock(word, x, y);
        const EtcColour base = etcSubblockBase(block, etcIndividual(block, punchThrough), second);
        putOpaque(out, etcMoved(base, etcModifier(etcCodeword(block, second), index, transparentIndex)));
    } else {
        EtcColour paint[4];
        etcPaintColours(word, mode == EtcColourMode::T, paint);
        putOpaque(out, paint[index]);
    }
}

void decodeColour(const uint8_t *block, bool punchThrough, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    const EtcColourMode mode = etcColourMode(block, punchThrough);
    const uint64_t word = ddsEtcWord(block);
    const EtcPlane plane = mode == EtcColourMode::Planar ? etcPlane(word) : EtcPlane{};
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            uint8_t *out = pixelAt(blockOrigin, rowStride, x, y);
            if (mode == EtcColourMode::Planar)
                putOpaque(out, etcPlanarColour(plane, static_cast<int>(x), static_cast<int>(y)));
            else
                indexedPixel(block, word, punchThrough, mode, x, y, out);
        }
    }
}

// EAC values into byte `channel` of each pixel: 8-bit alpha, or 11-bit
// values (`eleven`).
void decodeEac(const uint8_t *block, bool eleven, uint8_t *blockOrigin, ptrdiff_t rowStride, unsigned channel) {
    const uint64_t word = ddsEtcWord(block);
    for (unsigned y = 0; y < 4; ++y)
        for (unsigned x = 0; x < 4; ++x)
            pixelAt(blockOrigin, rowStride, x, y)[channel] = etcEacValue(block, etcEacIndex(word, x, y), eleven);
}

// R11 grey, RG11 red and green over blue 0; opaque.
void decodeEleven(const uint8_t *block, bool green, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    decodeEac(block, true, blockOrigin, rowStride, 0);
    if (green) decodeEac(block + 8, true, blockOrigin, rowStride, 1);
    for (unsigned y = 0; y < 4; ++y) {
        for (unsigned x = 0; x < 4; ++x) {
            uint8_t *out = pixelAt(blockOrigin, rowStride, x, y);
            out[1] = green ? out[1] : out[0], out[2] = green ? 0 : out[0], out[3] = 255;
        }
    }
}

}  // namespace

void ddsDecodeEtcBlock(BlockFormat format, const uint8_t *block, uint8_t *blockOrigin, ptrdiff_t rowStride) {
    switch (format) {
        case BlockFormat::Etc2Rgb: return decodeColour(block, false, blockOrigin, rowStride);
        case BlockFormat::Etc2PunchThrough: return decodeColour(block, true, blockOrigin, rowStride);
        case BlockFormat::Etc2Rgba:
            decodeColour(block + 8, false, blockOrigin, rowStride);
            return decodeEac(block, false, blockOrigin, rowStride, 3);
        case BlockFormat::EacR11: return decodeEleven(block, false, blockOrigin, rowStride);
        case BlockFormat::EacRg11: return decodeEleven(block, true, blockOrigin, rowStride);
        default: return;
    }
}
