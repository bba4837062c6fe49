// The importer as the host sees it: status codes and the four callbacks
// that the registration hands to the host.
#ifndef PLUGIN_IMPORTER_H
#define PLUGIN_IMPORTER_H

#include "qvapi.h"

// The result of every importer callback, handed to the host as an int.
enum class ImportStatus : int { Ok = 0, OpenFailed = -2, NotDds = -6, ReadFailed = -8 };

// Runs the body of a callback, which returns an ImportStatus, and hands its
// status to the host.  Nothing the body throws (a failed allocation of the
// C++ runtime, a thread or lock the system refuses) leaves the callback: it
// ends there as ReadFailed, after the body's own objects have released
// what they hold.
template <typename Body>
int ddsCallback(Body body) noexcept {
    try {
        return static_cast<int>(body());
    } catch (...) {
        return static_cast<int>(ImportStatus::ReadFailed);
    }
}

extern "C" {

// Opens `path` for reading when `mode` begins with 'r' and the file begins
// with the DDS magic; stores the handle in *handle only on success.
int QVAPI ddsOpen(void *host1, void *host2, const char *path, const char *mode, int *handle);

// Closes a handle from ddsOpen.  A handle stays valid until its own close.
int QVAPI ddsClose(void *host1, void *host2, int handle);

// Reports width, height, texture type, sample size 8 and tiled flag 0
// through the host's setters.
int QVAPI ddsGetInfo(void *host1, void *host2, int handle, QvImageInfo *info);

// Decodes the top level into the host's buffer, sized from ddsGetInfo.
int QVAPI ddsGetImage(void *host1, void *host2, int handle, void *fourth, void *pixels);

}

// The registration step of qvpInit: 1 when the host accepted the importer.
int ddsRegisterImporter(QvPlugin *plugin, QvResource *resource);

#endif
