// The information query: what the host must know to size its pixel buffer.

#include "image_choice.h"
#include "importer.h"
#include "open_file_table.h"
#include "plan.h"

namespace {

// Every texture is handed back at 8 bits a channel, untiled.
constexpr int SampleBits = 8;
constexpr int NotTiled = 0;

// Calls the host's setters in order, stopping at the first refusal; the
// ones before it keep what they set.
bool reportImage(QvImageInfo *info, const DdsPlan &plan) {
    return qvSetTextureWidth(info, static_cast<int>(plan.outputWidth)) != 0 &&
           qvSetTextureHeight(info, static_cast<int>(plan.outputHeight)) != 0 &&
           qvSetTextureType(info, static_cast<int>(plan.type)) != 0 && qvSetTextureSampleSize(info, SampleBits) != 0 &&
           qvSetTextureTiledFlag(info, NotTiled) != 0;
}

ImportStatus getInfo(int handle, QvImageInfo *info) {
    OpenFileSlot *slot = ddsFindOpenFile(handle);
    if (slot == nullptr) return ImportStatus::ReadFailed;
    slot->reported = ReportedImage{};

    DdsSource source;
    if (!ddsFileSource(&slot->file, &source)) return ImportStatus::ReadFailed;
    const DdsImageChoice choice = ddsReadImageChoice();
    DdsPlan plan;
    if (ddsPlanImage(source, &plan, choice) != DdsRefusal::Accepted) return ImportStatus::ReadFailed;
    if (!reportImage(info, plan)) return ImportStatus::ReadFailed;

    slot->reported =
        ReportedImage{1, static_cast<int>(plan.outputWidth), static_cast<int>(plan.outputHeight), plan.type, choice};
    return ImportStatus::Ok;
}

}  // namespace

extern "C" int QVAPI ddsGetInfo(void *, void *, int handle, QvImageInfo *info) {
    return ddsCallback([&] { return getInfo(handle, info); });
}
