// One planned file action of an update (a file to fetch or to remove), and the plan of the files
// to fetch. No Windows header.
#pragma once

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "resources/PackedDigest.h"
#include "resources/ResoureConfigMap.h"

enum ResourceUpdateType : int32_t {
    UpdateTypeNone = 0,  // the configuration request
    UpdateTypeAdded = 1,
    UpdateTypeRemoved = 2,
    UpdateTypeChanged = 3,
};

struct ResourceUpdateInfo {
    std::wstring name;  // relative name (manifest field 1)
    // Digests packed into bytes where their text allows (PackedDigest gives the text back).
    PackedDigest<16> localMd5;   // digest of the local list; empty for a file it does not have
    PackedDigest<16> remoteMd5;  // digest of the CDN list; for a removal, the local digest
    int32_t updateType = UpdateTypeNone;
    std::wstring packageDir;  // manifest field 3
    int64_t offset = 0;       // manifest field 4; -1 for the configuration request
    int32_t length = 0;       // manifest field 5; summed as an unsigned 32-bit amount
    // SHA-256 of the range as stored (CDN field 7; may be empty), its text packed into bytes
    PackedDigest<32> remoteSha256;
};

// Files to remove: few, kept as whole records (their names outlive changes of the local list).
using ResourceRemovalList = std::vector<ResourceUpdateInfo>;

// The files to fetch, in plan order: each one an entry of the CDN list it was planned from, held
// as its index there, whether it is new or changed and, for a changed file, its local digest. The
// plan holds its own reference to that list, which nobody changes, so the plan reads the same
// entries however often the configuration is fetched again. Items are handed out as
// ResourceUpdateInfo by value. Copies share the items (a change to one copies them first), so
// handing a plan to a batch costs nothing per file.
class ResourceUpdateList {
  public:
    using Source = std::shared_ptr<const ResoureConfigMap>;

    ResourceUpdateList() = default;
    explicit ResourceUpdateList(Source source) : source_(std::move(source)) {}

    size_t size() const { return items_ ? items_->indexes.size() : 0; }
    bool empty() const { return size() == 0; }
    // No items and no list.
    void clear() {
        items_.reset();
        source_.reset();
    }

    // Appends the entry at index of the list: UpdateTypeAdded, or UpdateTypeChanged with the
    // local digest.
    void Add(uint32_t index, ResourceUpdateType type, const PackedDigest<16>* localMd5 = nullptr);
    // Appends item i of other, a plan over the same list.
    void AddFrom(const ResourceUpdateList& other, size_t i);
    // Room for that many items in all; Compact after the last Add gives back what is not used.
    void Reserve(size_t count) { Writable().indexes.reserve(count); }
    void Compact();

    const Source& SharedSource() const { return source_; }
    // The index of item i in the list, and its entry there.
    uint32_t Index(size_t i) const { return items_->indexes[i] & kIndexMask; }
    const ResoureConfigEntry& Entry(size_t i) const { return source_->begin()[Index(i)]; }
    std::wstring_view Name(size_t i) const { return source_->Name(Entry(i)); }
    ResourceUpdateType Type(size_t i) const {
        return (items_->indexes[i] & kChangedBit) != 0 ? UpdateTypeChanged : UpdateTypeAdded;
    }
    // Item i as a record.
    ResourceUpdateInfo operator[](size_t i) const;

    class const_iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ResourceUpdateInfo;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ResourceUpdateInfo;

        const_iterator(const ResourceUpdateList* list, size_t i) : list_(list), i_(i) {}
        ResourceUpdateInfo operator*() const { return (*list_)[i_]; }
        const_iterator& operator++() {
            ++i_;
            return *this;
        }
        bool operator==(const const_iterator& other) const { return i_ == other.i_; }
        bool operator!=(const const_iterator& other) const { return i_ != other.i_; }

      private:
        const ResourceUpdateList* list_;
        size_t i_;
    };
    const_iterator begin() const { return const_iterator(this, 0); }
    const_iterator end() const { return const_iterator(this, size()); }

  private:
    static const uint32_t kChangedBit = 0x80000000u;
    static const uint32_t kIndexMask = 0x7FFFFFFFu;

    struct Items {
        std::vector<uint32_t> indexes;  // index in the list, kChangedBit for a changed file
        // The local digest of each changed file, by its position in the plan (ascending).
        std::vector<std::pair<uint32_t, PackedDigest<16>>> localDigests;
    };
    // The items, copied first when another plan shares them.
    Items& Writable();
    const PackedDigest<16>* LocalDigest(size_t i) const;

    Source source_;
    std::shared_ptr<Items> items_;
};
