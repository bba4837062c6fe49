// The host's integer preferences that ddsimport sets on the stand-in host
// before an import: "KER:FlipDDSImages", and those that choose the image
// of a file and how its HDR values become bytes (plugin/image_choice.h
// reads them).
#ifndef TOOLS_IMAGE_PREFERENCES_H
#define TOOLS_IMAGE_PREFERENCES_H

#include <cstdint>
#include <string>

#include "texture.h"

extern const char FlipPreference[];

// Stops written as a decimal number ("2", "-0.5", "+1.25", ".5") in
// hundredths of a stop, the exposure preference's unit: rounded to the
// nearest hundredth, a half away from zero (1.005 is 101, -1.005 -101),
// from the digits as written.  False for anything else, or a value the
// preference cannot hold.
bool parseExposure(const char *text, int32_t *hundredths);

// Sets the preferences and no others: the flip, and each preference of
// `choice`; the face only when the choice names one (absent, the file's
// first face comes).
void setHostPreferences(int flip, const DdsImageChoice &choice);

// The preferences of `choice` that differ from the host's defaults, as
// "DDS:MipLevel 2, DDS:Exposure 101"; empty when none does.
std::string preferencesText(const DdsImageChoice &choice);

#endif
