#include "repeat_import.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace {

constexpr int RgbType = 4;

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

size_t imageBytes(const QvImageInfo &info) {
    const size_t channels = info.type == RgbType ? 3 : 4;
    return static_cast<size_t>(info.width) * static_cast<size_t>(info.height) * channels;
}

// One import into `pixels`: returns its status and sets *ms to the time of
// its callbacks.  The buffer grows to the image's size between the
// information query and the image request, outside the time, on the first
// pass only (every pass reports the same size).
int importOnce(const QvHostImporter &importer, const std::string &path, std::vector<uint8_t> *pixels,
               QvImageInfo *info, double *ms) {
    int handle = -1;
    Clock::time_point start = Clock::now();
    int status = importer.open(nullptr, nullptr, path.c_str(), "r", &handle);
    if (status != 0) {
        *ms = millisecondsSince(start);
        return status;
    }
    status = importer.info(nullptr, nullptr, handle, info);
    double elapsed = millisecondsSince(start);
    if (status == 0 && pixels->size() < imageBytes(*info)) pixels->resize(imageBytes(*info));
    start = Clock::now();
    if (status == 0) status = importer.image(nullptr, nullptr, handle, nullptr, pixels->data());
    const int closed = importer.close(nullptr, nullptr, handle);
    *ms = elapsed + millisecondsSince(start);
    return status != 0 ? status : closed;
}

}  // namespace

double medianOf(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

RepeatedImport importRepeatedly(const QvHostImporter &importer, const std::string &path, int repetitions) {
    RepeatedImport result;
    std::vector<uint8_t> pixels;
    std::vector<double> times;
    for (int pass = 0; pass < std::max(repetitions, 1); ++pass) {
        // The stand-in host logs every call; an empty log keeps many passes
        // from growing it, and its growth out of the time.
        qvhostClearCalls();
        QvImageInfo info{};
        double ms = 0;
        result.status = importOnce(importer, path, &pixels, &info, &ms);
        if (result.status != 0) return result;
        result.width = info.width;
        result.height = info.height;
        result.type = info.type;
        times.push_back(ms);
    }
    result.bestMs = *std::min_element(times.begin(), times.end());
    result.medianMs = medianOf(times);
    return result;
}
