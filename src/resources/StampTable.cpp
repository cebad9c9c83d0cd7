#include "resources/StampTable.h"

#include <algorithm>

namespace {

const size_t kMinDeadChars = 1 << 16;

bool ByName(const TableStamp& a, const TableStamp& b) {
    return a.name < b.name;
}

}  // namespace

void StampTable::clear() {
    sorted_.clear();
    pending_.clear();
    arena_.clear();
    deadChars_ = 0;
}

void StampTable::swap(StampTable& other) {
    sorted_.swap(other.sorted_);
    pending_.swap(other.pending_);
    std::swap(arena_, other.arena_);
    std::swap(deadChars_, other.deadChars_);
}

void StampTable::Append(std::wstring_view name, uint64_t size, uint64_t writeTime,
                        std::wstring_view digest) {
    TableStamp stamp;
    stamp.name = arena_.Add(name);
    stamp.size = size;
    stamp.writeTime = writeTime;
    stamp.digest.Assign(digest, &arena_);
    sorted_.push_back(std::move(stamp));
}

void StampTable::Sort() {
    // A list is written in name order: mostly nothing to sort.
    if (!std::is_sorted(sorted_.begin(), sorted_.end(), ByName)) {
        std::stable_sort(sorted_.begin(), sorted_.end(), ByName);
    }
    auto out = sorted_.begin();
    for (auto in = sorted_.begin(); in != sorted_.end(); ++in) {
        if (out != sorted_.begin() && (out - 1)->name == in->name) {
            Dropped(*in);  // the first of a name stays
        } else if (out++ != in) {
            *(out - 1) = std::move(*in);
        }
    }
    sorted_.erase(out, sorted_.end());
    CompactIfWasteful();
}

TableStamp StampTable::NewStamp(std::wstring_view name, uint64_t size, uint64_t writeTime,
                                const PackedDigest<16>& digest) {
    TableStamp stamp;
    stamp.name = arena_.Add(name);
    stamp.size = size;
    stamp.writeTime = writeTime;
    stamp.digest.Keep(digest, &arena_);
    return stamp;
}

void StampTable::Set(std::wstring_view name, uint64_t size, uint64_t writeTime,
                     const PackedDigest<16>& digest) {
    pending_.push_back(NewStamp(name, size, writeTime, digest));
}

void StampTable::EraseNames(std::vector<std::wstring_view> names) {
    if (names.empty()) return;
    Merge();
    std::sort(names.begin(), names.end());
    auto name = names.begin();
    const auto kept = std::remove_if(sorted_.begin(), sorted_.end(), [&](const TableStamp& stamp) {
        while (name != names.end() && *name < stamp.name) ++name;
        if (name == names.end() || *name != stamp.name) return false;
        Dropped(stamp);
        return true;
    });
    sorted_.erase(kept, sorted_.end());
    CompactIfWasteful();
}

const StampTable::Stamps& StampTable::Sorted() {
    Merge();
    return sorted_;
}

StampTable::Stamps StampTable::TakeSorted() {
    Merge();
    Stamps taken;
    taken.swap(sorted_);
    return taken;
}

void StampTable::Replace(Stamps stamps) {
    sorted_ = std::move(stamps);
    // What the walk left out is counted from the arena's size: the stamps held use the rest.
    size_t live = 0;
    for (const Stamps* held : {&sorted_, &pending_}) {
        for (const TableStamp& stamp : *held) {
            live += stamp.name.size() + (stamp.digest.InArena() ? stamp.digest.View().size() : 0);
        }
    }
    deadChars_ = arena_.used() > live ? arena_.used() - live : 0;
    Merge();
    CompactIfWasteful();
}

void StampTable::Reserve(size_t count) {
    if (sorted_.capacity() < count) sorted_.reserve(count);
}

void StampTable::Merge() {
    if (pending_.empty()) return;
    // The last set of a name wins: sorted stably, the last of each run of a name is kept.
    std::stable_sort(pending_.begin(), pending_.end(), ByName);
    auto out = pending_.begin();
    for (auto in = pending_.begin(); in != pending_.end(); ++in) {
        if (in + 1 != pending_.end() && (in + 1)->name == in->name) {
            Dropped(*in);
        } else if (out++ != in) {
            *(out - 1) = std::move(*in);
        }
    }
    pending_.erase(out, pending_.end());
    // Stamps of names held replace theirs in place; the others join from the back, so that
    // nothing but the sorted stamps' own room is allocated.
    std::vector<bool> held(pending_.size());
    size_t added = 0;
    for (size_t p = 0; p < pending_.size(); ++p) {
        const auto at = std::lower_bound(sorted_.begin(), sorted_.end(), pending_[p], ByName);
        if (at != sorted_.end() && at->name == pending_[p].name) {
            Dropped(*at);
            *at = std::move(pending_[p]);
            held[p] = true;
        } else {
            ++added;
        }
    }
    size_t i = sorted_.size();
    size_t j = pending_.size();
    // A quarter more than needed: room grows in steps of a quarter rather than doubling.
    if (sorted_.capacity() < i + added) sorted_.reserve((i + added) + (i + added) / 4);
    sorted_.resize(i + added);
    size_t k = sorted_.size();
    while (j > 0) {
        if (held[j - 1]) {
            --j;
        } else if (i > 0 && pending_[j - 1].name < sorted_[i - 1].name) {
            sorted_[--k] = std::move(sorted_[--i]);
        } else {
            sorted_[--k] = std::move(pending_[--j]);
        }
    }
    pending_.clear();
    CompactIfWasteful();
}

void StampTable::Dropped(const TableStamp& stamp) {
    deadChars_ += stamp.name.size() + (stamp.digest.InArena() ? stamp.digest.View().size() : 0);
}

void StampTable::CompactIfWasteful() {
    if (deadChars_ < kMinDeadChars || deadChars_ * 2 <= arena_.used()) return;
    TextArena fresh;
    for (Stamps* stamps : {&sorted_, &pending_}) {
        for (TableStamp& stamp : *stamps) {
            stamp.name = fresh.Add(stamp.name);
            if (stamp.digest.InArena()) stamp.digest.Assign(stamp.digest.View(), &fresh);
        }
    }
    arena_ = std::move(fresh);
    deadChars_ = 0;
}
