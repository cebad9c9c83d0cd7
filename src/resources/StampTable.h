// The stamps of a whole installation held compactly: one vector in name order, names and any
// digest text that is not hexadecimal in one arena, digests packed into bytes where their text
// is hexadecimal (about 56 bytes a stamp beside its name). Stamps set one at a time in any order
// wait in a side vector that joins the sorted one when the stamps are walked or looked up. No
// Windows header.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "resources/PackedDigest.h"
#include "resources/TextArena.h"

struct TableStamp {
    std::wstring_view name;  // in the table's arena
    uint64_t size = 0;
    uint64_t writeTime = 0;   // 100-nanosecond intervals since 1601 (UTC)
    PackedDigest<16> digest;  // the digest the content was checked against
};

// Ordered by name by UTF-16 code units (ordinal): names differing only in case are two stamps.
class StampTable {
  public:
    using Stamps = std::vector<TableStamp>;

    StampTable() = default;
    StampTable(const StampTable&) = delete;
    StampTable& operator=(const StampTable&) = delete;

    bool empty() const { return sorted_.empty() && pending_.empty(); }
    void clear();
    void swap(StampTable& other);

    // For a list as read: adds a stamp; of one name the first stays once Sort is called.
    void Append(std::wstring_view name, uint64_t size, uint64_t writeTime,
                std::wstring_view digest);
    void Sort();

    // Sets the stamp of name, replacing any (the last set wins); names in any order.
    void Set(std::wstring_view name, uint64_t size, uint64_t writeTime,
             const PackedDigest<16>& digest);
    // Drops the stamps of these names (any order, duplicates allowed).
    void EraseNames(std::vector<std::wstring_view> names);

    // Room for that many stamps in all.
    void Reserve(size_t count);
    // Every stamp in name order.
    const Stamps& Sorted();
    // Takes the stamps out in name order, for Replace to give back changed: a walk over them
    // beside another sorted list. The names stay in the table's arena meanwhile.
    Stamps TakeSorted();
    // The stamps walked; their texts must be the table's (taken, or of NewStamp).
    void Replace(Stamps stamps);
    // A stamp whose texts are in the arena, for Replace.
    TableStamp NewStamp(std::wstring_view name, uint64_t size, uint64_t writeTime,
                        const PackedDigest<16>& digest);

  private:
    void Merge();
    // Counts an arena's texts no stamp holds any more; rebuilds the arena when they are most.
    void Dropped(const TableStamp& stamp);
    void CompactIfWasteful();

    Stamps sorted_;   // unique names, in order
    Stamps pending_;  // set since the last merge, in the order set
    TextArena arena_;
    size_t deadChars_ = 0;
};
