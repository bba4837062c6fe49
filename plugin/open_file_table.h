// The module-wide table of open files.  A file keeps its slot from its open
// until its own close, and its slot index is the handle the host names it
// by; a new file goes into the lowest empty slot.  The table takes a lock,
// so that a host may open, query, read and close different handles on
// different threads at once.
#ifndef PLUGIN_OPEN_FILE_TABLE_H
#define PLUGIN_OPEN_FILE_TABLE_H

#include "file_source.h"
#include "formats.h"
#include "texture.h"

constexpr int MaxOpenFiles = 20;

// What the information query told the host about a file, which sized the
// host's pixel buffer from it, and the host's choice of image it was
// planned for.
struct ReportedImage {
    int valid;  // 1 after a query that set every field
    int width;
    int height;
    TextureType type;
    DdsImageChoice choice;
};

struct OpenFileSlot {
    int open;         // 1 while the slot holds a file
    PluginFile file;
    ReportedImage reported;
};

// The slot that `handle` names, or null when the handle is outside 0 to 19
// or its slot is empty.
OpenFileSlot *ddsFindOpenFile(int handle);

// Places an open file in the lowest empty slot, clearing what the slot
// recorded for its previous file; returns the handle, or -1 when all slots
// are taken.
int ddsAddOpenFile(const PluginFile &file);

// Closes the file of a handle and empties its slot; false when the handle
// names no open file.
bool ddsRemoveOpenFile(int handle);

#endif
