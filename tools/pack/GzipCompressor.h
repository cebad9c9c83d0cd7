// Compresses one input file as a gzip stream onto the end of an open output file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct CompressedFile {
    int64_t length = 0;  // bytes of gzip data written
    std::string md5;     // 16 bytes of the input's digest
    int64_t inputSize = 0;
};

// Reads path, writes its gzip form at the current position of out. False with a message when
// the input cannot be read or the output cannot be written.
bool CompressFileTo(const std::wstring& path, HANDLE out, CompressedFile* result,
                    std::wstring* error);
