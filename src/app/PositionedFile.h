// Reads and writes at a given offset of a file, in as many calls as the size needs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Writes size bytes at offset of a file opened for writing; false when not all were written.
bool WriteFileAt(HANDLE file, uint64_t offset, const char* data, size_t size);
// Reads exactly size bytes at offset.
bool ReadFileAt(HANDLE file, uint64_t offset, char* data, size_t size);
