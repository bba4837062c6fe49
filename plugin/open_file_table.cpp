#include "open_file_table.h"

#include <cstring>
#include <mutex>

#include "header.h"
#include "importer.h"

namespace {

// The slots are the one record of which files are open.  A host may open,
// query, read and close different handles on different threads at once:
// the lock keeps the slots whole; requests on one handle are the host's to
// serialise.
OpenFileSlot openFiles[MaxOpenFiles];
std::mutex openFilesLock;

bool startsWithMagic(const PluginFile &file, bool *readable) {
    DdsSource source;
    uint8_t magic[DdsMagicBytes];
    *readable = ddsFileSource(&file, &source) && ddsRead(source, 0, magic, sizeof magic);
    return *readable && std::memcmp(magic, DdsMagic, sizeof magic) == 0;
}

bool tableFull() {
    std::lock_guard<std::mutex> lock(openFilesLock);
    for (const OpenFileSlot &slot : openFiles) {
        if (!slot.open) return false;
    }
    return true;
}

}  // namespace

OpenFileSlot *ddsFindOpenFile(int handle) {
    if (handle < 0 || handle >= MaxOpenFiles) return nullptr;
    std::lock_guard<std::mutex> lock(openFilesLock);
    OpenFileSlot *slot = &openFiles[handle];
    return slot->open ? slot : nullptr;
}

int ddsAddOpenFile(const PluginFile &file) {
    std::lock_guard<std::mutex> lock(openFilesLock);
    for (int handle = 0; handle < MaxOpenFiles; ++handle) {
        OpenFileSlot &slot = openFiles[handle];
        if (!slot.open) {
            slot = OpenFileSlot{};
            slot.open = 1;
            slot.file = file;
            return handle;
        }
    }
    return -1;
}

bool ddsRemoveOpenFile(int handle) {
    if (handle < 0 || handle >= MaxOpenFiles) return false;
    PluginFile file;
    {
        std::lock_guard<std::mutex> lock(openFilesLock);
        OpenFileSlot &slot = openFiles[handle];
        if (!slot.open) return false;
        file = slot.file;
        slot.open = 0;
    }
    ddsCloseFile(&file);
    return true;
}

namespace {

ImportStatus openFile(const char *path, const char *mode, int *handle) {
    using S = ImportStatus;
    if (mode == nullptr || mode[0] != 'r' || path == nullptr || handle == nullptr) return S::OpenFailed;
    // A free slot first, so that nothing is opened when none is left.
    if (tableFull()) return S::OpenFailed;

    // Read-only whatever the rest of the mode says: the bytes are read as
    // stored, and the importer never writes.
    PluginFile file;
    if (!ddsOpenFile(path, &file)) return S::OpenFailed;
    bool readable = false;
    bool dds = false;
    int slot = -1;
    try {
        dds = startsWithMagic(file, &readable);
        if (dds) slot = ddsAddOpenFile(file);
    } catch (...) {
        ddsCloseFile(&file);
        throw;
    }
    if (slot < 0) {
        ddsCloseFile(&file);
        return dds || !readable ? S::OpenFailed : S::NotDds;
    }
    *handle = slot;
    return S::Ok;
}

}  // namespace

extern "C" int QVAPI ddsOpen(void *, void *, const char *path, const char *mode, int *handle) {
    return ddsCallback([&] { return openFile(path, mode, handle); });
}

extern "C" int QVAPI ddsClose(void *, void *, int handle) {
    return ddsCallback([&] { return ddsRemoveOpenFile(handle) ? ImportStatus::Ok : ImportStatus::ReadFailed; });
}
