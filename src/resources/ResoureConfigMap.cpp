#include "resources/ResoureConfigMap.h"

#include <algorithm>

namespace {

// Arena characters below which a rebuild is not worth it.
const size_t kMinDeadChars = 1 << 16;

bool ByName(const ResoureConfigEntry& a, const ResoureConfigEntry& b) {
    return a.name < b.name;
}

bool NameBefore(const ResoureConfigEntry& entry, std::wstring_view name) {
    return entry.name < name;
}

// The entry of name in a sorted vector, or null.
template <typename Vector>
auto FindIn(Vector& entries, std::wstring_view name) -> decltype(&entries[0]) {
    const auto found = std::lower_bound(entries.begin(), entries.end(), name, NameBefore);
    return found != entries.end() && found->name == name ? &*found : nullptr;
}

size_t ArenaChars(const ResoureConfigEntry& entry) {
    size_t chars = entry.name.size();
    if (entry.md5.InArena()) chars += entry.md5.View().size();
    if (entry.sha256.InArena()) chars += entry.sha256.View().size();
    return chars;
}

}  // namespace

ResoureConfigMap::ResoureConfigMap() {
    folders_.emplace_back();
}

ResoureConfigMap::ResoureConfigMap(const ResoureConfigMap& other) {
    *this = other;
}

ResoureConfigMap& ResoureConfigMap::operator=(const ResoureConfigMap& other) {
    if (this == &other) return *this;
    other.Merge();
    TextArena arena;
    std::vector<ResoureConfigEntry> entries;
    entries.reserve(other.entries_.size());
    for (const ResoureConfigEntry& from : other.entries_) {
        ResoureConfigEntry entry;
        entry.name = arena.Add(from.name);
        entry.offset = from.offset;
        entry.length = from.length;
        entry.folder = from.folder;
        entry.md5.Keep(from.md5, &arena);
        entry.sha256.Keep(from.sha256, &arena);
        entries.push_back(std::move(entry));
    }
    entries_.swap(entries);
    pending_.clear();
    appending_ = other.appending_;
    folders_ = other.folders_;
    folderIndex_ = other.folderIndex_;
    arena_ = std::move(arena);
    deadChars_ = 0;
    return *this;
}

// Copies a record's line fields into an entry; the folder is set by the caller.
ResoureConfigEntry ResoureConfigMap::TakeEntry(ResoureConfigInfo* info) {
    ResoureConfigEntry entry;
    entry.name = arena_.Add(info->name);
    entry.md5.Assign(info->md5, &arena_);
    entry.sha256.Assign(info->sha256, &arena_);
    entry.offset = info->offset;
    entry.length = info->length;
    return entry;
}

void ResoureConfigMap::clear() {
    entries_.clear();
    pending_.clear();
    appending_ = false;
    folders_.resize(1);
    folderIndex_.clear();
    arena_.clear();
    deadChars_ = 0;
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

ResoureConfigMap::iterator ResoureConfigMap::find(std::wstring_view name) {
    Merge();
    ResoureConfigEntry* found = FindIn(entries_, name);
    return found ? entries_.begin() + (found - entries_.data()) : entries_.end();
}

ResoureConfigMap::const_iterator ResoureConfigMap::find(std::wstring_view name) const {
    Merge();
    const ResoureConfigEntry* found = FindIn(entries_, name);
    return found ? entries_.cbegin() + (found - entries_.data()) : entries_.cend();
}

size_t ResoureConfigMap::count(std::wstring_view name) const {
    return FindIn(entries_, name) != nullptr || FindIn(pending_, name) != nullptr ? 1 : 0;
}

bool ResoureConfigMap::emplace(std::wstring_view name, const ResoureConfigInfo& info) {
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

ResoureConfigEntry& ResoureConfigMap::operator[](std::wstring_view name) {
    Merge();
    const auto place = std::lower_bound(entries_.begin(), entries_.end(), name, NameBefore);
    if (place != entries_.end() && place->name == name) return *place;
    ResoureConfigEntry entry;
    entry.name = arena_.Add(name);
    return *entries_.insert(place, std::move(entry));
}

void ResoureConfigMap::SetDigest(std::wstring_view name, const PackedDigest<16>& digest) {
    ResoureConfigEntry* found = FindIn(entries_, name);
    if (found == nullptr) found = FindIn(pending_, name);
    if (found == nullptr) {
        emplace(name, ResoureConfigInfo());
        found = FindIn(entries_, name);
        if (found == nullptr) found = FindIn(pending_, name);
    }
    if (found->md5.InArena()) deadChars_ += found->md5.View().size();
    found->md5.Keep(digest, &arena_);
    DropEntries();
}

void ResoureConfigMap::erase(std::wstring_view name) {
    Merge();
    const auto found = std::lower_bound(entries_.begin(), entries_.end(), name, NameBefore);
    if (found == entries_.end() || found->name != name) return;
    Dropped(*found);
    entries_.erase(found);
    DropEntries();
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
            if (name == names.end() || **name != entry.name) return false;
            Dropped(entry);
            return true;
        });
    entries_.erase(kept, entries_.end());
    DropEntries();
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
    // Keeps the first of every run of equal names: the one that came first.
    auto out = entries_.begin();
    for (auto in = entries_.begin(); in != entries_.end(); ++in) {
        if (out != entries_.begin() && (out - 1)->name == in->name) {
            Dropped(*in);
        } else if (out++ != in) {
            *(out - 1) = std::move(*in);
        }
    }
    entries_.erase(out, entries_.end());
    DropEntries();
}

uint32_t ResoureConfigMap::InternFolder(std::wstring* folder) {
    if (folder->empty()) return 0;
    const auto found = folderIndex_.find(*folder);
    if (found != folderIndex_.end()) return found->second;
    const uint32_t index = static_cast<uint32_t>(folders_.size());
    folderIndex_.emplace(*folder, index);
    folders_.push_back(*folder);
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

void ResoureConfigMap::Dropped(const ResoureConfigEntry& entry) {
    deadChars_ += ArenaChars(entry);
}

void ResoureConfigMap::DropEntries() {
    if (deadChars_ < kMinDeadChars || deadChars_ * 2 <= arena_.used()) return;
    TextArena fresh;
    const auto move = [&fresh](ResoureConfigEntry& entry) {
        entry.name = fresh.Add(entry.name);
        if (entry.md5.InArena()) entry.md5.Assign(entry.md5.View(), &fresh);
        if (entry.sha256.InArena()) entry.sha256.Assign(entry.sha256.View(), &fresh);
    };
    for (ResoureConfigEntry& entry : entries_) move(entry);
    for (ResoureConfigEntry& entry : pending_) move(entry);
    arena_ = std::move(fresh);
    deadChars_ = 0;
}
