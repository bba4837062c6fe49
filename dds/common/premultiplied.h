// Colour premultiplied by alpha, undone once the pixels are decoded: the
// one rule for DXT2 and DXT4 and for every Rgba layout whose DX10 alpha
// mode says premultiplied.
#ifndef DDS_COMMON_PREMULTIPLIED_H
#define DDS_COMMON_PREMULTIPLIED_H

#include <cstdint>

// Each colour channel c of the `width` RGBA pixels at `rgba` whose alpha a
// is not 0 becomes min(255, (255 c + a div 2) div a): 255 c / a rounded to
// the nearest byte, a half up; a pixel whose alpha is 0 becomes
// (0, 0, 0, 0).  An opaque pixel keeps its colour.
inline void ddsUnpremultiplyRow(uint8_t *rgba, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, rgba += 4) {
        const uint32_t alpha = rgba[3];
        for (int c = 0; c < 3; ++c) {
            const uint32_t value = alpha == 0 ? 0 : (rgba[c] * 255u + alpha / 2) / alpha;
            rgba[c] = static_cast<uint8_t>(value < 255 ? value : 255);
        }
    }
}

#endif
