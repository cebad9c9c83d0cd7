#include "resources/ResoureConfigMap.h"

// An entry is held once per file of the configuration: its size is what the list costs beside
// the names.
static_assert(sizeof(void*) != 8 || sizeof(ResoureConfigEntry) <= 72, "a CDN entry grew");

ResoureConfigMap::ResoureConfigMap() {
    folders_.emplace_back();
}

// Copies a record's line fields into an entry; the folder is set by the caller.
ResoureConfigEntry ResoureConfigMap::TakeEntry(ResoureConfigInfo* info) {
    TextArena& arena = entries_.Arena();
    ResoureConfigEntry entry;
    entry.name = arena.AddName(info->name);
    entry.md5.Assign(info->md5, &arena);
    entry.sha256.Assign(info->sha256, &arena);
    entry.offset = info->offset;
    entry.length = info->length;
    return entry;
}

void ResoureConfigMap::clear() {
    entries_.clear();
    folders_.resize(1);
    folderIndex_.clear();
}

ResoureConfigMap::iterator ResoureConfigMap::begin() {
    return entries_.Sorted().begin();
}

ResoureConfigMap::iterator ResoureConfigMap::end() {
    return entries_.Sorted().end();
}

ResoureConfigMap::const_iterator ResoureConfigMap::begin() const {
    return entries_.Sorted().cbegin();
}

ResoureConfigMap::const_iterator ResoureConfigMap::end() const {
    return entries_.Sorted().cend();
}

ResoureConfigMap::iterator ResoureConfigMap::find(std::wstring_view name) {
    std::vector<ResoureConfigEntry>& sorted = entries_.Sorted();
    const ResoureConfigEntry* found = entries_.Find(name);
    return found ? sorted.begin() + (found - sorted.data()) : sorted.end();
}

ResoureConfigMap::const_iterator ResoureConfigMap::find(std::wstring_view name) const {
    const std::vector<ResoureConfigEntry>& sorted = entries_.Sorted();
    const ResoureConfigEntry* found = entries_.Find(name);
    return found ? sorted.cbegin() + (found - sorted.data()) : sorted.cend();
}

size_t ResoureConfigMap::count(std::wstring_view name) const {
    return entries_.Find(name) != nullptr ? 1 : 0;
}

bool ResoureConfigMap::emplace(std::wstring_view name, const ResoureConfigInfo& info) {
    if (entries_.Find(name) != nullptr) return false;
    ResoureConfigInfo copy = info;
    copy.name = name;
    ResoureConfigEntry entry = TakeEntry(&copy);
    entry.folder = InternFolder(&copy.packageDir);
    entries_.Insert(std::move(entry));
    return true;
}

ResoureConfigEntry& ResoureConfigMap::operator[](std::wstring_view name) {
    ResoureConfigEntry* found = entries_.Find(name);
    if (found != nullptr) return *found;
    ResoureConfigEntry entry;
    entry.name = entries_.AddName(name);
    entries_.Insert(std::move(entry));
    // In its place among the rest, where a later lookup does not move it.
    entries_.Sorted();
    return *entries_.Find(name);
}

void ResoureConfigMap::SetDigest(std::wstring_view name, const PackedDigest<16>& digest) {
    ResoureConfigEntry* found = entries_.Find(name);
    if (found == nullptr) {
        emplace(name, ResoureConfigInfo());
        found = entries_.Find(name);
    }
    if (found->md5.InArena()) entries_.Dropped(found->md5.View().size());
    found->md5.Keep(digest, &entries_.Arena());
    entries_.DropEntries();
}

void ResoureConfigMap::erase(std::wstring_view name) {
    const std::wstring gone(name);
    entries_.EraseNames({&gone});
}

void ResoureConfigMap::EraseNames(std::vector<const std::wstring*> names) {
    entries_.EraseNames(std::move(names));
}

void ResoureConfigMap::Assign(ResoureConfigList* list) {
    clear();
    entries_.Reserve(list->size());
    for (ResoureConfigInfo& info : *list) {
        Append(&info);
        info = ResoureConfigInfo();  // its texts go as soon as they are taken
    }
    Sort();
}

void ResoureConfigMap::Append(ResoureConfigInfo* info) {
    ResoureConfigEntry entry = TakeEntry(info);
    entry.folder = InternFolder(&info->packageDir);
    entries_.Append(std::move(entry));
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
