#include "timed_import.h"

#include <cstddef>

namespace {

constexpr int RgbType = 4;

size_t imageBytes(const QvImageInfo &info) {
    return static_cast<size_t>(info.width) * static_cast<size_t>(info.height) *
           static_cast<size_t>(channelsOf(info));
}

}  // namespace

double millisecondsSince(ToolClock::time_point start) {
    return std::chrono::duration<double, std::milli>(ToolClock::now() - start).count();
}

int channelsOf(const QvImageInfo &info) { return info.type == RgbType ? 3 : 4; }

TimedImport importTimed(const QvHostImporter &importer, const std::string &path, bool withImage,
                        std::vector<uint8_t> *pixels) {
    TimedImport result;
    int handle = -1;
    ToolClock::time_point start = ToolClock::now();
    result.status = importer.open(nullptr, nullptr, path.c_str(), "r", &handle);
    if (result.status != 0) {
        result.ms = millisecondsSince(start);
        return result;
    }
    result.status = importer.info(nullptr, nullptr, handle, &result.info);
    result.ms = millisecondsSince(start);
    if (result.status == 0 && withImage && pixels->size() < imageBytes(result.info)) {
        pixels->resize(imageBytes(result.info));
    }
    start = ToolClock::now();
    if (result.status == 0 && withImage) {
        result.status = importer.image(nullptr, nullptr, handle, nullptr, pixels->data());
    }
    const int closed = importer.close(nullptr, nullptr, handle);
    result.ms += millisecondsSince(start);
    if (result.status == 0) result.status = closed;
    return result;
}
