#include "resources/ResoureConfigMap.h"

#include <algorithm>

namespace {

bool ByName(const ResoureConfigEntry& a, const ResoureConfigEntry& b) {
    return a.name < b.name;
}

bool NameBefore(const ResoureConfigEntry& entry, const std::wstring& name) {
    return entry.name < name;
}

// The entry of name in a sorted vector, or null.
template <typename Vector>
auto FindIn(Vector& entries, const std::wstring& name) -> decltype(&entries[0]) {
    const auto found = std::lower_bound(entries.begin(), entries.end(), name, NameBefore);
    return found != entries.end() && found->name == name ? &*found : nullptr;
}

// Moves a record's line fields into an entry; the folder is set by the caller.
ResoureConfigEntry TakeEntry(ResoureConfigInfo* info) {
    ResoureConfigEntry entry;
    entry.name = std::move(info->name);
    entry.md5.Assign(info->md5);
    entry.sha256.Assign(info->sha256);
    entry.offset = info->offset;
    entry.length = info->length;
    return entry;
}

}  // namespace

ResoureConfigMap::ResoureConfigMap() {
    folders_.emplace_back();
}

void ResoureConfigMap::clear() {
    entries_.clear();
    pending_.clear();
    appending_ = false;
    folders_.resize(1);
    folderIndex_.clear();
}

ResoureConfigMap::iterator ResoureConfigMap::begin() {
    Merge();
    return entries_.begin();
}

ResoureConfigMap::iterator ResoureConfigMap::end() {
    Merge();
    return entries_.end();
}

ResoureConfigMap::const_iterator ResoureConfigMap::begin() const {
    Merge();
    return entries_.begin();
}

ResoureConfigMap::const_iterator ResoureConfigMap::end() const {
    Merge();
    return entries_.end();
}

ResoureConfigMap::iterator ResoureConfigMap::find(const std::wstring& name) {
    Merge();
    ResoureConfigEntry* found = FindIn(entries_, name);
    return found ? entries_.begin() + (found - entries_.data()) : entries_.end();
}

ResoureConfigMap::const_iterator ResoureConfigMap::find(const std::wstring& name) const {
    Merge();
    const ResoureConfigEntry* found = FindIn(entries_, name);
    return found ? entries_.cbegin() + (found - entries_.data()) : entries_.cend();
}

size_t ResoureConfigMap::count(const std::wstring& name) const {
    return FindIn(entries_, name) != nullptr || FindIn(pending_, name) != nullptr ? 1 : 0;
}

bool ResoureConfigMap::emplace(const std::wstring& name, const ResoureConfigInfo& info) {
    if (count(name) != 0) return false;
    ResoureConfigInfo copy = info;
    copy.name = name;
    ResoureConfigEntry entry = TakeEntry(&copy);
    entry.folder = InternFolder(&copy.packageDir);
    pending_.insert(std::lower_bound(pending_.begin(), pending_.end(), name, NameBefore),
                    std::move(entry));
    // Pending names are looked up and inserted apart from the rest; they join it once they are
    // about twice the square root of its size, so an insertion costs that much at most.
    if (pending_.size() > 64 && pending_.size() * pending_.size() > 4 * entries_.size()) Merge();
    return true;
}

ResoureConfigEntry& ResoureConfigMap::operator[](const std::wstring& name) {
    Merge();
    const auto place = std::lower_bound(entries_.begin(), entries_.end(), name, NameBefore);
    if (place != entries_.end() && place->name == name) return *place;
    ResoureConfigEntry entry;
    entry.name = name;
    return *entries_.insert(place, std::move(entry));
}

void ResoureConfigMap::SetDigest(const std::wstring& name, const PackedDigest<16>& digest) {
    ResoureConfigEntry* found = FindIn(entries_, name);
    if (found == nullptr) found = FindIn(pending_, name);
    if (found != nullptr) {
        found->md5 = digest;
        return;
    }
    emplace(name, ResoureConfigInfo());
    found = FindIn(entries_, name);
    if (found == nullptr) found = FindIn(pending_, name);
    found->md5 = digest;
}

void ResoureConfigMap::erase(const std::wstring& name) {
    Merge();
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), name, NameBefore);
    if (found != entries_.end() && found->name == name) entries_.erase(found);
}

void ResoureConfigMap::EraseNames(std::vector<const std::wstring*> names) {
    if (names.empty()) return;
    Merge();
    const auto byText = [](const std::wstring* a, const std::wstring* b) { return *a < *b; };
    std::sort(names.begin(), names.end(), byText);
    auto name = names.begin();
    const auto kept =
        std::remove_if(entries_.begin(), entries_.end(), [&](const ResoureConfigEntry& entry) {
            while (name != names.end() && **name < entry.name) ++name;
            return name != names.end() && **name == entry.name;
        });
    entries_.erase(kept, entries_.end());
}

void ResoureConfigMap::Assign(ResoureConfigList* list) {
    clear();
    entries_.reserve(list->size());
    for (ResoureConfigInfo& info : *list) {
        Append(&info);
        info = ResoureConfigInfo();  // its texts go as soon as they are taken
    }
    Sort();
}

void ResoureConfigMap::Append(ResoureConfigInfo* info) {
    Merge();
    appending_ = true;
    ResoureConfigEntry entry = TakeEntry(info);
    entry.folder = InternFolder(&info->packageDir);
    entries_.push_back(std::move(entry));
}

void ResoureConfigMap::Sort() {
    if (!appending_) return;
    appending_ = false;
    // Lists are mostly written in name order already.
    if (!std::is_sorted(entries_.begin(), entries_.end(), ByName)) {
        std::stable_sort(entries_.begin(), entries_.end(), ByName);
    }
    // unique keeps the first of every run of equal names: the one that came first.
    const auto last = std::unique(
        entries_.begin(), entries_.end(),
        [](const ResoureConfigEntry& a, const ResoureConfigEntry& b) { return a.name == b.name; });
    entries_.erase(last, entries_.end());
}

uint32_t ResoureConfigMap::InternFolder(std::wstring* folder) {
    if (folder->empty()) return 0;
    const auto found = folderIndex_.find(*folder);
    if (found != folderIndex_.end()) return found->second;
    const uint32_t index = static_cast<uint32_t>(folders_.size());
    folderIndex_.emplace(*folder, index);
    folders_.push_back(std::move(*folder));
    return index;
}

void ResoureConfigMap::Merge() const {
    if (pending_.empty()) return;
    // From the back, so that the entries move once and nothing else is allocated.
    size_t i = entries_.size();
    size_t j = pending_.size();
    entries_.resize(i + j);
    size_t k = entries_.size();
    while (j > 0) {
        if (i > 0 && pending_[j - 1].name < entries_[i - 1].name) {
            entries_[--k] = std::move(entries_[--i]);
        } else {
            entries_[--k] = std::move(pending_[--j]);
        }
    }
    pending_.clear();
}
