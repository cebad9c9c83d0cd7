#include "resources/StampTable.h"

#include <algorithm>

namespace {

bool ByName(const TableStamp& a, const TableStamp& b) {
    return a.name < b.name;
}

}  // namespace

void StampTable::clear() {
    Stamps().swap(sorted_);
    arena_.clear();
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
    // The first of a name stays; the texts of the others stay in the arena, which lives only
    // as long as the list is read.
    const auto last =
        std::unique(sorted_.begin(), sorted_.end(),
                    [](const TableStamp& a, const TableStamp& b) { return a.name == b.name; });
    sorted_.erase(last, sorted_.end());
}
