#include "app/TextConvert.h"

#include <windows.h>

#include <cstring>

namespace {

std::wstring Decode(UINT codePage, const char* bytes, size_t length) {
    if (length == 0) return {};
    const int n = ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
    std::wstring text(n > 0 ? n : 0, L'\0');
    if (n > 0) ::MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &text[0], n);
    return text;
}

std::string Encode(UINT codePage, const wchar_t* text, size_t length) {
    if (length == 0) return {};
    const int n = ::WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0,
                                        nullptr, nullptr);
    std::string bytes(n > 0 ? n : 0, '\0');
    if (n > 0) {
        ::WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), &bytes[0], n, nullptr,
                              nullptr);
    }
    return bytes;
}

}  // namespace

int Utf8ToText(const char* bytes, std::wstring* out) {
    if (bytes == nullptr || out == nullptr) return 0;
    const std::wstring wide = Decode(CP_UTF8, bytes, std::strlen(bytes));
    *out = NarrowToText(TextToNarrow(wide));
    return 1;
}

int TextToUtf8(const wchar_t* text, std::string* out) {
    if (text == nullptr || out == nullptr) return 0;
    *out = Encode(CP_UTF8, text, std::wcslen(text));
    return 1;
}

std::string TextToNarrow(const std::wstring& text) {
    return Encode(CP_ACP, text.c_str(), text.size());
}

std::wstring NarrowToText(const std::string& bytes) {
    return Decode(CP_ACP, bytes.data(), bytes.size());
}

std::string TextToUtf8Exact(const std::wstring& text) {
    return Encode(CP_UTF8, text.c_str(), text.size());
}

std::wstring Utf8ToTextExact(const std::string& bytes) {
    return Decode(CP_UTF8, bytes.data(), bytes.size());
}
