#include "resources/ConfigNameCollisions.h"

#include <set>
#include <utility>

#include "resources/ManifestText.h"

namespace {

wchar_t FoldCase(wchar_t c) {
    if (c == L'/') return L'\\';
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
    if ((c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) ||  // Latin-1
        (c >= 0x03B1 && c <= 0x03CB && c != 0x03C2) ||  // Greek
        (c >= 0x0430 && c <= 0x044F) ||                 // Cyrillic
        (c >= 0xFF41 && c <= 0xFF5A)) {                 // full-width Latin
        return static_cast<wchar_t>(c - 0x20);
    }
    if (c >= 0x0450 && c <= 0x045F) return static_cast<wchar_t>(c - 0x50);  // Cyrillic Ѐ..Џ
    return c;
}

bool IsReservedLauncherName(const std::wstring& key) {
    static const wchar_t* const kKept[] = {
        L"VERSION.TXT", L"VERSION.TXT.NEW",    L"LAUNCHER.TMP",          L"LAUNCHER_MANIFEST.TXT",
        L"GAME",        L"RELEASE_SERIAL.TXT", L"RELEASE_SERIAL.TXT.NEW"};
    for (const wchar_t* kept : kKept) {
        if (key == kept) return true;
    }
    return key.compare(0, 5, L"GAME\\") == 0;
}

}  // namespace

std::wstring FileSystemKey(const std::wstring& name) {
    std::wstring key = name;
    for (wchar_t& c : key) c = FoldCase(c);
    return key;
}

bool HasCollidingNames(const ResoureConfigList& list) {
    std::set<std::pair<bool, std::wstring>> keys;
    for (const ResoureConfigInfo& info : list) {
        const bool launcher = IsLauncherCategory(info.category);
        const std::wstring key = FileSystemKey(info.name);
        if (launcher && IsReservedLauncherName(key)) return true;
        if (!keys.insert({launcher, key}).second) return true;
    }
    for (const auto& key : keys) {
        if (keys.count({key.first, key.second + L".T"}) != 0) return true;
    }
    return false;
}
