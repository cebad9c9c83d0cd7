#include "resources/ConfigNameCollisions.h"

#include <set>

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
    std::wstring key = FileSystemUpperCase(name);
    for (wchar_t& c : key) {
        if (c == L'/') c = L'\\';
    }
    return key;
}

bool NamesMeetInOneFolder(const std::vector<std::wstring>& names) {
    std::set<std::wstring> keys;
    for (const std::wstring& name : names) {
        if (!keys.insert(FileSystemKey(name)).second) return true;
    }
    for (const std::wstring& key : keys) {
        if (keys.count(key + L".T") != 0) return true;
        // Every folder on the way to this file must not be a file (nor its temporary name).
        for (size_t slash = key.find(L'\\'); slash != std::wstring::npos;
             slash = key.find(L'\\', slash + 1)) {
            const std::wstring folder = key.substr(0, slash);
            if (keys.count(folder) != 0) return true;
            if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, L".T") == 0 &&
                keys.count(folder.substr(0, folder.size() - 2)) != 0) {
                return true;
            }
        }
    }
    return false;
}

bool HasCollidingNames(const ResoureConfigList& list) {
    std::vector<std::wstring> resources;
    std::vector<std::wstring> launcher;
    for (const ResoureConfigInfo& info : list) {
        if (IsLauncherCategory(info.category)) {
            if (IsReservedLauncherName(FileSystemKey(info.name))) return true;
            launcher.push_back(info.name);
        } else {
            resources.push_back(info.name);
        }
    }
    return NamesMeetInOneFolder(resources) || NamesMeetInOneFolder(launcher);
}
