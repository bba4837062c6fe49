// Times repeated imports of one file through the plug-in's callbacks, as a
// host that reads the same texture again and again would: open, information,
// image, close, into one pixel buffer kept for every pass.
#ifndef TOOLS_REPEAT_IMPORT_H
#define TOOLS_REPEAT_IMPORT_H

#include <string>
#include <vector>

#include "qvhost.h"

struct RepeatedImport {
    int status = 0;  // 0, or the status of the first callback that failed
    int width = 0;
    int height = 0;
    int type = 0;          // the texture type the information query reported
    double bestMs = 0;     // the fastest pass: its four callbacks
    double medianMs = 0;   // the median pass
};

// Imports `path` `repetitions` times (at least 1); stops at the first pass
// that fails.  The buffer is allocated once, outside the timed callbacks.
RepeatedImport importRepeatedly(const QvHostImporter &importer, const std::string &path, int repetitions);

// The median of `values` (the mean of the middle two for an even count);
// 0 for none.
double medianOf(std::vector<double> values);

#endif
