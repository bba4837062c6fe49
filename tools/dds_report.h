// What a DDS file's header says and what the importer will do with it, in
// words, for people: the library behind ddsinfo, which ddsimport also uses
// to say why a file was refused.  It plans each file with the importer's
// own decoding library, so its verdict is the importer's.
#ifndef TOOLS_DDS_REPORT_H
#define TOOLS_DDS_REPORT_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "format_table.h"
#include "texture.h"

// Why the importer refuses the image `choice` takes from the file at
// `path`, as one line ("the file ends before the end of the image
// (LevelTruncated)"); empty when it would import it.
std::string ddsRefusalReason(const std::string &path, const DdsImageChoice &choice = DdsImageChoice{});

// What a file holds and the image `choice` takes from it, as the importer
// plans them.
struct DdsFileImages {
    bool planned = false;           // the importer takes the image; nothing below is set otherwise
    DdsTexture texture{};           // the file's images
    DdsImageIndex image{};          // the image taken; for a cross, the first face the file holds
    bool cross = false;             // a cube map's cross of that element and level
    const DdsFormat *format = nullptr;
    uint64_t firstOffset = 0;       // where the file's first image starts, from the start of the file
    uint64_t length = 0;            // the file's bytes
};
DdsFileImages ddsFileImages(const std::string &path, const DdsImageChoice &choice = DdsImageChoice{});

// Image `n` of a planned file, in the order the file stores them: where it
// starts from the start of the file, its bytes, and whether the file holds
// them all.
struct DdsImagePlace {
    DdsImageIndex image;
    uint64_t offset;
    uint64_t bytes;
    bool whole;
};
DdsImagePlace ddsImagePlace(const DdsFileImages &file, uint64_t n);

// Writes the report of one file to `out`; true when the importer would
// import the file.
bool ddsWriteReport(std::FILE *out, const std::string &path);

#endif
