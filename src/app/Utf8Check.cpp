#include "app/Utf8Check.h"

int IsUtf8Text(const unsigned char* bytes, int32_t length) {
    if (bytes == nullptr || length <= 0) return 0;
    int pending = 0;
    bool allAscii = true;
    for (int32_t i = 0; i < length; ++i) {
        const unsigned char b = bytes[i];
        if (b & 0x80) allAscii = false;
        if (pending > 0) {
            if ((b & 0xC0) != 0x80) return 0;
            --pending;
            continue;
        }
        if (b < 0x80) continue;
        if (b >= 0xFC && b <= 0xFD) {
            pending = 5;
        } else if (b >= 0xF8) {  // F8..FB, FE, FF
            pending = 4;
        } else if (b >= 0xF0) {
            pending = 3;
        } else if (b >= 0xE0) {
            pending = 2;
        } else if (b >= 0xC0) {
            pending = 1;
        } else {
            return 0;  // continuation byte without a lead byte
        }
    }
    return (pending == 0 && !allAscii) ? 1 : 0;
}
