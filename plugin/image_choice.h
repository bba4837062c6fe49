// The host's preferences that choose the image of a file and how its HDR
// values become bytes, read by the information query and recorded with the
// file, so that the image request delivers what the query reported.
#ifndef PLUGIN_IMAGE_CHOICE_H
#define PLUGIN_IMAGE_CHOICE_H

#include "texture.h"

// The integer preferences "DDS:MipLevel", "DDS:Element", "DDS:Face",
// "DDS:Slice", "DDS:CubeCross", "DDS:Exposure" and "DDS:HdrSrgb"; an
// absent one means 0, and an absent face means the first face the file
// holds.
DdsImageChoice ddsReadImageChoice();

#endif
