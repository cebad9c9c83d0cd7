// The text conversions off Windows, for the fuzz targets only: UTF-8 is decoded to 16-bit units
// (a broken sequence gives U+FFFD), and the narrow code page is taken as one unit per byte, so
// the pass through it turns every unit above 0xFF into "?" as the system's replacement does.
#include "app/TextConvert.h"

#include <cstring>

namespace {

std::wstring DecodeUtf8(const char* bytes, size_t size) {
    std::wstring text;
    for (size_t i = 0; i < size;) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        const size_t length = b < 0x80         ? 1
                              : (b >> 5) == 6  ? 2
                              : (b >> 4) == 14 ? 3
                              : (b >> 3) == 30 ? 4
                                               : 0;
        unsigned value = length == 1 ? b : b & (0x7Fu >> length);
        size_t k = 1;
        for (; k < length && i + k < size && (bytes[i + k] & 0xC0) == 0x80; ++k) {
            value = (value << 6) | (bytes[i + k] & 0x3Fu);
        }
        if (length == 0 || k != length) {
            text.push_back(L'\uFFFD');
            i += length == 0 ? 1 : k;
            continue;
        }
        // An overlong form (C0 8D for CR) is refused as Windows refuses it.
        static const unsigned kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (value < kLeast[length]) {
            text.push_back(L'\uFFFD');
            i += length;
            continue;
        }
        if (value > 0xFFFF) {  // a surrogate pair, as UTF-16 holds it
            value -= 0x10000;
            text.push_back(static_cast<wchar_t>(0xD800 + (value >> 10)));
            value = 0xDC00 + (value & 0x3FF);
        }
        text.push_back(static_cast<wchar_t>(value));
        i += length;
    }
    return text;
}

}  // namespace

int Utf8ToText(const char* bytes, std::wstring* out) {
    if (bytes == nullptr || out == nullptr) return 0;
    *out = NarrowToText(TextToNarrow(DecodeUtf8(bytes, std::strlen(bytes))));
    return 1;
}

std::string TextToNarrow(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes.push_back(c <= 0xFF ? static_cast<char>(c) : '?');
    return bytes;
}

std::wstring NarrowToText(const std::string& bytes) {
    std::wstring text;
    for (char c : bytes) text.push_back(static_cast<unsigned char>(c));
    return text;
}

std::wstring Utf8ToTextExact(const std::string& bytes) {
    return DecodeUtf8(bytes.data(), bytes.size());
}

std::string TextToUtf8Exact(const std::wstring& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned value = static_cast<unsigned>(text[i]) & 0xFFFF;
        if (value >= 0xD800 && value < 0xDC00 && i + 1 < text.size()) {
            value = 0x10000 + ((value - 0xD800) << 10) + ((text[++i] & 0xFFFF) - 0xDC00);
        }
        if (value < 0x80) {
            bytes.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (value >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            bytes.push_back(static_cast<char>(0xE0 | (value >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xF0 | (value >> 18)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return bytes;
}

int TextToUtf8(const wchar_t* text, std::string* out) {
    if (text == nullptr || out == nullptr) return 0;
    // A surrogate without its other half becomes U+FFFD, as Windows converts it.
    std::wstring units(text);
    for (size_t i = 0; i < units.size(); ++i) {
        const unsigned unit = static_cast<unsigned>(units[i]) & 0xFFFF;
        const unsigned next =
            i + 1 < units.size() ? static_cast<unsigned>(units[i + 1]) & 0xFFFF : 0;
        if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000) {
            ++i;
        } else if (unit >= 0xD800 && unit < 0xE000) {
            units[i] = L'\uFFFD';
        }
    }
    *out = TextToUtf8Exact(units);
    return 1;
}
