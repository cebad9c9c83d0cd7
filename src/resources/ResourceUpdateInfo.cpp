#include "resources/ResourceUpdateInfo.h"

#include <algorithm>

ResourceUpdateList::Items& ResourceUpdateList::Writable() {
    if (!items_) {
        items_ = std::make_shared<Items>();
    } else if (items_.use_count() > 1) {
        items_ = std::make_shared<Items>(*items_);
    }
    return *items_;
}

void ResourceUpdateList::Add(uint32_t index, ResourceUpdateType type,
                             const PackedDigest<16>* localMd5) {
    Items& items = Writable();
    if (type == UpdateTypeChanged) {
        items.localDigests.emplace_back(static_cast<uint32_t>(items.indexes.size()),
                                        localMd5 != nullptr ? *localMd5 : PackedDigest<16>());
        index |= kChangedBit;
    }
    items.indexes.push_back(index);
}

void ResourceUpdateList::AddFrom(const ResourceUpdateList& other, size_t i) {
    Add(other.Index(i), other.Type(i), other.LocalDigest(i));
}

void ResourceUpdateList::Compact() {
    if (!items_) return;
    Items& items = Writable();
    items.indexes.shrink_to_fit();
    items.localDigests.shrink_to_fit();
}

const PackedDigest<16>* ResourceUpdateList::LocalDigest(size_t i) const {
    if ((items_->indexes[i] & kChangedBit) == 0) return nullptr;
    const auto& digests = items_->localDigests;
    const auto found = std::lower_bound(
        digests.begin(), digests.end(), i,
        [](const std::pair<uint32_t, PackedDigest<16>>& d, size_t at) { return d.first < at; });
    return found != digests.end() && found->first == i ? &found->second : nullptr;
}

ResourceUpdateInfo ResourceUpdateList::operator[](size_t i) const {
    const ResoureConfigEntry& entry = Entry(i);
    ResourceUpdateInfo update;
    update.name = std::wstring(source_->Name(entry));
    if (const PackedDigest<16>* local = LocalDigest(i)) update.localMd5 = *local;
    update.remoteMd5 = entry.md5;
    update.updateType = Type(i);
    update.packageDir = source_->Folder(entry);
    update.offset = entry.offset;
    update.length = entry.length;
    update.remoteSha256 = entry.sha256;
    return update;
}
