#include "ConfigLine.h"

#include <string>

#include "app/TextFormat.h"
#include "resources/ManifestText.h"

void AppendDecimal(uint64_t value, std::wstring* text) {
    wchar_t digits[24];
    size_t n = 0;
    do {
        digits[n++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (n > 0) text->push_back(digits[--n]);
}

std::wstring FormatConfigLine(const std::wstring& name, const PackedEntry& entry,
                              bool launcherFile) {
    const std::string md5 = BytesToHex(entry.md5);
    std::wstring line;
    line.reserve(name.size() + 80);
    line += name;
    line += L'=';
    line.append(md5.begin(), md5.end());
    line += L'=';
    line += entry.packageDir;
    line += L'=';
    AppendDecimal(static_cast<uint64_t>(entry.offset), &line);
    line += L'=';
    AppendDecimal(static_cast<uint64_t>(entry.length), &line);
    line += launcherFile ? L"=launcher=" : L"=game=";
    const std::string sha = BytesToHex(entry.sha256);
    line.append(sha.begin(), sha.end());
    line += L"\r\n";
    return line;
}

std::wstring FormatConfigLine(const ResoureConfigInfo& info) {
    std::wstring line = info.name + L"=" + info.md5 + L"=" + info.packageDir + L"=";
    AppendDecimal(static_cast<uint64_t>(info.offset), &line);
    line += L'=';
    AppendDecimal(static_cast<uint64_t>(info.length), &line);
    line += IsLauncherCategory(info.category) ? L"=launcher=" : L"=game=";
    line += info.sha256 + L"\r\n";
    return line;
}
