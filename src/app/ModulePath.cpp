#include "app/ModulePath.h"

#include <windows.h>

std::wstring GetModulePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    return std::wstring(path, n);
}

std::wstring GetModuleDirectory() {
    const std::wstring path = GetModulePath();
    const size_t pos = path.rfind(L'\\');
    if (pos == std::wstring::npos) return {};
    return path.substr(0, pos + 1);
}
