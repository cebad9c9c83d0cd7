#include "resources/FileSystemCase.h"

#include <windows.h>

std::wstring FileSystemUpperCase(const std::wstring& text) {
    if (text.empty()) return text;
    // The invariant locale without linguistic casing is the system's upper-case table, the one
    // the file system and the ordinal case-insensitive comparison use.
    std::wstring upper(text.size(), L'\0');
    const int size = static_cast<int>(text.size());
    const int n = ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, text.data(), size,
                                  &upper[0], size, nullptr, nullptr, 0);
    return n == size ? upper : text;
}
