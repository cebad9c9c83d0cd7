// A list of manifest records keyed by name, held as compactly as the records allow: one sorted
// vector (no tree nodes), names and digest texts that are not hexadecimal in one arena of the
// list, digests packed into bytes where their text is hexadecimal, package folders shared
// through one table of the distinct folders. The category is not kept: a list holds the files of
// one target (resources or the launcher). No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "resources/NameSortedEntries.h"
#include "resources/PackedDigest.h"
#include "resources/ResoureConfigInfo.h"
#include "resources/TextArena.h"

// An entry's name (ResoureConfigMap::Name) and any digest text lie in its map's arena: valid
// while the map holds the entry (copy the name where it must outlive the map or a change of it).
// 72 bytes beside its name.
struct ResoureConfigEntry {
    uint32_t name = 0;        // its place in the map's arena; relative to the target directory
    int32_t length = 0;       // bytes of the file's data inside the package
    int64_t offset = 0;       // first byte of the file's data inside the package
    uint32_t folder = 0;      // index into the folders of the list holding the entry
    PackedDigest<16> md5;     // digest text, compared exactly; empty = missing locally
    PackedDigest<32> sha256;  // CDN configuration: SHA-256 of the range as stored

    // The characters its digest texts take in its map's arena, and those texts placed in
    // another arena.
    size_t TextChars() const {
        return (md5.InArena() ? md5.View().size() : 0) +
               (sha256.InArena() ? sha256.View().size() : 0);
    }
    void MoveTexts(TextArena* arena) {
        if (md5.InArena()) md5.Assign(md5.View(), arena);
        if (sha256.InArena()) sha256.Assign(sha256.View(), arena);
    }
};

// Ordered by name as std::wstring orders it: by UTF-16 code units (ordinal, case-sensitive;
// names differing only in case are two entries). Of two records of one name the first stays.
class ResoureConfigMap {
  public:
    using iterator = std::vector<ResoureConfigEntry>::iterator;
    using const_iterator = std::vector<ResoureConfigEntry>::const_iterator;

    ResoureConfigMap();
    // A copy holds its own names (an entry's name is of the map holding it).
    ResoureConfigMap(const ResoureConfigMap& other) = default;
    ResoureConfigMap& operator=(const ResoureConfigMap& other) = default;
    ResoureConfigMap(ResoureConfigMap&&) noexcept = default;
    ResoureConfigMap& operator=(ResoureConfigMap&&) noexcept = default;

    bool empty() const { return entries_.empty(); }
    size_t size() const { return entries_.size(); }
    void clear();

    iterator begin();
    iterator end();
    const_iterator begin() const;
    const_iterator end() const;
    iterator find(std::wstring_view name);
    const_iterator find(std::wstring_view name) const;
    size_t count(std::wstring_view name) const;

    // Adds info under name unless the name is there already; true when added.
    bool emplace(std::wstring_view name, const ResoureConfigInfo& info);
    // The entry of name, added empty when missing.
    ResoureConfigEntry& operator[](std::wstring_view name);
    // Records digest for name, adding the name when missing. Names arriving in any order cost
    // a bounded share of the list's size each, not the whole list.
    void SetDigest(std::wstring_view name, const PackedDigest<16>& digest);
    void erase(std::wstring_view name);
    // Removes the entries whose names occur in names (any order, duplicates allowed).
    void EraseNames(std::vector<const std::wstring*> names);

    // Replaces the content with the records of list (in list order; of one name the first
    // stays), taking their texts; list's records are left empty.
    void Assign(ResoureConfigList* list);
    // Adds the record of one line (emplace); its texts are copied or packed and left as they
    // are. For callers that add the records of one list, or split one
    // list into several maps: call Sort once after the last.
    void Append(ResoureConfigInfo* info);
    void Sort() { entries_.Sort(); }
    // Room for that many entries in all.
    void Reserve(size_t count) { entries_.Reserve(count); }

    // The name of an entry of this map.
    std::wstring_view Name(const ResoureConfigEntry& entry) const { return entries_.Name(entry); }
    // The arena the names lie in (for a list that borrows them, LocalManifestMap::BorrowNames).
    const TextArena& Names() const { return entries_.Arena(); }
    // The package folder of an entry of this map.
    const std::wstring& Folder(const ResoureConfigEntry& entry) const {
        return folders_[entry.folder];
    }

  private:
    uint32_t InternFolder(std::wstring* folder);
    ResoureConfigEntry TakeEntry(ResoureConfigInfo* info);

    NameSortedEntries<ResoureConfigEntry> entries_;
    std::vector<std::wstring> folders_;  // [0] is the empty folder
    std::unordered_map<std::wstring, uint32_t> folderIndex_;
};
