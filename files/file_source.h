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

// One read of the system's (pread, or ReadFile at an offset on Windows):
// at most `size` bytes of `file` at `offset` into `buffer`.  Returns the
// bytes read, 0 at the end of the file, or -1 with errno set, EINTR when a
// signal interrupted it before a byte arrived.  A file read calls it until
// every byte has arrived.
using DdsSystemRead = int64_t (*)(const PluginFile &file, uint64_t offset, void *buffer, size_t size);
int64_t ddsSystemRead(const PluginFile &file, uint64_t offset, void *buffer, size_t size);

// For the tests: every file read calls `read` in place of ddsSystemRead
// (null gives it back), so that reads can be interrupted, cut short or made
// to fail.  Set it while no file is being read.
void ddsSetSystemReadForTesting(DdsSystemRead read);

// Opens `path` for reading; false when it cannot be opened.
bool ddsOpenFile(const char *path, PluginFile *file);

void ddsCloseFile(PluginFile *file);

// A source over the file as it is now: its current length, and reads at
// offsets.  `file` must outlive the source.  False when the length cannot
// be had.
bool ddsFileSource(const PluginFile *file, DdsSource *source);

#endif
