#include "file_source.h"

#include <atomic>
#include <cerrno>
#include <limits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

#if defined(_WIN32)
HANDLE handleOf(const PluginFile &file) { return reinterpret_cast<HANDLE>(file.handle); }
#endif

// The system read every file read goes through: ddsSystemRead, or the one
// a test put in its place.
std::atomic<DdsSystemRead> systemRead{ddsSystemRead};

// Reads until every byte arrived: a short read goes on where it stopped,
// and a read that a signal interrupted is made again; a read that returns
// nothing (the end of the file) or fails ends it.
bool readAt(const DdsSource &source, uint64_t offset, void *buffer, size_t size) {
    const PluginFile &file = *static_cast<const PluginFile *>(source.context);
    const DdsSystemRead read = systemRead.load(std::memory_order_relaxed);
    auto *bytes = static_cast<uint8_t *>(buffer);
    while (size > 0) {
        const int64_t got = read(file, offset, bytes, size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        offset += static_cast<uint64_t>(got);
        size -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace

int64_t ddsSystemRead(const PluginFile &file, uint64_t offset, void *buffer, size_t size) {
#if defined(_WIN32)
    // ReadFile at an explicit offset (the OVERLAPPED record carries it on a
    // handle opened without FILE_FLAG_OVERLAPPED), 1 GiB at most at a time.
    const DWORD request = static_cast<DWORD>(size < (1u << 30) ? size : (1u << 30));
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    if (!ReadFile(handleOf(file), buffer, request, &got, &at)) {
        errno = EIO;
        return -1;
    }
    return got;
#else
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        errno = EOVERFLOW;
        return -1;
    }
    return pread(static_cast<int>(file.handle), buffer, size, static_cast<off_t>(offset));
#endif
}

void ddsSetSystemReadForTesting(DdsSystemRead read) {
    systemRead.store(read != nullptr ? read : ddsSystemRead, std::memory_order_relaxed);
}

bool ddsOpenFile(const char *path, PluginFile *file) {
#if defined(_WIN32)
    // Others may read, write and delete the file while it is open, as with
    // the C library's fopen: a file rewritten between two requests is read
    // as it is now.
    const HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    file->handle = reinterpret_cast<intptr_t>(handle);
#else
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    file->handle = fd;
#endif
    return true;
}

void ddsCloseFile(PluginFile *file) {
#if defined(_WIN32)
    CloseHandle(handleOf(*file));
#else
    close(static_cast<int>(file->handle));
#endif
    file->handle = -1;
}

bool ddsFileSource(const PluginFile *file, DdsSource *source) {
#if defined(_WIN32)
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handleOf(*file), &size) || size.QuadPart < 0) return false;
    const uint64_t length = static_cast<uint64_t>(size.QuadPart);
#else
    struct stat status;
    if (fstat(static_cast<int>(file->handle), &status) != 0 || status.st_size < 0) return false;
    const uint64_t length = static_cast<uint64_t>(status.st_size);
#endif
    *source = DdsSource{file, length, readAt};
    return true;
}
