#include "PruneTree.h"

#include <windows.h>

#include <map>
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

void AddReason(std::wstring* reasons, const std::wstring& reason) {
    *reasons += (reasons->empty() ? L"" : L"; ") + reason;
}

// Why each configuration of the tree stays; empty for those that go.
std::map<std::wstring, std::wstring> ReasonsToKeep(const CdnTree& tree, size_t keep,
                                                   const std::vector<ServedRelease>& served,
                                                   PruneResult* result) {
    std::map<std::wstring, std::wstring> reasons;
    for (const auto& config : tree.configs) reasons[config.first];
    for (const auto& config : tree.opaqueConfigs) reasons[config.first];
    const size_t count = tree.releases.size();
    for (size_t i = count > keep ? count - keep : 0; i < count; ++i) {
        AddReason(&reasons[tree.releases[i].name],
                  L"one of the " + std::to_wstring(keep) + L" newest releases");
    }
    for (const ServedRelease& entry : served) {
        const auto found = reasons.find(entry.release);
        if (found == reasons.end()) {
            result->notes.push_back(L"the notice answer " + entry.answerFile + L" serves " +
                                    entry.release + L", which the tree does not hold");
            continue;
        }
        AddReason(&found->second, L"the notice answer " + entry.answerFile + L" serves it (since " +
                                      entry.since + L")");
    }
    for (auto& reason : reasons) {
        bool recorded = false;
        for (const TreeRelease& release : tree.releases) recorded |= release.name == reason.first;
        if (!recorded) AddReason(&reason.second, L"the tree's record does not list it");
        const auto opaque = tree.opaqueConfigs.find(reason.first);
        if (opaque != tree.opaqueConfigs.end()) {
            AddReason(&reason.second, L"not understood: " + opaque->second.reason);
        }
    }
    return reasons;
}

}  // namespace

bool PruneTree(CdnTree* tree, size_t keep, const std::vector<ServedRelease>& served,
               PruneResult* result, std::wstring* error) {
    const std::map<std::wstring, std::wstring> reasons = ReasonsToKeep(*tree, keep, served, result);
    std::set<std::wstring> dropped;
    std::set<std::wstring> kept;  // package folders a kept configuration names
    for (const auto& reason : reasons) {
        if (reason.second.empty()) {
            dropped.insert(reason.first);
            continue;
        }
        result->kept.push_back(
            KeptConfig{L"config\\" + ConfigFileOf(*tree, reason.first), reason.second});
        const auto config = tree->configs.find(reason.first);
        if (config != tree->configs.end()) {
            kept.insert(config->second.begin(), config->second.end());
        }
        const auto opaque = tree->opaqueConfigs.find(reason.first);
        if (opaque != tree->opaqueConfigs.end()) {
            kept.insert(opaque->second.packageDirs.begin(), opaque->second.packageDirs.end());
        }
        const auto chunked = tree->chunkPackages.find(reason.first);
        if (chunked != tree->chunkPackages.end()) {
            kept.insert(chunked->second.begin(), chunked->second.end());
        }
    }

    // Configurations first: at no moment does a configuration name a deleted package.
    for (const std::wstring& release : dropped) {
        if (!DeleteTracked(tree->root, L"config\\" + ConfigFileOf(*tree, release), result, error))
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
