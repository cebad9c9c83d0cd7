#include "ConfigLine.h"

#include <string>

#include "app/TextFormat.h"

std::wstring FormatConfigLine(const std::wstring& name, const PackedEntry& entry,
                              bool launcherFile) {
    const std::string md5 = BytesToHex(entry.md5);
    std::wstring line = name + L"=" + std::wstring(md5.begin(), md5.end()) + L"=" +
                        entry.packageDir + L"=" + std::to_wstring(entry.offset) + L"=" +
                        std::to_wstring(entry.length);
    if (launcherFile) line += L"=launcher";
    return line + L"\r\n";
}
