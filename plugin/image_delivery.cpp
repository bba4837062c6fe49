// The image request: the top level's pixels into the host's buffer.

#include <cstdint>

#include "header.h"
#include "importer.h"
#include "image_check.h"
#include "open_file_table.h"
#include "top_level.h"

namespace {

// Host preference: 0 or absent hands rows back last file row first, any
// other value in file order.  Read afresh at every request.
constexpr char FlipPreference[] = "KER:FlipDDSImages";

// The host sized its buffer from what the query reported; a file that has
// changed since would not fit it.
bool fitsReport(const ReportedImage &reported, const DdsImage &image) {
    if (!reported.valid) return true;
    return static_cast<uint32_t>(reported.width) == image.width &&
           static_cast<uint32_t>(reported.height) == image.height && reported.type == image.type;
}

}  // namespace

extern "C" int QVAPI ddsGetImage(void *, void *, int handle, void *, void *pixels) {
    int fileOrder = 0;
    qvModelingPrefGetInteger(FlipPreference, &fileOrder, 0);

    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr || pixels == nullptr) return ReadFailed;

    // The header is read and classified afresh, so that the request stands
    // on its own even when no query ran for this handle.
    DdsHeader header;
    if (!ddsReadHeader(slot->file, &header)) return ReadFailed;
    DdsImage image;
    if (!ddsInspectImage(slot->file, header, ddsClassifyFormat(header), &image)) return ReadFailed;
    if (!fitsReport(slot->reported, image)) return ReadFailed;

    const bool reverseRows = fileOrder == 0;
    if (!ddsDecodeTopLevel(slot->file, image, static_cast<uint8_t *>(pixels), reverseRows)) {
        return ReadFailed;
    }
    return Ok;
}
