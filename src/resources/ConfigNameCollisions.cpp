#include "resources/ConfigNameCollisions.h"

#include <algorithm>
#include <cstdint>

#include "resources/FileSystemCase.h"
#include "resources/ManifestText.h"
#include "resources/StreamHash.h"

namespace {

bool IsReservedLauncherName(const std::wstring& key) {
    static const wchar_t* const kKept[] = {L"VERSION.TXT",
                                           L"VERSION.TXT.NEW",
                                           L"VERSION.STAMPS",
                                           L"VERSION.STAMPS.NEW",
                                           L"LAUNCHER.TMP",
                                           L"LAUNCHER_MANIFEST.TXT",
                                           L"RELEASE_SERIAL.TXT",
                                           L"RELEASE_SERIAL.TXT.NEW",
                                           L"LAUNCHER_FAILED.TXT",
                                           L"OMBRIXENTRANCE.JOURNAL",
                                           L"GAME"};
    for (const wchar_t* kept : kKept) {
        const std::wstring name = kept;
        if (key == name || key.compare(0, name.size() + 1, name + L"\\") == 0) return true;
    }
    return false;
}

}  // namespace

namespace {

// FileSystemKey of size units at name, into key (its room is reused).
void FoldKey(const wchar_t* name, size_t size, std::wstring* key) {
    // The system's table folds the ASCII letters as a-z to A-Z and leaves the rest of ASCII as
    // it is: ASCII names, nearly all of them, are folded here without a call for each.
    bool ascii = true;
    for (size_t i = 0; i < size; ++i) ascii = ascii && name[i] < 0x80;
    if (ascii) {
        key->assign(name, size);
    } else {
        *key = FileSystemUpperCase(std::wstring(name, size));
    }
    for (wchar_t& c : *key) {
        if (c == L'/') {
            c = L'\\';
        } else if (ascii && c >= L'a' && c <= L'z') {
            c = static_cast<wchar_t>(c - L'a' + L'A');
        }
    }
}

}  // namespace

std::wstring FileSystemKey(const std::wstring& name) {
    std::wstring key;
    FoldKey(name.data(), name.size(), &key);
    return key;
}

namespace {

// Whether file-system keys meet (see NamesMeetInOneFolder); sorts keys.
bool KeysMeet(std::vector<std::wstring>* keys) {
    std::sort(keys->begin(), keys->end());
    if (std::adjacent_find(keys->begin(), keys->end()) != keys->end()) return true;
    const auto has = [keys](const std::wstring& key) {
        return std::binary_search(keys->begin(), keys->end(), key);
    };
    for (const std::wstring& key : *keys) {
        if (has(key + L".T")) return true;
        // Every folder on the way to this file must not be a file (nor its temporary name).
        for (size_t slash = key.find(L'\\'); slash != std::wstring::npos;
             slash = key.find(L'\\', slash + 1)) {
            const std::wstring folder = key.substr(0, slash);
            if (has(folder)) return true;
            if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, L".T") == 0 &&
                has(folder.substr(0, folder.size() - 2))) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool NamesMeetInOneFolder(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> keys;
    keys.reserve(names.size());
    for (const std::wstring& name : names) keys.push_back(FileSystemKey(name));
    return KeysMeet(&keys);
}

bool HasCollidingNames(const ResoureConfigList& list) {
    // The keys alone, sorted, without a copy of the names.
    std::vector<std::wstring> resources;
    std::vector<std::wstring> launcher;
    for (const ResoureConfigInfo& info : list) {
        std::wstring key = FileSystemKey(info.name);
        if (IsLauncherCategory(info.category)) {
            if (IsReservedLauncherName(key)) return true;
            launcher.push_back(std::move(key));
        } else {
            resources.push_back(std::move(key));
        }
    }
    return KeysMeet(&resources) || KeysMeet(&launcher);
}

namespace {

// The keys of one map's names as sorted hashes; a key is folded again from its name only when
// a hash asked for is met, to tell a true meeting from two keys that share a hash.
class HashedKeys {
  public:
    explicit HashedKeys(const ResoureConfigMap& map) : map_(map) {}

    // False when a launcher name is reserved (launcher set).
    bool Build(bool launcher) {
        const ResoureConfigMap& map = map_;
        hashes_.reserve(map.size());
        for (const ResoureConfigEntry& entry : map) {
            Fold(entry, &key_);
            if (launcher && IsReservedLauncherName(key_)) return false;
            StreamHash hash;
            hash.Add(key_.data(), key_.size());
            hashes_.push_back(Hashed{hash.Value(), &entry});
        }
        std::sort(hashes_.begin(), hashes_.end(), [](const Hashed& a, const Hashed& b) {
            return a.hash < b.hash || (a.hash == b.hash && a.entry < b.entry);
        });
        return true;
    }

    // Whether two names share a key, a key is another's plus ".T", or a folder on the way to a
    // file is a file or its temporary name (KeysMeet, without the keys).
    bool Meet() {
        const ResoureConfigMap& map = map_;
        for (size_t i = 1; i < hashes_.size(); ++i) {
            if (hashes_[i].hash != hashes_[i - 1].hash) continue;
            Fold(*hashes_[i].entry, &key_);
            if (Has(hashes_[i - 1].hash, key_.data(), key_.size(), hashes_[i].entry)) return true;
        }
        std::vector<uint64_t> prefix(
            1, StreamHash::kStart);                  // prefix[n]: the hash of the first n units
        std::wstring previous;                       // the key before, folded
        size_t previousFolder = std::wstring::npos;  // the end of its folders (its last "\")
        // In name order, which keeps the names of a folder together: the folders on the way to
        // a name were checked with the name before when both lie in the same folder.
        for (const ResoureConfigEntry& entry : map) {
            Fold(entry, &key_);
            const size_t folder = key_.rfind(L'\\');
            const bool checked = folder != std::wstring::npos && folder == previousFolder &&
                                 key_.compare(0, folder, previous, 0, folder) == 0;
            const size_t from = checked ? folder + 1 : 0;  // prefix[0..from] still hold
            prefix.resize(from + 1);
            for (size_t i = from; i < key_.size(); ++i) {
                prefix.push_back(StreamHash::Step(prefix.back(), key_[i]));
            }
            previous = key_;
            previousFolder = folder;
            for (size_t slash = key_.find(L'\\', from); slash != std::wstring::npos;
                 slash = key_.find(L'\\', slash + 1)) {
                if (Has(prefix[slash], key_.data(), slash, nullptr)) return true;
                if (slash > 2 && key_.compare(slash - 2, 2, L".T") == 0 &&
                    Has(prefix[slash - 2], key_.data(), slash - 2, nullptr)) {
                    return true;
                }
            }
            const size_t size = key_.size();
            key_ += L".T";
            if (Has(StreamHash::Step(StreamHash::Step(prefix.back(), L'.'), L'T'), key_.data(),
                    key_.size(), nullptr)) {
                return true;
            }
            key_.resize(size);
        }
        return false;
    }

  private:
    struct Hashed {
        uint64_t hash;
        const ResoureConfigEntry* entry;
    };

    // Whether an entry other than self has the key of size units at key, whose hash is hash.
    bool Has(uint64_t hash, const wchar_t* key, size_t size, const ResoureConfigEntry* self) {
        auto it = std::lower_bound(hashes_.begin(), hashes_.end(), hash,
                                   [](const Hashed& a, uint64_t h) { return a.hash < h; });
        for (; it != hashes_.end() && it->hash == hash; ++it) {
            if (it->entry == self) continue;
            Fold(*it->entry, &other_);
            if (other_.size() == size && other_.compare(0, size, key, size) == 0) return true;
        }
        return false;
    }

    // The file-system key of an entry's name.
    void Fold(const ResoureConfigEntry& entry, std::wstring* key) const {
        const std::wstring_view name = map_.Name(entry);
        FoldKey(name.data(), name.size(), key);
    }

    const ResoureConfigMap& map_;
    std::vector<Hashed> hashes_;
    std::wstring key_;
    std::wstring other_;
};

bool MapKeysMeet(const ResoureConfigMap& map, bool launcher) {
    HashedKeys keys(map);
    return !keys.Build(launcher) || keys.Meet();
}

}  // namespace

bool HasCollidingNames(const ResoureConfigMap& resources, const ResoureConfigMap& launcherFiles) {
    return MapKeysMeet(resources, false) || MapKeysMeet(launcherFiles, true);
}
