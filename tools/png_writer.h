// Writes 8-bit RGB or RGBA rows as a PNG file.
#ifndef TOOLS_PNG_WRITER_H
#define TOOLS_PNG_WRITER_H

#include <cstdint>
#include <string>

bool writePng(const std::string &path, int width, int height, int channels, const uint8_t *pixels);

#endif
