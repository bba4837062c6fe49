// The names of one image of a file: in words for a line of output
// ("element 1, face -x, level 2"), and as a suffix of the PNG written for
// it ("_e1_f-x_m2").  Both name only the parts the file has: the element
// when it holds several, the face of a cube map, the level when it holds
// several, the slice of a volume; a file of one image has no name for it.
#ifndef TOOLS_IMAGE_NAMES_H
#define TOOLS_IMAGE_NAMES_H

#include <cstdint>
#include <string>

#include "texture.h"

// "+x", "-x", "+y", "-y", "+z" or "-z": face 0 to 5 as ddsimport's --face
// takes it.
const char *ddsFaceName(uint32_t face);

// The face `text` names, "0" to "5" or "+x" to "-z" (either case); false
// when it names none.
bool ddsParseFace(const char *text, int32_t *face);

// The image in words; "cross" in place of the face for a cube map's
// cross, which is always named.  Empty for a file of one image.
std::string ddsImageWords(const DdsTexture &texture, const DdsImageIndex &image, bool cross);

// The image as a file name's suffix: "_e", "_f", "_m" and "_s" parts, in
// the order the file stores its images, each number padded with zeros to
// the width of the file's largest, so that the names sort as the numbers
// do.  Empty for a file of one image.
std::string ddsImageSuffix(const DdsTexture &texture, const DdsImageIndex &image);

#endif
