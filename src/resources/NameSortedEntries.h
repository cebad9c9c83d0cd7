// Entries of a list keyed by name, held without tree nodes: one vector in name order and a small
// sorted side vector for names added one at a time in any order, whose texts (the name and any
// other text of an entry) lie in one TextArena of the list. Names are ordered by UTF-16 code
// units (ordinal, case-sensitive: names differing only in case are two entries).
//
// Entry provides: std::wstring_view name; size_t ArenaChars() const (its characters in the
// arena); void MoveTexts(TextArena* arena) (places its texts in arena, which may be another
// one). Texts of entries gone are counted, and the arena rebuilt once they are most of it. No
// Windows header.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "resources/TextArena.h"

template <typename Entry>
class NameSortedEntries {
  public:
    NameSortedEntries() = default;
    // A copy holds its own texts.
    NameSortedEntries(const NameSortedEntries& other) { *this = other; }
    NameSortedEntries& operator=(const NameSortedEntries& other) {
        if (this == &other) return *this;
        other.Merge();
        TextArena arena;
        std::vector<Entry> entries;
        entries.reserve(other.sorted_.size());
        for (const Entry& from : other.sorted_) {
            entries.push_back(from);
            entries.back().MoveTexts(&arena);
        }
        sorted_.swap(entries);
        pending_.clear();
        appending_ = other.appending_;
        arena_ = std::move(arena);
        deadChars_ = 0;
        return *this;
    }
    NameSortedEntries(NameSortedEntries&&) noexcept = default;
    NameSortedEntries& operator=(NameSortedEntries&&) noexcept = default;

    bool empty() const { return sorted_.empty() && pending_.empty(); }
    size_t size() const { return sorted_.size() + pending_.size(); }
    void clear() {
        sorted_.clear();
        pending_.clear();
        appending_ = false;
        arena_.clear();
        deadChars_ = 0;
    }
    // Room for that many entries in all.
    void Reserve(size_t count) {
        if (sorted_.capacity() < count) sorted_.reserve(count);
    }
    TextArena& Arena() { return arena_; }

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
        const std::wstring_view name = entry.name;
        pending_.insert(std::lower_bound(pending_.begin(), pending_.end(), name, NameBefore),
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
        // Lists are mostly written in name order already.
        if (!std::is_sorted(sorted_.begin(), sorted_.end(), ByName)) {
            std::stable_sort(sorted_.begin(), sorted_.end(), ByName);
        }
        auto out = sorted_.begin();
        for (auto in = sorted_.begin(); in != sorted_.end(); ++in) {
            if (out != sorted_.begin() && (out - 1)->name == in->name) {
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
            while (name != names.end() && **name < entry.name) ++name;
            if (name == names.end() || **name != entry.name) return false;
            Dropped(entry);
            return true;
        });
        sorted_.erase(kept, sorted_.end());
        DropEntries();
    }

    // Counts the arena characters an entry no longer uses (a text replaced, an entry gone);
    // DropEntries after the last of a series rebuilds the arena when they are most of it.
    void Dropped(size_t chars) { deadChars_ += chars; }
    void Dropped(const Entry& entry) { deadChars_ += entry.ArenaChars(); }
    void DropEntries() {
        if (deadChars_ < kMinDeadChars || deadChars_ * 2 <= arena_.used()) return;
        TextArena fresh;
        for (Entry& entry : sorted_) entry.MoveTexts(&fresh);
        for (Entry& entry : pending_) entry.MoveTexts(&fresh);
        arena_ = std::move(fresh);
        deadChars_ = 0;
    }

  private:
    // Arena characters below which a rebuild is not worth it.
    static const size_t kMinDeadChars = 1 << 16;

    static bool ByName(const Entry& a, const Entry& b) { return a.name < b.name; }
    static bool NameBefore(const Entry& entry, std::wstring_view name) { return entry.name < name; }
    static Entry* FindIn(std::vector<Entry>& entries, std::wstring_view name) {
        const auto found = std::lower_bound(entries.begin(), entries.end(), name, NameBefore);
        return found != entries.end() && found->name == name ? &*found : nullptr;
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
            if (i > 0 && pending_[j - 1].name < sorted_[i - 1].name) {
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
    size_t deadChars_ = 0;  // characters of the arena no entry uses
};
