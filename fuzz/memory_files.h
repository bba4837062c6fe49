// The fuzzer's file: bytes in memory behind the path FuzzFilePath.
#ifndef FUZZ_MEMORY_FILES_H
#define FUZZ_MEMORY_FILES_H

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr char FuzzFilePath[] = "fuzz-input.dds";

// Replaces the file's bytes.
void fuzzStoreFile(const uint8_t *data, size_t size);

#endif
