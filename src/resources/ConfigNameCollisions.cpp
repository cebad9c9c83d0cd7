#include "resources/ConfigNameCollisions.h"

#include <algorithm>

#include "resources/FileSystemCase.h"
#include "resources/ManifestText.h"

namespace {

bool IsReservedLauncherName(const std::wstring& key) {
    static const wchar_t* const kKept[] = {L"VERSION.TXT",
                                           L"VERSION.TXT.NEW",
                                           L"VERSION.STAMPS",
                                           L"VERSION.STAMPS.NEW",
                                           L"LAUNCHER.TMP",
                                           L"LAUNCHER_MANIFEST.TXT",
                                           L"RELEASE_SERIAL.TXT",
                                           L"RELEASE_SERIAL.TXT.NEW",
                                           L"LAUNCHER_FAILED.TXT",
                                           L"OMBRIXENTRANCE.JOURNAL",
                                           L"GAME"};
    for (const wchar_t* kept : kKept) {
        const std::wstring name = kept;
        if (key == name || key.compare(0, name.size() + 1, name + L"\\") == 0) return true;
    }
    return false;
}

}  // namespace

std::wstring FileSystemKey(const std::wstring& name) {
    // The system's table folds the ASCII letters as a-z to A-Z and leaves the rest of ASCII as
    // it is: ASCII names, nearly all of them, are folded here without a call for each.
    bool ascii = true;
    for (wchar_t c : name) ascii = ascii && c < 0x80;
    std::wstring key = ascii ? name : FileSystemUpperCase(name);
    for (wchar_t& c : key) {
        if (c == L'/') {
            c = L'\\';
        } else if (ascii && c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
    return key;
}

namespace {

// Whether file-system keys meet (see NamesMeetInOneFolder); sorts keys.
bool KeysMeet(std::vector<std::wstring>* keys) {
    std::sort(keys->begin(), keys->end());
    if (std::adjacent_find(keys->begin(), keys->end()) != keys->end()) return true;
    const auto has = [keys](const std::wstring& key) {
        return std::binary_search(keys->begin(), keys->end(), key);
    };
    for (const std::wstring& key : *keys) {
        if (has(key + L".T")) return true;
        // Every folder on the way to this file must not be a file (nor its temporary name).
        for (size_t slash = key.find(L'\\'); slash != std::wstring::npos;
             slash = key.find(L'\\', slash + 1)) {
            const std::wstring folder = key.substr(0, slash);
            if (has(folder)) return true;
            if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, L".T") == 0 &&
                has(folder.substr(0, folder.size() - 2))) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool NamesMeetInOneFolder(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> keys;
    keys.reserve(names.size());
    for (const std::wstring& name : names) keys.push_back(FileSystemKey(name));
    return KeysMeet(&keys);
}

bool HasCollidingNames(const ResoureConfigList& list) {
    // The keys alone, sorted, without a copy of the names.
    std::vector<std::wstring> resources;
    std::vector<std::wstring> launcher;
    for (const ResoureConfigInfo& info : list) {
        std::wstring key = FileSystemKey(info.name);
        if (IsLauncherCategory(info.category)) {
            if (IsReservedLauncherName(key)) return true;
            launcher.push_back(std::move(key));
        } else {
            resources.push_back(std::move(key));
        }
    }
    return KeysMeet(&resources) || KeysMeet(&launcher);
}
