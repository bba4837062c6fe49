#include "contact_sheet.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "png_writer.h"

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wsign-conversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wcast-align"
#pragma GCC diagnostic ignored "-Wdouble-promotion"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#define STB_IMAGE_RESIZE_IMPLEMENTATION
#define STB_IMAGE_RESIZE_STATIC
#include <stb/stb_image_resize.h>
#include <stb/stb_easy_font.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace {

constexpr int Padding = 8;
constexpr int CheckerSquare = 8;
constexpr int FontLineHeight = 12;  // stb_easy_font's line advance
constexpr uint8_t Background = 0x30;
constexpr uint8_t CheckerLight = 0xcc;
constexpr uint8_t CheckerDark = 0x88;
constexpr uint8_t TextColour = 0xe8;

uint8_t checker(int x, int y) { return ((x / CheckerSquare + y / CheckerSquare) % 2) == 0 ? CheckerLight : CheckerDark; }

uint8_t over(uint8_t colour, uint8_t alpha, uint8_t behind) {
    return static_cast<uint8_t>((colour * alpha + behind * (255 - alpha) + 127) / 255);
}

// stb_easy_font draws printable ASCII only: every other byte (UTF-8 in file
// names among them) becomes '?'.
std::string printable(const std::string &text) {
    std::string out = text;
    for (char &c : out) {
        if (c < 32 || c > 126) c = '?';
    }
    return out;
}

int textWidth(std::string text) { return stb_easy_font_width(text.data()); }

// The label at a scale that fits `width` pixels: twice the font's size when
// it fits, else its own size, shortened with "..." when even that is wider.
// A long name keeps its end: files of one folder or test suite share their
// beginnings ("bgfx__examples_runtime_textures_..."), and their ends (the
// format, the image) tell them apart.
std::string fitLabel(const std::string &label, int width, int *scale) {
    std::string text = printable(label);
    *scale = textWidth(text) * 2 <= width ? 2 : 1;
    if (textWidth(text) <= width) return text;
    while (!text.empty() && textWidth("..." + text) > width) text.erase(0, 1);
    return "..." + text;
}

// Fills the quads stb_easy_font lays out for `text`, scaled by `scale`, at
// (left, top) of an RGB image.
void drawText(std::vector<uint8_t> *image, int imageWidth, int imageHeight, int left, int top, std::string text,
              int scale) {
    std::vector<float> quads(text.size() * 300);  // stb_easy_font needs about 270 bytes a character
    const int count = stb_easy_font_print(0, 0, text.data(), nullptr, quads.data(),
                                          static_cast<int>(quads.size() * sizeof(float)));
    // Each quad is four vertices of x, y, z and a colour, 16 bytes each; the
    // first and third are opposite corners.
    for (int q = 0; q < count; ++q) {
        const float *v = &quads[static_cast<size_t>(q) * 16];
        const int x0 = left + static_cast<int>(std::lround(v[0] * static_cast<float>(scale)));
        const int y0 = top + static_cast<int>(std::lround(v[1] * static_cast<float>(scale)));
        const int x1 = left + static_cast<int>(std::lround(v[8] * static_cast<float>(scale)));
        const int y1 = top + static_cast<int>(std::lround(v[9] * static_cast<float>(scale)));
        for (int y = std::max(y0, 0); y < std::min(y1, imageHeight); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x1, imageWidth); ++x) {
                uint8_t *p = &(*image)[(static_cast<size_t>(y) * static_cast<size_t>(imageWidth) +
                                        static_cast<size_t>(x)) * 3];
                p[0] = p[1] = p[2] = TextColour;
            }
        }
    }
}

}  // namespace

bool ContactSheet::add(const std::string &label, int width, int height, int channels, const uint8_t *pixels) {
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4)) return false;
    const double scale = std::min(static_cast<double>(ThumbnailSize) / width, static_cast<double>(ThumbnailSize) / height);
    const int w = std::max(1, static_cast<int>(std::lround(width * scale)));
    const int h = std::max(1, static_cast<int>(std::lround(height * scale)));
    std::vector<uint8_t> scaled(static_cast<size_t>(w) * static_cast<size_t>(h) * static_cast<size_t>(channels));
    // Colours are scaled in linear light, weighted by alpha; images smaller
    // than their cell are enlarged with a box filter, which keeps their
    // pixels square and sharp.
    const stbir_filter filter = scale > 1.0 ? STBIR_FILTER_BOX : STBIR_FILTER_DEFAULT;
    if (stbir_resize_uint8_generic(pixels, width, height, width * channels, scaled.data(), w, h, w * channels,
                                   channels, channels == 4 ? 3 : STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP,
                                   filter, STBIR_COLORSPACE_SRGB, nullptr) == 0) {
        return false;
    }
    Cell cell{label, w, h, std::vector<uint8_t>(static_cast<size_t>(w) * static_cast<size_t>(h) * 3)};
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const size_t i = static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x);
            const uint8_t *from = &scaled[i * static_cast<size_t>(channels)];
            const uint8_t alpha = channels == 4 ? from[3] : 255;
            for (size_t c = 0; c < 3; ++c) cell.rgb[i * 3 + c] = over(from[c], alpha, checker(x, y));
        }
    }
    cells_.push_back(std::move(cell));
    return true;
}

bool ContactSheet::write(const std::string &path) const {
    if (cells_.empty()) return false;
    const int count = static_cast<int>(cells_.size());
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + columns - 1) / columns;
    const int labelHeight = 2 * FontLineHeight;
    const int cellWidth = ThumbnailSize + Padding;
    const int cellHeight = ThumbnailSize + labelHeight + Padding;
    const int width = columns * cellWidth + Padding;
    const int height = rows * cellHeight + Padding;
    std::vector<uint8_t> sheet(static_cast<size_t>(width) * static_cast<size_t>(height) * 3, Background);

    for (int n = 0; n < count; ++n) {
        const Cell &cell = cells_[static_cast<size_t>(n)];
        // Each image is centred in its square, its label centred below.
        const int left = Padding + (n % columns) * cellWidth;
        const int top = Padding + (n / columns) * cellHeight;
        const int x0 = left + (ThumbnailSize - cell.width) / 2;
        const int y0 = top + (ThumbnailSize - cell.height) / 2;
        for (int y = 0; y < cell.height; ++y) {
            std::copy_n(&cell.rgb[static_cast<size_t>(y) * static_cast<size_t>(cell.width) * 3],
                        static_cast<size_t>(cell.width) * 3,
                        &sheet[(static_cast<size_t>(y0 + y) * static_cast<size_t>(width) + static_cast<size_t>(x0)) * 3]);
        }
        int scale = 1;
        const std::string text = fitLabel(cell.label, ThumbnailSize, &scale);
        const int textLeft = left + (ThumbnailSize - textWidth(text) * scale) / 2;
        const int textTop = top + ThumbnailSize + (labelHeight - FontLineHeight * scale) / 2 + 2;
        drawText(&sheet, width, height, textLeft, textTop, text, scale);
    }
    return writePng(path, width, height, 3, sheet.data());
}
