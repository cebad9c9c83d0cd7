#include "SourceTree.h"

#include <windows.h>

std::wstring FullDirectoryPath(const std::wstring& path) {
    wchar_t buffer[4096];
    const DWORD n = ::GetFullPathNameW(path.c_str(), 4096, buffer, nullptr);
    if (n == 0 || n >= 4096) return std::wstring();
    std::wstring full(buffer, n);
    if (full.back() != L'\\') full.push_back(L'\\');
    return full;
}

bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer) {
    if (inner.size() < outer.size()) return false;
    return ::CompareStringOrdinal(inner.c_str(), static_cast<int>(outer.size()), outer.c_str(),
                                  static_cast<int>(outer.size()), TRUE) == CSTR_EQUAL;
}
