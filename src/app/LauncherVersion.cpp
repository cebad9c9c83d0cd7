#include "app/LauncherVersion.h"

#include <cstdio>

#include "app/FileServices.h"
#include "app/ModulePath.h"

std::wstring GetVersionTextOf(const std::wstring& path) {
    uint32_t major = 0, minor = 0, build = 0, revision = 0;
    GetFileVersion(path, &major, &minor, &build, &revision);
    wchar_t text[64];
    std::swprintf(text, 64, L"%d.%d.%d.%d", static_cast<int>(major), static_cast<int>(minor),
                  static_cast<int>(build), static_cast<int>(revision));
    return text;
}

std::wstring GetLauncherVersionText() {
    return GetVersionTextOf(GetModulePath());
}
