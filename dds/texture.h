// The images a file holds, and where each one lies.
//
// A file stores its images element by element: an array's elements, and
// each face of a cube map as an element of its own (six a cube, in the
// order +X, -X, +Y, -Y, +Z, -Z; a legacy cube map only the faces its caps
// name).  Each element holds all its levels, largest first; level k of a
// w x h texture is max(1, w >> k) x max(1, h >> k) pixels, stored as the
// format's row layout stores that size (ddsLevelRows), every block that
// touches it included.  A volume's level k holds max(1, depth >> k)
// slices, one after another.
#ifndef DDS_TEXTURE_H
#define DDS_TEXTURE_H

#include <cstdint>

#include "format_table.h"
#include "header.h"
#include "refusal.h"

// The faces of a cube map, in the order files store them.
constexpr uint32_t ddsCubeFaces = 6;

// The face preference when the host has none: the first face the file
// holds.
constexpr int32_t ddsAnyFace = INT32_MIN;

// What the host's preferences ask of an import: which image, whether a
// cube map comes as a cross of its faces, and how HDR values become bytes.
// The default is the first image, as stored.
struct DdsImageChoice {
    int32_t level = 0;         // mip level, 0 the largest
    int32_t element = 0;       // array element (a whole cube in a cube array)
    int32_t face = ddsAnyFace; // cube face, 0 to 5 = +X, -X, +Y, -Y, +Z, -Z
    int32_t slice = 0;         // volume slice of the chosen level
    bool cubeCross = false;    // a cube map's six faces as one 4W x 3H image
    int32_t exposure = 0;      // HDR values times 2^(exposure / 100)
    bool hdrSrgb = false;      // HDR values through the sRGB transfer function
};

// What a file holds, from its header.
struct DdsTexture {
    uint32_t width;     // the top level's
    uint32_t height;
    uint32_t depth;     // the top level's slices: 1 unless a volume
    uint32_t levels;    // 1 to 32
    uint32_t elements;  // array elements; a cube counts one
    uint32_t faces;     // bit f: the elements hold face f; bit 0 alone for a texture that is not a cube map
    bool cube;
};

// One image of a file.
struct DdsImageIndex {
    uint32_t element;
    uint32_t face;   // 0 unless a cube map
    uint32_t level;
    uint32_t slice;  // 0 unless a volume
};

// The side of level `level` of a side of `side` pixels: max(1, side >> level).
constexpr uint32_t ddsLevelSide(uint32_t side, uint32_t level) {
    return level >= 32 || (side >> level) == 0 ? 1u : side >> level;
}

// What the header says the file holds.  The level count is the mip count
// when its flag is set (a count without the flag is not read: one level),
// at most the levels down to 1 x 1 (x 1).  A cube map is one whose DX10
// record has the cube flag (its array size then counts cubes), or else
// whose caps2 have the cube bit; a legacy cube map holds the faces its
// caps2 name, all six when it names none.  A volume is one whose DX10
// record says 3D, or a legacy header with the volume cap or the depth
// flag.  An array size of 0 counts as 1.
DdsTexture ddsTextureOf(const DdsHeader &header, const DdsHeaderDx10 *dx10);

// The image `choice` asks for: a level, element or slice beyond what the
// file holds takes the nearest one it has (negative values count as 0); a
// face is ignored unless the file is a cube map, a face above 5 counts as
// -Z, and with no face preference the first face the file holds comes.
// Refused (CubeFaceMissing) when the face asked for is one a legacy cube
// map leaves out.
DdsRefusal ddsChooseImage(const DdsTexture &texture, const DdsImageChoice &choice, DdsImageIndex *image);

// The number of images the file holds, and its image `n` (0 to the number
// less 1) in the order they are stored.
uint64_t ddsImageCount(const DdsTexture &texture);
DdsImageIndex ddsImageAt(const DdsTexture &texture, uint64_t n);

// The faces that `faces` has (bit f: face f), and the one of them that
// comes `n`-th (from 0) in the order files store them.
uint32_t ddsFaceCount(uint32_t faces);
uint32_t ddsNthFace(uint32_t faces, uint32_t n);

// The slices level `level` holds.
uint32_t ddsLevelSlices(const DdsTexture &texture, uint32_t level);

// Where `image` starts, counted from the first image's start, and its
// bytes, for a format of row layout `format`; both saturate at
// UINT64_MAX, which no file reaches.
struct DdsImageSpan {
    uint64_t offset;
    uint64_t bytes;
};
DdsImageSpan ddsImageSpan(const DdsTexture &texture, const DdsFormat &format, const DdsImageIndex &image);

// Whether `image` is the first image the file stores, which the importer
// reads as it always has (see ddsPlanImage).
bool ddsIsFirstImage(const DdsTexture &texture, const DdsImageIndex &image);

#endif
