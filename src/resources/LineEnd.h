// Where a line of a text of bytes ends: lines are separated by CR and LF. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// The first CR or LF at or after pos (size when there is none). high, when given, becomes the
// OR of the bytes before it. Eight bytes at a time: a configuration's lines are long.
inline size_t FindLineEnd(const char* bytes, size_t pos, size_t size, uint64_t* high = nullptr) {
    const uint64_t ones = 0x0101010101010101ull;
    const uint64_t tops = 0x8080808080808080ull;
    uint64_t seen = 0;
    for (; pos + 8 <= size; pos += 8) {
        uint64_t word;
        std::memcpy(&word, bytes + pos, 8);
        const uint64_t cr = word ^ (ones * '\r');
        const uint64_t lf = word ^ (ones * '\n');
        // Any byte flagged means a CR or LF in this word; the loop below finds the first.
        if ((((cr - ones) & ~cr) | ((lf - ones) & ~lf)) & tops) break;
        seen |= word;
    }
    for (; pos < size && bytes[pos] != '\r' && bytes[pos] != '\n'; ++pos) {
        seen |= static_cast<unsigned char>(bytes[pos]);
    }
    if (high != nullptr) *high = seen;
    return pos;
}
