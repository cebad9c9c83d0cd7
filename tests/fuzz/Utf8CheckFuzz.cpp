// UTF-8 test: well-formed UTF-8 with a multi-byte sequence is always recognised (else a UTF-8
// configuration would be read in the narrow code page), and pure ASCII never is. The test over
// bytes in pieces (cut where the input says) answers as the test over the whole.
#include <cstdlib>

#include "app/Utf8Check.h"
#include "app/Utf8Scan.h"

namespace {

// Sequences of one to four bytes, each lead byte followed by its continuation bytes.
bool IsWellFormed(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n;) {
        const uint8_t b = p[i];
        const size_t length = b < 0x80         ? 1
                              : (b >> 5) == 6  ? 2
                              : (b >> 4) == 14 ? 3
                              : (b >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || length > n - i) return false;
        for (size_t k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
        }
        i += length;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int result = IsUtf8Text(data, static_cast<int32_t>(size));
    bool ascii = true;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] >= 0x80) ascii = false;
    }
    if (result != 0 && result != 1) std::abort();
    if (ascii && result == 1) std::abort();
    if (!ascii && IsWellFormed(data, size) && result != 1) std::abort();
    Utf8Scan scan;
    const size_t piece = size > 0 ? 1 + data[0] % 11 : 1;
    for (size_t i = 0; i < size; i += piece)
        scan.Add(data + i, size - i < piece ? size - i : piece);
    if (scan.Ascii() != ascii || scan.WellFormedUtf8() != (result == 1)) std::abort();
    return 0;
}
