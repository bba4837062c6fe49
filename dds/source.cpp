#include "source.h"

#include <cstring>

namespace {

bool readMemory(const DdsSource &source, uint64_t offset, void *buffer, size_t size) {
    if (offset > source.length || size > source.length - offset) return false;
    if (size != 0) std::memcpy(buffer, static_cast<const uint8_t *>(source.context) + offset, size);
    return true;
}

}  // namespace

DdsSource ddsMemorySource(const uint8_t *bytes, size_t size) { return DdsSource{bytes, size, readMemory}; }
