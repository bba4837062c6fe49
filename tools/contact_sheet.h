// A contact sheet: every imported image scaled into one cell of a grid,
// its file name below it and its alpha shown over a checkerboard, written
// as one PNG.
#ifndef TOOLS_CONTACT_SHEET_H
#define TOOLS_CONTACT_SHEET_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class ContactSheet {
  public:
    // The largest side of an image in its cell, in pixels.
    static constexpr int ThumbnailSize = 192;

    // Scales an image of 8-bit RGB (3 channels) or RGBA (4) rows into its
    // cell at once, so that only the thumbnail is kept; false when it cannot
    // be scaled (it then has no cell).
    bool add(const std::string &label, int width, int height, int channels, const uint8_t *pixels);

    // Writes the sheet as an RGB PNG; false when there is no image on it or
    // the file cannot be written.
    bool write(const std::string &path) const;

    size_t size() const { return cells_.size(); }

  private:
    struct Cell {
        std::string label;
        int width;
        int height;
        std::vector<uint8_t> rgb;  // the thumbnail, already over the checkerboard
    };
    std::vector<Cell> cells_;
};

#endif
