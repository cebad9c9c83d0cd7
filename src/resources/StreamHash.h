// A 64-bit hash of a byte stream (FNV-1a) that is the same however the stream is cut into pieces:
// a list hashed as it is read whole and one hashed slice by slice as it is written compare
// equal. It tells whether a list about to be written is the one written or read before; it is
// not meant to resist a chosen collision. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class StreamHash {
  public:
    void Add(const char* bytes, size_t size) {
        uint64_t value = value_;
        for (size_t i = 0; i < size; ++i) {
            value = (value ^ static_cast<unsigned char>(bytes[i])) * 0x100000001B3ULL;
        }
        value_ = value;
    }
    void Add(const std::string& bytes) { Add(bytes.data(), bytes.size()); }
    uint64_t Value() const { return value_; }

  private:
    uint64_t value_ = 0xCBF29CE484222325ULL;
};
