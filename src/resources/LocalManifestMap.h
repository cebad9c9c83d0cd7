// A local list ("version.txt", "launcher_manifest.txt") as held in memory: per file only what a
// local record carries, its name (in the list's arena, or borrowed from the CDN list), its
// digest and, for installed resources, the stamp its file got when its bytes were last checked
// (40 bytes a record beside its name). No Windows header.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "resources/NameSortedEntries.h"
#include "resources/PackedDigest.h"
#include "resources/ResoureConfigMap.h"
#include "resources/TextArena.h"

// A record's name (LocalManifestMap::Name) and any digest text lie in its list's arena or in
// the arena of the list it borrows names from: valid while the list holds the record (copy the
// name where it must outlive the list or a change of it).
struct LocalRecord {
    uint32_t name = 0;  // its place (NameSortedEntries); relative to the target directory
    bool stamped = false;
    PackedDigest<16> md5;  // digest text, compared exactly; empty = missing locally
    // The stamp: the file's size and last write time as they were when its content was checked
    // against md5. It speaks for that digest only: whatever changes md5 drops it.
    uint64_t size = 0;
    uint64_t writeTime = 0;  // 100-nanosecond intervals since 1601 (UTC)

    size_t TextChars() const { return md5.InArena() ? md5.View().size() : 0; }
    void MoveTexts(TextArena* arena) {
        if (!md5.View().empty()) md5.Assign(md5.View(), arena);
    }
};

// Ordered by name by UTF-16 code units; of two records of one name read from a list the first
// stays. Records are read through const iterators and changed through the list, which keeps a
// stamp only beside the digest it was taken with.
class LocalManifestMap {
  public:
    using const_iterator = std::vector<LocalRecord>::const_iterator;

    LocalManifestMap() = default;
    // A copy holds its own names.
    LocalManifestMap(const LocalManifestMap& other) : records_(other.records_) {}
    LocalManifestMap& operator=(const LocalManifestMap& other) {
        if (this == &other) return *this;
        records_ = other.records_;
        lender_.reset();
        return *this;
    }
    LocalManifestMap(LocalManifestMap&&) noexcept = default;
    LocalManifestMap& operator=(LocalManifestMap&&) noexcept = default;

    bool empty() const { return records_.empty(); }
    size_t size() const { return records_.size(); }
    // No records and no list to borrow names from.
    void clear() {
        records_.clear();
        lender_.reset();
    }
    // Room for that many records in all.
    void Reserve(size_t count) { records_.Reserve(count); }

    const_iterator begin() const { return records_.Sorted().cbegin(); }
    const_iterator end() const { return records_.Sorted().cend(); }
    const_iterator find(std::wstring_view name) const;
    size_t count(std::wstring_view name) const { return records_.Find(name) != nullptr ? 1 : 0; }
    // The first record whose name follows name.
    const_iterator upper_bound(std::wstring_view name) const;
    // The name of a record of this list.
    std::wstring_view Name(const LocalRecord& record) const { return records_.Name(record); }

    // Names this list holds that lender holds too are kept once, in lender, from now on: the
    // records' names lender has are dropped from the list's own texts, and names added later
    // refer to lender's when it has them. lender is kept (unchanged) until clear or another
    // lender.
    void BorrowNames(std::shared_ptr<const ResoureConfigMap> lender);

    // Records digest for name, adding the name when missing (names arriving in any order cost a
    // bounded share of the list's size each). A stamp taken with another digest goes.
    void SetDigest(std::wstring_view name, const PackedDigest<16>& digest);
    // An installed file: its digest and the stamp taken with it, at once.
    void SetInstalled(std::wstring_view name, const PackedDigest<16>& digest, uint64_t size,
                      uint64_t writeTime);
    // Records the file of at as missing: an empty digest, no stamp.
    void ClearDigest(const_iterator at);
    void SetStamp(const_iterator at, uint64_t size, uint64_t writeTime);
    void ClearStamp(const_iterator at);
    // Removes the records whose names occur in names (any order, duplicates allowed).
    void EraseNames(std::vector<const std::wstring*> names) {
        records_.EraseNames(std::move(names));
    }

    // For the lines of a list as read: Append each, then Sort once after the last.
    void Append(std::wstring_view name, std::wstring_view md5);
    void Sort() { records_.Sort(); }

  private:
    LocalRecord& At(const_iterator at);
    // The record of name, added without digest when missing.
    LocalRecord& Place(std::wstring_view name);
    // Sets a record's digest, counting the text it replaces.
    void Store(LocalRecord* record, const PackedDigest<16>& digest);

    NameSortedEntries<LocalRecord> records_;
    std::shared_ptr<const ResoureConfigMap> lender_;
};
