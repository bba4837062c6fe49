// Little-endian loads from byte buffers; file data is only ever read
// through these.
#ifndef DDS_BYTES_H
#define DDS_BYTES_H

#include <cstdint>

inline uint32_t ddsLoad16(const uint8_t *p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t ddsLoad24(const uint8_t *p) {
    return ddsLoad16(p) | static_cast<uint32_t>(p[2]) << 16;
}

inline uint32_t ddsLoad32(const uint8_t *p) {
    return ddsLoad24(p) | static_cast<uint32_t>(p[3]) << 24;
}

inline uint64_t ddsLoad64(const uint8_t *p) {
    return static_cast<uint64_t>(ddsLoad32(p)) | static_cast<uint64_t>(ddsLoad32(p + 4)) << 32;
}

#endif
