// The information query: what the host must know to size its pixel buffer.

#include "header.h"
#include "importer.h"
#include "image_check.h"
#include "open_file_table.h"

namespace {

// Every texture is handed back at 8 bits a channel, untiled.
constexpr int SampleBits = 8;
constexpr int NotTiled = 0;

// Calls the host's setters in order, stopping at the first refusal; the
// ones before it keep what they set.
bool reportImage(QvImageInfo *info, const DdsImage &image) {
    return qvSetTextureWidth(info, static_cast<int>(image.width)) != 0 &&
           qvSetTextureHeight(info, static_cast<int>(image.height)) != 0 &&
           qvSetTextureType(info, image.type) != 0 &&
           qvSetTextureSampleSize(info, SampleBits) != 0 && qvSetTextureTiledFlag(info, NotTiled) != 0;
}

}  // namespace

extern "C" int QVAPI ddsGetInfo(void *, void *, int handle, QvImageInfo *info) {
    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr) return ReadFailed;
    slot->reported = ReportedImage{};

    DdsHeader header;
    if (!ddsReadHeader(slot->file, &header)) return ReadFailed;
    slot->format = ddsClassifyFormat(header);

    DdsImage image;
    if (!ddsInspectImage(slot->file, header, slot->format, &image)) return ReadFailed;
    if (!reportImage(info, image)) return ReadFailed;

    slot->reported = ReportedImage{1, static_cast<int>(image.width), static_cast<int>(image.height),
                                   image.type};
    return Ok;
}
