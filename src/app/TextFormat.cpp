#include "app/TextFormat.h"

#include <cstdio>
#include <cwchar>

namespace {

bool IsWhiteSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

}  // namespace

std::wstring TrimWhiteSpace(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsWhiteSpace(text[begin])) ++begin;
    while (end > begin && IsWhiteSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int SplitTokens(const std::wstring& text, const std::wstring& delimiters,
                std::vector<std::wstring>* out) {
    if (out == nullptr || delimiters.empty()) return 0;
    size_t pos = 0;
    for (;;) {
        pos = text.find_first_not_of(delimiters, pos);
        if (pos == std::wstring::npos) break;
        size_t end = text.find_first_of(delimiters, pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring token = TrimWhiteSpace(text.substr(pos, end - pos));
        pos = end < text.size() ? end + 1 : end;
        if (token.empty()) break;
        out->push_back(std::move(token));
    }
    return 1;
}

std::wstring IntToString(int32_t value) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%d", value);
    return buf;
}

std::string BytesToHex(const std::string& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 0x0F]);
    }
    return hex;
}

std::wstring FormatByteSize(int64_t bytes) {
    wchar_t buf[64];
    if (bytes < 1024) return L"1 KB";
    if (bytes < 1048576) {
        std::swprintf(buf, 64, L"%lluKB", static_cast<unsigned long long>(bytes / 1024 + 1));
    } else if (bytes < 1073741824) {
        std::swprintf(buf, 64, L"%.2fMB", static_cast<double>(bytes) / 1048576.0);
    } else {
        std::swprintf(buf, 64, L"%.2fG", static_cast<double>(bytes) / 1073741824.0);
    }
    return buf;
}

std::wstring FormatDuration(int32_t seconds) {
    wchar_t buf[64];
    if (seconds < 60) {
        std::swprintf(buf, 64, L"%d\u79D2", seconds);
    } else if (seconds < 3600) {
        std::swprintf(buf, 64, L"%d\u5206%d\u79D2", seconds / 60, seconds % 60);
    } else {
        std::swprintf(buf, 64, L"%.2f\u5C0F\u65F6", seconds / 3600.0);
    }
    return buf;
}
