// The plug-in's file reads over memory, for the fuzzer: the one file the
// fuzzer names is the bytes it last stored, read at offsets as the plug-in
// reads files, so that a file rewritten between two requests is seen as it
// is now.  Any other path cannot be opened.

#include "memory_files.h"

#include <cstring>

#include "file_source.h"

namespace {

std::vector<uint8_t> memoryFile;

bool readMemory(const DdsSource &source, uint64_t offset, void *buffer, size_t size) {
    // The length is the file's now, not the source's: a file cut short
    // after the source was made fails its reads, as a real file does.
    const uint64_t length = memoryFile.size();
    (void)source;
    if (offset > length || size > length - offset) return false;
    if (size != 0) std::memcpy(buffer, memoryFile.data() + offset, size);
    return true;
}

}  // namespace

void fuzzStoreFile(const uint8_t *data, size_t size) { memoryFile.assign(data, data + size); }

bool ddsOpenFile(const char *path, PluginFile *file) {
    if (std::strcmp(path, FuzzFilePath) != 0) return false;
    file->handle = 1;
    return true;
}

void ddsCloseFile(PluginFile *file) { file->handle = -1; }

bool ddsFileSource(const PluginFile *file, DdsSource *source) {
    *source = DdsSource{file, memoryFile.size(), readMemory};
    return true;
}
