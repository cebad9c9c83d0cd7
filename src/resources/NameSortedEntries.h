// Entries of a list keyed by name, held without tree nodes: one vector in name order and a small
// sorted side vector for names added one at a time in any order, whose texts (the name and any
// other text of an entry) lie in one TextArena of the list. Names are ordered by UTF-16 code
// units (ordinal, case-sensitive: names differing only in case are two entries).
//
// An entry holds its name as a place (uint32_t name): in the list's arena, or, with kLent, in
// the arena of another list that lends its names (Lend), so that a name both lists hold is kept
// once. Entry provides: uint32_t name; size_t TextChars() const (the characters its other
// texts take in the arena); void MoveTexts(TextArena* arena) (places its other texts in arena,
// which may be another one). Texts of entries gone are counted, and the arena rebuilt once they
// are most of it. No Windows header.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/TextArena.h"

template <typename Entry>
class NameSortedEntries {
  public:
    // A name place in the lending arena.
    static const uint32_t kLent = TextArena::kPlaceLimit;

    NameSortedEntries() = default;
    // A copy holds its own texts, its names included.
    NameSortedEntries(const NameSortedEntries& other) { *this = other; }
    NameSortedEntries& operator=(const NameSortedEntries& other) {
        if (this == &other) return *this;
        other.Merge();
        TextArena arena;
        std::vector<Entry> entries;
        entries.reserve(other.sorted_.size());
        for (const Entry& from : other.sorted_) {
            entries.push_back(from);
            entries.back().name = arena.AddName(other.Name(from));
            entries.back().MoveTexts(&arena);
        }
        sorted_.swap(entries);
        pending_.clear();
        appending_ = other.appending_;
        arena_ = std::move(arena);
        lender_ = nullptr;
        deadChars_ = 0;
        return *this;
    }
    NameSortedEntries(NameSortedEntries&&) noexcept = default;
    NameSortedEntries& operator=(NameSortedEntries&&) noexcept = default;

    bool empty() const { return sorted_.empty() && pending_.empty(); }
    size_t size() const { return sorted_.size() + pending_.size(); }
    void clear() {
        // The memory goes too: a list emptied is not refilled to its former size.
        std::vector<Entry>().swap(sorted_);
        std::vector<Entry>().swap(pending_);
        appending_ = false;
        arena_.clear();
        lender_ = nullptr;
        deadChars_ = 0;
    }
    // Room for that many entries in all.
    void Reserve(size_t count) {
        if (sorted_.capacity() < count) sorted_.reserve(count);
    }
    TextArena& Arena() { return arena_; }
    const TextArena& Arena() const { return arena_; }

    // An entry's name (valid while the entry is held and the arena not rebuilt).
    std::wstring_view Name(const Entry& entry) const { return NameAt(entry.name); }
    std::wstring_view NameAt(uint32_t place) const {
        return (place & kLent) != 0 ? lender_->Name(place & ~kLent) : arena_.Name(place);
    }
    // The place of a copy of name in the list's arena.
    uint32_t AddName(std::wstring_view name) { return arena_.AddName(name); }

    // Names may lie in lender from now on (places with kLent); lender must outlive them. The
    // names of the lender before are copied into the list's arena first.
    void Lend(const TextArena* lender) {
        if (lender == lender_) return;
        Merge();
        for (Entry& entry : sorted_) {
            if ((entry.name & kLent) != 0) entry.name = arena_.AddName(Name(entry));
        }
        lender_ = lender;
    }
    // Makes entry's name the lender's one at place (the same text); its own copy is dropped.
    void LendName(Entry* entry, uint32_t place) {
        if ((entry->name & kLent) == 0) Dropped(TextArena::NameUnits(Name(*entry).size()));
        entry->name = place | kLent;
    }

    // Every entry in name order (the side vector joins the sorted one first).
    std::vector<Entry>& Sorted() const {
        Merge();
        return sorted_;
    }
    // The entry of name, or null, wherever it waits.
    Entry* Find(std::wstring_view name) const {
        Entry* found = FindIn(sorted_, name);
        return found != nullptr ? found : FindIn(pending_, name);
    }
    // Adds an entry whose name is not held (its texts already in this arena).
    Entry& Insert(Entry entry) {
        const std::wstring_view name = Name(entry);
        pending_.insert(std::lower_bound(pending_.begin(), pending_.end(), name, Before()),
                        std::move(entry));
        // Pending names are looked up and inserted apart from the rest; they join it once they
        // are about twice the square root of its size, so an insertion costs that much at most.
        if (pending_.size() > 64 && pending_.size() * pending_.size() > 4 * sorted_.size()) {
            Merge();
        }
        return *Find(name);
    }

    // For the entries of a list as read: Append each (any order), then Sort once after the
    // last; of one name the first appended stays.
    void Append(Entry entry) {
        Merge();
        appending_ = true;
        sorted_.push_back(std::move(entry));
    }
    void Sort() {
        if (!appending_) return;
        appending_ = false;
        const auto byName = [this](const Entry& a, const Entry& b) { return Name(a) < Name(b); };
        // Lists are mostly written in name order already.
        if (!std::is_sorted(sorted_.begin(), sorted_.end(), byName)) {
            std::stable_sort(sorted_.begin(), sorted_.end(), byName);
        }
        auto out = sorted_.begin();
        for (auto in = sorted_.begin(); in != sorted_.end(); ++in) {
            if (out != sorted_.begin() && Name(*(out - 1)) == Name(*in)) {
                Dropped(*in);
            } else if (out++ != in) {
                *(out - 1) = std::move(*in);
            }
        }
        sorted_.erase(out, sorted_.end());
        DropEntries();
    }

    // Removes the entries whose names occur in names (any order, duplicates allowed).
    void EraseNames(std::vector<const std::wstring*> names) {
        if (names.empty()) return;
        Merge();
        const auto byText = [](const std::wstring* a, const std::wstring* b) { return *a < *b; };
        std::sort(names.begin(), names.end(), byText);
        auto name = names.begin();
        const auto kept = std::remove_if(sorted_.begin(), sorted_.end(), [&](const Entry& entry) {
            const std::wstring_view held = Name(entry);
            while (name != names.end() && **name < held) ++name;
            if (name == names.end() || **name != held) return false;
            Dropped(entry);
            return true;
        });
        sorted_.erase(kept, sorted_.end());
        DropEntries();
    }

    // Counts the arena characters an entry no longer uses (a text replaced, an entry gone);
    // DropEntries after the last of a series rebuilds the arena when they are most of it.
    void Dropped(size_t chars) { deadChars_ += chars; }
    void Dropped(const Entry& entry) {
        deadChars_ += entry.TextChars();
        if ((entry.name & kLent) == 0) deadChars_ += TextArena::NameUnits(Name(entry).size());
    }
    void DropEntries() {
        if (deadChars_ < kMinDeadChars || deadChars_ * 2 <= arena_.used()) return;
        TextArena fresh;
        for (Entry& entry : sorted_) MoveTexts(&entry, &fresh);
        for (Entry& entry : pending_) MoveTexts(&entry, &fresh);
        arena_ = std::move(fresh);
        deadChars_ = 0;
    }

  private:
    // Arena characters below which a rebuild is not worth it.
    static const size_t kMinDeadChars = 1 << 16;

    struct NameBefore {
        const NameSortedEntries* list;
        bool operator()(const Entry& entry, std::wstring_view name) const {
            return list->Name(entry) < name;
        }
    };
    NameBefore Before() const { return {this}; }
    Entry* FindIn(std::vector<Entry>& entries, std::wstring_view name) const {
        const auto found = std::lower_bound(entries.begin(), entries.end(), name, Before());
        return found != entries.end() && Name(*found) == name ? &*found : nullptr;
    }
    // Places an entry's own texts in fresh (names lent stay where they are).
    void MoveTexts(Entry* entry, TextArena* fresh) const {
        if ((entry->name & kLent) == 0) entry->name = fresh->AddName(Name(*entry));
        entry->MoveTexts(fresh);
    }

    // Moves the pending entries into their places: from the back, so that the entries move once
    // and nothing else is allocated.
    void Merge() const {
        if (pending_.empty()) return;
        size_t i = sorted_.size();
        size_t j = pending_.size();
        sorted_.resize(i + j);
        size_t k = sorted_.size();
        while (j > 0) {
            if (i > 0 && Name(pending_[j - 1]) < Name(sorted_[i - 1])) {
                sorted_[--k] = std::move(sorted_[--i]);
            } else {
                sorted_[--k] = std::move(pending_[--j]);
            }
        }
        pending_.clear();
    }

    mutable std::vector<Entry> sorted_;   // unique names, in order
    mutable std::vector<Entry> pending_;  // in order, names not in sorted_
    bool appending_ = false;              // Append since the last Sort
    TextArena arena_;
    const TextArena* lender_ = nullptr;  // where names with kLent lie
    size_t deadChars_ = 0;               // characters of the arena no entry uses
};
