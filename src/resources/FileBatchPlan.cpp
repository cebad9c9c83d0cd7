#include "resources/FileBatchPlan.h"

#include <algorithm>
#include <map>

FileBatchPlan::FileBatchPlan(const ResourceUpdateList& items, int32_t kind,
                             const std::function<std::wstring(const std::wstring&)>& packageUrl)
    : kind_(kind) {
    size_t total = 0;
    for (const ResourceUpdateInfo& item : items) total += item.name.size();
    names_.reserve(total);
    files_.reserve(items.size());
    std::map<std::wstring, uint32_t> packages;
    for (const ResourceUpdateInfo& item : items) {
        auto found = packages.find(item.packageDir);
        if (found == packages.end()) {
            found =
                packages.emplace(item.packageDir, static_cast<uint32_t>(packageDirs_.size())).first;
            packageDirs_.push_back(item.packageDir);
            packageUrls_.push_back(packageUrl(item.packageDir));
        }
        File file{static_cast<uint32_t>(names_.size()),
                  static_cast<uint32_t>(item.name.size()),
                  found->second,
                  static_cast<uint32_t>(item.length),
                  item.offset,
                  item.remoteMd5,
                  item.remoteSha256};
        names_.append(item.name);
        files_.push_back(std::move(file));
    }
    byName_.resize(files_.size());
    for (size_t i = 0; i < byName_.size(); ++i) byName_[i] = static_cast<uint32_t>(i);
    std::stable_sort(byName_.begin(), byName_.end(), [this](uint32_t a, uint32_t b) {
        const File& fa = files_[a];
        const File& fb = files_[b];
        return names_.compare(fa.nameStart, fa.nameLength, names_, fb.nameStart, fb.nameLength) < 0;
    });
}

DownloadTaskInfo FileBatchPlan::Task(size_t index) const {
    const File& file = files_[index];
    DownloadTaskInfo task;
    task.url = packageUrls_[file.package];
    task.name.assign(names_, file.nameStart, file.nameLength);
    task.kind = kind_;
    task.path = packageDirs_[file.package];
    task.rangeStart = file.offset;
    task.rangeLength = file.length;
    return task;
}

int FileBatchPlan::CompareName(uint32_t index, const std::wstring& name) const {
    const File& file = files_[index];
    return names_.compare(file.nameStart, file.nameLength, name);
}

bool FileBatchPlan::FindDigests(const std::wstring& name, std::wstring* md5,
                                std::wstring* sha256) const {
    const auto after = std::upper_bound(
        byName_.begin(), byName_.end(), name,
        [this](const std::wstring& n, uint32_t index) { return CompareName(index, n) > 0; });
    if (after == byName_.begin() || CompareName(*(after - 1), name) != 0) return false;
    const File& file = files_[*(after - 1)];
    *md5 = file.md5.Text();
    *sha256 = file.sha256.Text();
    return true;
}
