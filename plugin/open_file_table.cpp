#include "open_file_table.h"

#include <cstring>

#include "header.h"
#include "importer.h"

namespace {

OpenFileTable openFiles;

}  // namespace

OpenFileSlot *ddsFindOpenFile(int handle) {
    if (handle < 0 || handle >= MaxOpenFiles) return nullptr;
    OpenFileSlot *slot = &openFiles.slots[handle];
    return slot->file != nullptr ? slot : nullptr;
}

bool ddsOpenFileTableFull() { return openFiles.openCount >= MaxOpenFiles; }

int ddsAddOpenFile(FILE *file) {
    for (int handle = 0; handle < MaxOpenFiles; ++handle) {
        OpenFileSlot &slot = openFiles.slots[handle];
        if (slot.file == nullptr) {
            slot = OpenFileSlot{};
            slot.file = file;
            ++openFiles.openCount;
            return handle;
        }
    }
    return -1;
}

void ddsRemoveOpenFile(int handle) {
    OpenFileSlot &slot = openFiles.slots[handle];
    std::fclose(slot.file);
    slot.file = nullptr;
    --openFiles.openCount;
}

extern "C" int QVAPI ddsOpen(void *, void *, const char *path, const char *mode, int *handle) {
    if (ddsOpenFileTableFull()) return OpenFailed;
    if (mode == nullptr || mode[0] != 'r' || path == nullptr || handle == nullptr) return OpenFailed;

    // Read-only and binary whatever the rest of the mode says: the bytes
    // are read as stored, and the importer never writes.
    FILE *file = std::fopen(path, "rb");
    if (file == nullptr) return OpenFailed;
    // Unbuffered, so that every request reads the file as it is now: a
    // stream buffer would hand a later request the bytes an earlier one saw,
    // even after the file was rewritten.  Reads are whole headers and
    // chunks, so nothing is lost.
    std::setvbuf(file, nullptr, _IONBF, 0);

    char magic[DdsMagicBytes];
    if (std::fread(magic, 1, sizeof magic, file) != sizeof magic) {
        std::fclose(file);
        return OpenFailed;
    }
    if (std::memcmp(magic, DdsMagic, sizeof magic) != 0) {
        std::fclose(file);
        return NotDds;
    }
    *handle = ddsAddOpenFile(file);
    return Ok;
}

extern "C" int QVAPI ddsClose(void *, void *, int handle) {
    if (ddsFindOpenFile(handle) == nullptr) return ReadFailed;
    ddsRemoveOpenFile(handle);
    return Ok;
}
