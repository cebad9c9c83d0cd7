// A 64-bit hash (FNV-1a) of a stream of bytes or of UTF-16 code units, the same however the
// stream is cut into pieces: a list hashed as it is read whole and one hashed slice by slice as
// it is written compare equal, and the hashes of a name's prefixes come one unit at a time. It
// tells texts apart for lookups and for "written before"; it is not meant to resist a chosen
// collision. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class StreamHash {
  public:
    static constexpr uint64_t kStart = 0xCBF29CE484222325ULL;
    // The hash of a stream one byte or code unit (taken whole) longer.
    static uint64_t Step(uint64_t hash, uint16_t unit) { return (hash ^ unit) * 0x100000001B3ULL; }

    void Add(const char* bytes, size_t size) {
        uint64_t value = value_;
        for (size_t i = 0; i < size; ++i) value = Step(value, static_cast<unsigned char>(bytes[i]));
        value_ = value;
    }
    void Add(const std::string& bytes) { Add(bytes.data(), bytes.size()); }
    void Add(const wchar_t* units, size_t count) {
        uint64_t value = value_;
        for (size_t i = 0; i < count; ++i) value = Step(value, static_cast<uint16_t>(units[i]));
        value_ = value;
    }
    uint64_t Value() const { return value_; }

  private:
    uint64_t value_ = kStart;
};
