// Digests and encodings from the platform's crypto API.
#pragma once

#include <string>

// MD5 digest (16 bytes) of the bytes; empty when the crypto provider is unavailable.
std::string Md5Digest(const std::string& bytes);

// Incremental MD5 for data that arrives in pieces (files read in blocks).
class Md5Hasher {
  public:
    Md5Hasher();
    ~Md5Hasher();
    Md5Hasher(const Md5Hasher&) = delete;
    Md5Hasher& operator=(const Md5Hasher&) = delete;
    // Starts a new digest (the earlier one is dropped).
    void Reset();
    bool Update(const void* data, size_t length);
    std::string Finish();  // 16 bytes, empty on failure

  private:
    struct Impl;
    Impl* impl_;
};

// Base64 of the bytes, one line, no line breaks.
std::string Base64Encode(const std::string& bytes);
