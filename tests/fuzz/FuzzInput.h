// Turning a fuzzer's bytes into the parsers' inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The bytes as wide text of 16-bit units, as on Windows: UTF-8 sequences of up to three bytes
// give their unit (so the seeds stay readable), any other byte gives the unit of its value.
inline std::wstring WideText(const std::string& bytes) {
    std::wstring text;
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        const size_t length = b >= 0xE0 && b < 0xF0 ? 3 : b >= 0xC0 && b < 0xE0 ? 2 : 1;
        unsigned value = length == 3 ? (b & 0x0Fu) : length == 2 ? (b & 0x1Fu) : b;
        size_t k = 1;
        for (; k < length && i + k < bytes.size(); ++k) {
            const unsigned char c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) break;
            value = (value << 6) | (c & 0x3Fu);
        }
        if (k != length) value = b;  // broken sequence: its lead byte alone
        text.push_back(static_cast<wchar_t>(value));
        i += k == length ? length : 1;
    }
    return text;
}

// The bytes split at zero bytes into exactly count parts (missing parts are empty; zero bytes
// after the last separator belong to the last part).
inline std::vector<std::string> SplitParts(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> parts(count);
    size_t part = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && part + 1 < count) {
            ++part;
        } else {
            parts[part].push_back(static_cast<char>(data[i]));
        }
    }
    return parts;
}
