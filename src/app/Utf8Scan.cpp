#include "app/Utf8Scan.h"

#include <cstdint>
#include <cstring>

void Utf8Scan::Add(const unsigned char* bytes, size_t size) {
    size_t i = 0;
    while (i < size && !broken_) {
        if (pending_ == 0) {
            // Runs of ASCII eight bytes at a time: a configuration of many megabytes passes here.
            for (; i + 8 <= size; i += 8) {
                uint64_t word;
                std::memcpy(&word, bytes + i, 8);
                if (word & 0x8080808080808080ull) break;
            }
            if (i == size) break;
        }
        const unsigned char b = bytes[i++];
        if (b & 0x80) high_ = true;
        if (pending_ > 0) {
            if ((b & 0xC0) != 0x80) broken_ = true;
            --pending_;
            continue;
        }
        if (b < 0x80) continue;
        // Lenient: overlong and five- or six-byte forms are accepted, as the manifests always were.
        if (b >= 0xFC && b <= 0xFD) {
            pending_ = 5;
        } else if (b >= 0xF8) {
            pending_ = 4;
        } else if (b >= 0xF0) {
            pending_ = 3;
        } else if (b >= 0xE0) {
            pending_ = 2;
        } else if (b >= 0xC0) {
            pending_ = 1;
        } else {
            broken_ = true;  // continuation byte without a lead byte
        }
    }
}
