#include "image_preferences.h"

#include <cstring>

#include "qvhost.h"

const char FlipPreference[] = "KER:FlipDDSImages";

namespace {

// The largest whole stops whose hundredths an int32_t holds.
constexpr int64_t MaxWholeStops = INT32_MAX / 100;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

constexpr char FacePreference[] = "DDS:Face";
constexpr int ChoicePreferences = 7;

// One preference: its name and its value in a choice.
struct Preference {
    const char *name;
    int32_t value;
};

// Every preference of a choice; the face's only when it names one.
int preferencesOf(const DdsImageChoice &choice, Preference (&list)[ChoicePreferences]) {
    int count = 0;
    list[count++] = Preference{"DDS:MipLevel", choice.level};
    list[count++] = Preference{"DDS:Element", choice.element};
    if (choice.face != ddsAnyFace) list[count++] = Preference{FacePreference, choice.face};
    list[count++] = Preference{"DDS:Slice", choice.slice};
    list[count++] = Preference{"DDS:CubeCross", choice.cubeCross ? 1 : 0};
    list[count++] = Preference{"DDS:Exposure", choice.exposure};
    list[count++] = Preference{"DDS:HdrSrgb", choice.hdrSrgb ? 1 : 0};
    return count;
}

}  // namespace

bool parseExposure(const char *text, int32_t *hundredths) {
    const char *p = text;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    int64_t value = 0;  // hundredths
    bool digits = false;
    for (; isDigit(*p); ++p, digits = true) {
        value = value * 10 + (*p - '0');
        if (value > MaxWholeStops) return false;
    }
    value *= 100;
    int places = 0;
    if (*p == '.') {
        for (++p; isDigit(*p); ++p, ++places, digits = true) {
            if (places == 0) value += 10 * (*p - '0');
            if (places == 1) value += *p - '0';
            if (places == 2 && *p >= '5') ++value;  // at least half a hundredth: away from zero
        }
    }
    if (!digits || *p != '\0' || value > INT32_MAX) return false;
    *hundredths = static_cast<int32_t>(negative ? -value : value);
    return true;
}

void setHostPreferences(int flip, const DdsImageChoice &choice) {
    qvhostClearPreferences();
    qvhostSetPreference(FlipPreference, flip);
    Preference list[ChoicePreferences];
    const int count = preferencesOf(choice, list);
    for (int i = 0; i < count; ++i) qvhostSetPreference(list[i].name, list[i].value);
}

std::string preferencesText(const DdsImageChoice &choice) {
    Preference list[ChoicePreferences];
    const int count = preferencesOf(choice, list);
    std::string text;
    for (int i = 0; i < count; ++i) {
        // 0 is every preference's default but the face's, which is absent.
        if (list[i].value == 0 && std::strcmp(list[i].name, FacePreference) != 0) continue;
        if (!text.empty()) text += ", ";
        text += std::string(list[i].name) + " " + std::to_string(list[i].value);
    }
    return text;
}
