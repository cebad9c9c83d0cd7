#include "PruneTree.h"

#include <windows.h>

#include <set>

namespace {

int64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return static_cast<int64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool DeleteTracked(const std::wstring& root, const std::wstring& relative, PruneResult* result,
                   std::wstring* error) {
    const std::wstring path = root + relative;
    const int64_t size = SizeOf(path);
    if (!::DeleteFileW(path.c_str()) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
        *error = path + L": cannot delete";
        return false;
    }
    result->deleted.push_back(relative);
    result->freedBytes += size;
    return true;
}

}  // namespace

bool PruneTree(CdnTree* tree, size_t keep, PruneResult* result, std::wstring* error) {
    std::set<std::wstring> dropped;
    const size_t count = tree->releases.size();
    for (size_t i = 0; i + keep < count; ++i) dropped.insert(tree->releases[i].name);

    std::set<std::wstring> kept;  // package folders a kept configuration names
    for (const auto& config : tree->configs) {
        if (dropped.count(config.first)) continue;
        for (const ResoureConfigInfo& line : config.second) kept.insert(line.packageDir);
    }

    // Configurations first: at no moment does a configuration name a deleted package.
    for (const std::wstring& release : dropped) {
        if (!DeleteTracked(tree->root, L"config\\" + release + L".txt", result, error))
            return false;
        tree->configs.erase(release);
    }
    std::vector<TreeRelease> remaining;
    for (const TreeRelease& release : tree->releases) {
        if (!dropped.count(release.name)) remaining.push_back(release);
    }
    tree->releases = remaining;
    if (!dropped.empty() &&
        !WriteReleaseRecord(tree->root, tree->lastPackage, tree->releases, error))
        return false;

    for (auto it = tree->packages.begin(); it != tree->packages.end();) {
        const TreePackage& package = it->second;
        if (kept.count(package.dir)) {
            ++it;
            continue;
        }
        const std::wstring folder = L"pkg\\" + package.dir.substr(4) + L"\\";
        for (const wchar_t* file : {L"qz_game.qzpkg", kContentsFileName, L"contents.txt.new"}) {
            if (::GetFileAttributesW((tree->root + folder + file).c_str()) ==
                INVALID_FILE_ATTRIBUTES) {
                continue;
            }
            if (!DeleteTracked(tree->root, folder + file, result, error)) return false;
        }
        if (!::RemoveDirectoryW((tree->root + folder).c_str())) {
            *error =
                tree->root + folder + L": cannot remove the folder (does it hold other files?)";
            return false;
        }
        it = tree->packages.erase(it);
    }
    return true;
}
