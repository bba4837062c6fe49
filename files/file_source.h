// Files opened read-only, read at explicit offsets with the
// system's positional reads, so that no request depends on a stream
// position and nothing is cached between requests.
#ifndef FILES_FILE_SOURCE_H
#define FILES_FILE_SOURCE_H

#include <cstddef>
#include <cstdint>

#include "source.h"

// An open file: a descriptor, or a Windows handle, as an integer.
struct PluginFile {
    intptr_t handle;
};

// Opens `path` for reading; false when it cannot be opened.
bool ddsOpenFile(const char *path, PluginFile *file);

void ddsCloseFile(PluginFile *file);

// A source over the file as it is now: its current length, and reads at
// offsets.  `file` must outlive the source.  False when the length cannot
// be had.
bool ddsFileSource(const PluginFile *file, DdsSource *source);

#endif
