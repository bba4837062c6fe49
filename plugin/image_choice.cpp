#include "image_choice.h"

#include "qvapi.h"

namespace {

// The host hands back the default for a preference it has no value for.
// The face's default is one no host stores, so that an absent face, which
// takes the first face the file holds, is told from face 0.
int preference(const char *name, int absent) {
    int value = absent;
    qvModelingPrefGetInteger(name, &value, absent);
    return value;
}

}  // namespace

DdsImageChoice ddsReadImageChoice() {
    DdsImageChoice choice;
    choice.level = preference("DDS:MipLevel", 0);
    choice.element = preference("DDS:Element", 0);
    choice.face = preference("DDS:Face", ddsAnyFace);
    choice.slice = preference("DDS:Slice", 0);
    choice.cubeCross = preference("DDS:CubeCross", 0) != 0;
    choice.exposure = preference("DDS:Exposure", 0);
    choice.hdrSrgb = preference("DDS:HdrSrgb", 0) != 0;
    return choice;
}
