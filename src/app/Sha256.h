// SHA-256 from the platform's CNG provider.
#pragma once

#include <cstddef>
#include <string>

// Incremental SHA-256 for data that arrives in pieces.
class Sha256Hasher {
  public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher&) = delete;
    Sha256Hasher& operator=(const Sha256Hasher&) = delete;
    // Starts a new digest (the earlier one is dropped).
    void Reset();
    bool Update(const void* data, size_t length);
    std::string Finish();  // 32 bytes, empty on failure

  private:
    struct Impl;
    Impl* impl_;
};

// SHA-256 (32 bytes) of the bytes; empty when the provider is unavailable.
std::string Sha256Digest(const void* data, size_t length);
inline std::string Sha256Digest(const std::string& bytes) {
    return Sha256Digest(bytes.data(), bytes.size());
}
