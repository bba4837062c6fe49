#include "image_names.h"

#include <cctype>

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
