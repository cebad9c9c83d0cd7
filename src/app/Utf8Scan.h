// The UTF-8 test of IsUtf8Text (which runs it over one piece), for bytes that arrive in pieces,
// with the ASCII case told apart.
// No Windows header.
#pragma once

#include <cstddef>

class Utf8Scan {
  public:
    // The next bytes; a piece may end inside a multi-byte sequence.
    void Add(const unsigned char* bytes, size_t size);
    // No byte of 0x80 or above so far.
    bool Ascii() const { return !high_; }
    // What IsUtf8Text says of all the bytes so far: well-formed, with a multi-byte sequence.
    bool WellFormedUtf8() const { return high_ && !broken_ && pending_ == 0; }

  private:
    int pending_ = 0;  // continuation bytes still owed to the last lead byte
    bool high_ = false;
    bool broken_ = false;
};
