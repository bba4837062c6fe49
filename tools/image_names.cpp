#include "image_names.h"

#include <cctype>
#include <cstdio>

namespace {

constexpr const char *FaceNames[ddsCubeFaces] = {"+x", "-x", "+y", "-y", "+z", "-z"};

// Which parts name an image of the file.
struct NameParts {
    bool element;
    bool face;
    bool level;
    bool slice;
};

NameParts partsOf(const DdsTexture &texture) {
    if (ddsImageCount(texture) <= 1) return NameParts{false, false, false, false};
    return NameParts{texture.elements > 1, texture.cube, texture.levels > 1, texture.depth > 1};
}

int digitsOf(uint32_t value) {
    int digits = 1;
    while (value >= 10) value /= 10, ++digits;
    return digits;
}

// "_m02": `value` padded to the digits of `largest`.
std::string numbered(char letter, uint32_t value, uint32_t largest) {
    char text[24];
    std::snprintf(text, sizeof text, "_%c%0*u", letter, digitsOf(largest), static_cast<unsigned>(value));
    return text;
}

void addWords(std::string *words, const std::string &part) {
    if (!words->empty()) *words += ", ";
    *words += part;
}

}  // namespace

const char *ddsFaceName(uint32_t face) { return face < ddsCubeFaces ? FaceNames[face] : "?"; }

bool ddsParseFace(const char *text, int32_t *face) {
    for (uint32_t f = 0; f < ddsCubeFaces; ++f) {
        const char *name = FaceNames[f];
        const bool named = text[0] == name[0] && std::tolower(static_cast<unsigned char>(text[1])) == name[1] &&
                           text[2] == '\0';
        const bool number = text[0] == static_cast<char>('0' + f) && text[1] == '\0';
        if (named || number) {
            *face = static_cast<int32_t>(f);
            return true;
        }
    }
    return false;
}

std::string ddsImageWords(const DdsTexture &texture, const DdsImageIndex &image, bool cross) {
    const NameParts parts = partsOf(texture);
    std::string words;
    if (parts.element || (cross && texture.elements > 1)) addWords(&words, "element " + std::to_string(image.element));
    if (cross) addWords(&words, "cross");
    if (parts.face && !cross) addWords(&words, std::string("face ") + ddsFaceName(image.face));
    if (parts.level || (cross && texture.levels > 1)) addWords(&words, "level " + std::to_string(image.level));
    if (parts.slice && !cross) addWords(&words, "slice " + std::to_string(image.slice));
    return words;
}

std::string ddsImageSuffix(const DdsTexture &texture, const DdsImageIndex &image) {
    const NameParts parts = partsOf(texture);
    std::string suffix;
    if (parts.element) suffix += numbered('e', image.element, texture.elements - 1);
    if (parts.face) suffix += std::string("_f") + ddsFaceName(image.face);
    if (parts.level) suffix += numbered('m', image.level, texture.levels - 1);
    if (parts.slice) suffix += numbered('s', image.slice, texture.depth - 1);
    return suffix;
}
