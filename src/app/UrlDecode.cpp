#include "app/UrlDecode.h"

namespace {

// Value of one escape digit: 0-9, then A-Z / a-z as 10 to 35; -1 for anything else.
int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string UrlDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
            continue;
        }
        if (c == '%' && i + 2 < text.size()) {
            const int high = DigitValue(text[i + 1]);
            const int low = DigitValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>((high * 16 + low) % 256));
                i += 2;
                continue;
            }
        }
        out.push_back(c);
    }
    return out;
}
