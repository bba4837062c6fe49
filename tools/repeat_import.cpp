#include "repeat_import.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "timed_import.h"

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
        const TimedImport import = importTimed(importer, path, true, &pixels);
        result.status = import.status;
        if (result.status != 0) return result;
        result.width = import.info.width;
        result.height = import.info.height;
        result.type = import.info.type;
        times.push_back(import.ms);
    }
    result.bestMs = *std::min_element(times.begin(), times.end());
    result.medianMs = medianOf(times);
    return result;
}
