// The stamps list ("version.stamps") as read at start, held compactly until its stamps are
// given to the records of the local list: one vector in name order, names and any digest text
// that is not hexadecimal in one arena, digests packed into bytes where their text is
// hexadecimal. No Windows header.
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

    bool empty() const { return sorted_.empty(); }
    void clear();

    // For a list as read: adds a stamp; of one name the first stays once Sort is called.
    void Append(std::wstring_view name, uint64_t size, uint64_t writeTime,
                std::wstring_view digest);
    void Sort();

    // Every stamp in name order (after Sort).
    const Stamps& Sorted() const { return sorted_; }

  private:
    Stamps sorted_;
    TextArena arena_;
};
