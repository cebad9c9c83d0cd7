// Reads, hashes and gzip-compresses input files. One compressor keeps its buffers, its deflate
// state and its digest state from file to file; each worker thread owns one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/Crypto.h"

struct FileDigest {
    int64_t size = 0;
    std::string md5;  // 16 bytes
};

class GzipCompressor {
  public:
    // Files up to this size are read whole and compressed in memory; larger ones are streamed.
    static const size_t kWholeFileLimit = 8u << 20;

    GzipCompressor();
    ~GzipCompressor();
    GzipCompressor(const GzipCompressor&) = delete;
    GzipCompressor& operator=(const GzipCompressor&) = delete;

    // Reads the file at path for its size and digest. *whole tells whether its bytes stayed in
    // memory for CompressLoaded. False with a message when it cannot be read.
    bool Load(const std::wstring& path, FileDigest* digest, bool* whole, std::wstring* error);
    // The gzip form of the bytes of the last Load that kept them whole.
    bool CompressLoaded(std::string* gz, std::wstring* error);
    // Reads path again and writes its gzip form at the current position of out.
    bool CompressFileTo(const std::wstring& path, HANDLE out, FileDigest* digest, int64_t* length,
                        std::wstring* error);

  private:
    bool Start(std::wstring* error);

    void* stream_;  // z_stream, kept between files and reset for each
    bool ok_ = false;
    std::vector<unsigned char> input_;
    std::vector<unsigned char> output_;
    size_t loaded_ = 0;
    Md5Hasher md5_;  // the platform's MD5, one hash object reused for every file
};
