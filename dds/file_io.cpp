#include "file_io.h"

#include <cstdint>
#include <limits>

bool ddsSeek(FILE *file, uint64_t offset) {
#if defined(_WIN32)
    if (offset > static_cast<uint64_t>(std::numeric_limits<long long>::max())) return false;
    return _fseeki64(file, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

bool ddsReadExactly(FILE *file, void *buffer, size_t size) {
    return std::fread(buffer, 1, size, file) == size;
}

bool ddsReadAt(FILE *file, uint64_t offset, void *buffer, size_t size) {
    return ddsSeek(file, offset) && ddsReadExactly(file, buffer, size);
}

bool ddsFileLength(FILE *file, uint64_t *length) {
#if defined(_WIN32)
    if (_fseeki64(file, 0, SEEK_END) != 0) return false;
    long long end = _ftelli64(file);
#else
    if (fseeko(file, 0, SEEK_END) != 0) return false;
    off_t end = ftello(file);
#endif
    if (end < 0) return false;
    *length = static_cast<uint64_t>(end);
    return true;
}
