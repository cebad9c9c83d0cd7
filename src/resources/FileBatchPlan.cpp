#include "resources/FileBatchPlan.h"

FileBatchPlan::FileBatchPlan(ResourceUpdateList items, int32_t kind,
                             const std::function<std::wstring(const std::wstring&)>& packageUrl)
    : items_(std::move(items)), kind_(kind) {
    if (items_.empty()) return;
    const ResoureConfigMap& list = *items_.SharedSource();
    inBatch_.resize(list.size());
    for (size_t i = 0; i < items_.size(); ++i) {
        inBatch_[items_.Index(i)] = true;
        const std::wstring& folder = list.Folder(items_.Entry(i));
        if (targetOfFolder_.emplace(&folder, static_cast<uint32_t>(packageUrls_.size())).second) {
            packageUrls_.push_back(packageUrl(folder));
        }
    }
}

uint32_t FileBatchPlan::TargetOf(size_t index) const {
    return targetOfFolder_.at(&items_.SharedSource()->Folder(items_.Entry(index)));
}

DownloadTaskInfo FileBatchPlan::Task(size_t index) const {
    const ResoureConfigEntry& entry = items_.Entry(index);
    DownloadTaskInfo task;
    task.path = items_.SharedSource()->Folder(entry);
    task.url = packageUrls_[TargetOf(index)];
    task.name = std::wstring(items_.SharedSource()->Name(entry));
    task.kind = kind_;
    task.rangeStart = entry.offset;
    task.rangeLength = static_cast<uint32_t>(entry.length);
    return task;
}

bool FileBatchPlan::FindDigests(const std::wstring& name, std::wstring* md5,
                                std::wstring* sha256) const {
    if (items_.empty()) return false;
    const ResoureConfigMap& list = *items_.SharedSource();
    const auto found = list.find(name);
    if (found == list.end()) return false;
    const size_t index = static_cast<size_t>(found - list.begin());
    if (index >= inBatch_.size() || !inBatch_[index]) return false;
    *md5 = found->md5.Text();
    *sha256 = found->sha256.Text();
    return true;
}
