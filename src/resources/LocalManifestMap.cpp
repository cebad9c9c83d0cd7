#include "resources/LocalManifestMap.h"

#include <algorithm>

// A record is held once per installed file: its size is what the list costs beside the names.
static_assert(sizeof(void*) != 8 || sizeof(LocalRecord) <= 40, "a local record grew");

LocalManifestMap::const_iterator LocalManifestMap::find(std::wstring_view name) const {
    const std::vector<LocalRecord>& sorted = records_.Sorted();
    const auto at = std::lower_bound(
        sorted.cbegin(), sorted.cend(), name,
        [this](const LocalRecord& record, std::wstring_view key) { return Name(record) < key; });
    return at != sorted.cend() && Name(*at) == name ? at : sorted.cend();
}

LocalManifestMap::const_iterator LocalManifestMap::upper_bound(std::wstring_view name) const {
    const std::vector<LocalRecord>& sorted = records_.Sorted();
    return std::upper_bound(
        sorted.cbegin(), sorted.cend(), name,
        [this](std::wstring_view key, const LocalRecord& record) { return key < Name(record); });
}

void LocalManifestMap::BorrowNames(std::shared_ptr<const ResoureConfigMap> lender) {
    if (lender == lender_) return;
    records_.Lend(lender ? &lender->Names() : nullptr);
    lender_ = std::move(lender);
    if (!lender_) return;
    // One walk through both lists in name order.
    std::vector<LocalRecord>& sorted = records_.Sorted();
    auto other = lender_->begin();
    for (LocalRecord& record : sorted) {
        const std::wstring_view name = Name(record);
        while (other != lender_->end() && lender_->Name(*other) < name) ++other;
        if (other == lender_->end()) break;
        if (lender_->Name(*other) == name) records_.LendName(&record, other->name);
    }
    records_.DropEntries();
}

LocalRecord& LocalManifestMap::At(const_iterator at) {
    std::vector<LocalRecord>& sorted = records_.Sorted();
    return sorted[static_cast<size_t>(at - sorted.cbegin())];
}

LocalRecord& LocalManifestMap::Place(std::wstring_view name) {
    LocalRecord* found = records_.Find(name);
    if (found != nullptr) return *found;
    LocalRecord record;
    const ResoureConfigEntry* lent = nullptr;
    if (lender_) {
        const auto at = lender_->find(name);
        if (at != lender_->end()) lent = &*at;
    }
    if (lent != nullptr) {
        // The name the CDN list holds, kept once.
        record.name = lent->name | NameSortedEntries<LocalRecord>::kLent;
    } else {
        record.name = records_.AddName(name);
    }
    return records_.Insert(std::move(record));
}

void LocalManifestMap::Store(LocalRecord* record, const PackedDigest<16>& digest) {
    if (record->md5.InArena()) records_.Dropped(record->md5.View().size());
    record->md5.Keep(digest, &records_.Arena());
    records_.DropEntries();
}

void LocalManifestMap::SetDigest(std::wstring_view name, const PackedDigest<16>& digest) {
    LocalRecord& record = Place(name);
    if (record.md5 == digest) return;
    record.stamped = false;
    Store(&record, digest);
}

void LocalManifestMap::SetInstalled(std::wstring_view name, const PackedDigest<16>& digest,
                                    uint64_t size, uint64_t writeTime) {
    LocalRecord& record = Place(name);
    if (record.md5 != digest) Store(&record, digest);
    // Store may have moved the record's texts, never the record.
    record.stamped = true;
    record.size = size;
    record.writeTime = writeTime;
}

void LocalManifestMap::ClearDigest(const_iterator at) {
    LocalRecord& record = At(at);
    if (record.md5.InArena()) records_.Dropped(record.md5.View().size());
    record.md5.clear();
    record.stamped = false;
    records_.DropEntries();
}

void LocalManifestMap::SetStamp(const_iterator at, uint64_t size, uint64_t writeTime) {
    LocalRecord& record = At(at);
    record.stamped = true;
    record.size = size;
    record.writeTime = writeTime;
}

void LocalManifestMap::ClearStamp(const_iterator at) {
    At(at).stamped = false;
}

void LocalManifestMap::Append(std::wstring_view name, std::wstring_view md5) {
    LocalRecord record;
    record.name = records_.AddName(name);
    record.md5.Assign(md5, &records_.Arena());
    records_.Append(std::move(record));
}
