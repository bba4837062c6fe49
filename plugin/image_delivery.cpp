// The image request: the top level's pixels into the host's buffer.

#include <cstdint>

#include "host_decode.h"
#include "image_choice.h"
#include "importer.h"
#include "open_file_table.h"
#include "plan.h"

namespace {

// Host preference: 0 or absent hands rows back last file row first, any
// other value in file order.  Read afresh at every request.
constexpr char FlipPreference[] = "KER:FlipDDSImages";

// The host sized its buffer from what the query reported; a file that has
// changed since would not fit it.
bool fitsReport(const ReportedImage &reported, const DdsPlan &plan) {
    if (!reported.valid) return true;
    return static_cast<uint32_t>(reported.width) == plan.outputWidth &&
           static_cast<uint32_t>(reported.height) == plan.outputHeight && reported.type == plan.type;
}

ImportStatus getImage(int handle, uint8_t *pixels) {
    int fileOrder = 0;
    qvModelingPrefGetInteger(FlipPreference, &fileOrder, 0);

    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr || pixels == nullptr) return ImportStatus::ReadFailed;

    // The file is planned afresh, as it is now, so that the request stands
    // on its own even when no query ran for this handle: for the image the
    // query chose, or without a query for the one the preferences choose
    // now.  After a query that reported Rgb, DXT1 and BC1 are planned Rgb
    // without reading every block a second time, and the decode confirms it
    // from the blocks it reads.
    DdsSource source;
    if (!ddsFileSource(&slot->file, &source)) return ImportStatus::ReadFailed;
    DdsPlan plan;
    const DdsRefusal refusal =
        slot->reported.valid ? ddsPlanReportedImage(source, slot->reported.type, &plan, slot->reported.choice)
                             : ddsPlanImage(source, &plan, ddsReadImageChoice());
    if (refusal != DdsRefusal::Accepted) return ImportStatus::ReadFailed;
    if (!fitsReport(slot->reported, plan)) return ImportStatus::ReadFailed;

    return ddsDecodeForHost(source, plan, pixels, fileOrder == 0) ? ImportStatus::Ok : ImportStatus::ReadFailed;
}

}  // namespace

extern "C" int QVAPI ddsGetImage(void *, void *, int handle, void *, void *pixels) {
    return ddsCallback([&] { return getImage(handle, static_cast<uint8_t *>(pixels)); });
}
