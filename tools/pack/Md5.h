// MD5 of data that arrives in pieces, computed in the program itself: one object is reset and
// reused for every file, and any number of threads can hash at once without a system provider.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
  public:
    Md5() { Reset(); }
    void Reset();
    void Update(const void* data, size_t length);
    std::string Finish();  // the 16-byte digest; Reset before the next use

  private:
    void Block(const unsigned char* block);

    uint32_t state_[4];
    uint64_t total_ = 0;
    unsigned char buffer_[64];
    size_t buffered_ = 0;
};
