// One import of a file through the plug-in's callbacks, as a host runs
// it: open, information, image, close, and the time the callbacks took.
// ddsimport imports each file through it, once or again and again.
#ifndef TOOLS_TIMED_IMPORT_H
#define TOOLS_TIMED_IMPORT_H

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "qvhost.h"

using ToolClock = std::chrono::steady_clock;

double millisecondsSince(ToolClock::time_point start);

// Bytes a pixel of the image the query reported: 3 for RGB (type 4), else 4.
int channelsOf(const QvImageInfo &info);

struct TimedImport {
    int status = 0;      // 0, or the status of the first callback that failed
    QvImageInfo info{};  // what the information query reported
    double ms = 0;       // the time of the callbacks
};

// Imports `path` into `pixels`, which grows to the image's size between
// the information query and the image request, outside the time; with
// `withImage` false the image request is left out.
TimedImport importTimed(const QvHostImporter &importer, const std::string &path, bool withImage,
                        std::vector<uint8_t> *pixels);

#endif
