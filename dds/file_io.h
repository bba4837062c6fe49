// Positioned reads from a stdio stream, with 64-bit offsets on every
// platform (a 32-bit long cannot address a file past 2 GiB).
#ifndef DDS_FILE_IO_H
#define DDS_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

bool ddsSeek(FILE *file, uint64_t offset);

// Reads exactly `size` bytes at the current position; a short read fails.
bool ddsReadExactly(FILE *file, void *buffer, size_t size);

// Seeks to `offset` and reads exactly `size` bytes.
bool ddsReadAt(FILE *file, uint64_t offset, void *buffer, size_t size);

// The stream's length in bytes.  Leaves the position unspecified.
bool ddsFileLength(FILE *file, uint64_t *length);

#endif
