#include "texture.h"

#include <algorithm>

#include "plan.h"

namespace {

constexpr uint32_t Caps2CubeFaces = 0xFC00;  // +X 0x400 ... -Z 0x8000
constexpr uint32_t Caps2CubeFaceShift = 10;
constexpr uint32_t Caps2Volume = 0x200000;
constexpr uint32_t Dx10Texture3d = 4;
constexpr uint32_t AllFaces = (1u << ddsCubeFaces) - 1;

// Sums and products that stop at UINT64_MAX: a size that large is never in
// a file, so the comparison with the file's length refuses it.
uint64_t saturatingAdd(uint64_t a, uint64_t b) { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }
uint64_t saturatingMul(uint64_t a, uint64_t b) { return b != 0 && a > UINT64_MAX / b ? UINT64_MAX : a * b; }

// The levels from a side of `side` pixels down to 1: 1 + floor(log2(side)).
uint32_t chainLength(uint32_t side) {
    uint32_t levels = 1;
    while (side > 1) side >>= 1, ++levels;
    return levels;
}

uint32_t levelCount(const DdsHeader &header, uint32_t depth) {
    const uint32_t chain = chainLength(std::max({header.width, header.height, depth}));
    if (!(header.flags & DdsFlagMipMapCount) || header.mipMapCount < 1) return 1;
    return std::min(static_cast<uint32_t>(header.mipMapCount), chain);
}

int32_t nearest(int32_t wanted, uint32_t count) {
    return std::min(std::max(wanted, 0), static_cast<int32_t>(std::min<uint32_t>(count, INT32_MAX)) - 1);
}

// The bytes of a level as its format stores it.  Planes of an odd size,
// which only a smaller level can have, are laid out as the next even size.
uint64_t levelBytes(const DdsFormat &format, uint32_t width, uint32_t height) {
    if (format.rows == RowLayout::Planes) width += width & 1, height += height & 1;
    return ddsLevelRows(format, width, height).bytes;
}

// Face `face` among the faces the elements hold: how many come before it.
uint32_t facesBefore(const DdsTexture &texture, uint32_t face) { return ddsFaceCount(texture.faces & ((1u << face) - 1)); }

// The images of one face of one element: every level's slices.
uint64_t imagesPerFace(const DdsTexture &texture) {
    uint64_t images = 0;
    for (uint32_t level = 0; level < texture.levels; ++level) images += ddsLevelSlices(texture, level);
    return images;
}

}  // namespace

DdsTexture ddsTextureOf(const DdsHeader &header, const DdsHeaderDx10 *dx10) {
    DdsTexture texture{header.width, header.height, 1, 1, 1, 1, false};
    const bool dx10Cube = dx10 != nullptr && (dx10->miscFlag & DdsDx10MiscCube) != 0;
    texture.cube = dx10Cube || (header.caps2 & DdsCaps2Cubemap) != 0;
    const bool volume = dx10 != nullptr ? dx10->resourceDimension == Dx10Texture3d
                                        : (header.caps2 & Caps2Volume) != 0 || (header.flags & DdsFlagDepth) != 0;
    if (texture.cube) {
        const uint32_t named = (header.caps2 & Caps2CubeFaces) >> Caps2CubeFaceShift;
        texture.faces = dx10Cube || named == 0 ? AllFaces : named;
    } else if (volume) {
        texture.depth = std::max(header.depth, 1u);
    }
    if (dx10 != nullptr && !(volume && !texture.cube)) texture.elements = std::max(dx10->arraySize, 1u);
    texture.levels = levelCount(header, texture.depth);
    return texture;
}

uint32_t ddsLevelSlices(const DdsTexture &texture, uint32_t level) { return ddsLevelSide(texture.depth, level); }

uint32_t ddsFaceCount(uint32_t faces) {
    uint32_t count = 0;
    for (; faces != 0; faces &= faces - 1) ++count;
    return count;
}

uint32_t ddsNthFace(uint32_t faces, uint32_t n) {
    uint32_t face = 0;
    while ((faces >> face & 1) == 0 || n-- != 0) ++face;
    return face;
}

DdsRefusal ddsChooseImage(const DdsTexture &texture, const DdsImageChoice &choice, DdsImageIndex *image) {
    image->level = static_cast<uint32_t>(nearest(choice.level, texture.levels));
    image->element = static_cast<uint32_t>(nearest(choice.element, texture.elements));
    image->slice = static_cast<uint32_t>(nearest(choice.slice, ddsLevelSlices(texture, image->level)));
    image->face = 0;
    if (!texture.cube) return DdsRefusal::Accepted;
    if (choice.face == ddsAnyFace) {
        while ((texture.faces >> image->face & 1) == 0) ++image->face;
        return DdsRefusal::Accepted;
    }
    image->face = static_cast<uint32_t>(nearest(choice.face, ddsCubeFaces));
    return (texture.faces >> image->face & 1) != 0 ? DdsRefusal::Accepted : DdsRefusal::CubeFaceMissing;
}

uint64_t ddsImageCount(const DdsTexture &texture) {
    return uint64_t{texture.elements} * ddsFaceCount(texture.faces) * imagesPerFace(texture);
}

DdsImageIndex ddsImageAt(const DdsTexture &texture, uint64_t n) {
    const uint64_t perFace = imagesPerFace(texture), perElement = perFace * ddsFaceCount(texture.faces);
    DdsImageIndex image{static_cast<uint32_t>(n / perElement), 0, 0, 0};
    uint64_t rest = n % perElement;
    image.face = ddsNthFace(texture.faces, static_cast<uint32_t>(rest / perFace));
    rest %= perFace;
    while (rest >= ddsLevelSlices(texture, image.level)) rest -= ddsLevelSlices(texture, image.level++);
    image.slice = static_cast<uint32_t>(rest);
    return image;
}

DdsImageSpan ddsImageSpan(const DdsTexture &texture, const DdsFormat &format, const DdsImageIndex &image) {
    uint64_t chain = 0;  // the bytes of one face of one element: every level and slice
    uint64_t before = 0; // the bytes of the levels before image.level
    uint64_t imageBytes = 0;
    for (uint32_t level = 0; level < texture.levels; ++level) {
        const uint64_t bytes = levelBytes(format, ddsLevelSide(texture.width, level),
                                          ddsLevelSide(texture.height, level));
        if (level == image.level) before = chain, imageBytes = bytes;
        chain = saturatingAdd(chain, saturatingMul(bytes, ddsLevelSlices(texture, level)));
    }
    const uint64_t faces = uint64_t{image.element} * ddsFaceCount(texture.faces) + facesBefore(texture, image.face);
    uint64_t offset = saturatingMul(faces, chain);
    offset = saturatingAdd(offset, before);
    offset = saturatingAdd(offset, saturatingMul(image.slice, imageBytes));
    return DdsImageSpan{offset, imageBytes};
}

bool ddsIsFirstImage(const DdsTexture &texture, const DdsImageIndex &image) {
    return image.element == 0 && image.level == 0 && image.slice == 0 && facesBefore(texture, image.face) == 0;
}
