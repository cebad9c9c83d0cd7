// What the last publish into a tree read of each input file: its size and last write time as
// the folder listing gave them, and its digest. A later release takes the digest of a file
// whose size and time are unchanged from here, without reading the file, when the tree still
// stores that content. A file changed without a new time or size is then published as it
// was before (with its previous, matching bytes); --rehash reads every file.
// Kept in TREE\source-stamps.txt: "game|launcher=name=size=time=md5" per line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// In the order the inputs are published: game files, then launcher files, each by name. A
// lookup walks them beside the inputs (an entry out of order is only not found). Held for half
// a million files: every name once, in one block of text, and per stamp its numbers and the
// digest as bytes.
class SourceStamps {
  public:
    size_t Size() const { return stamps_.size(); }
    bool IsLauncher(size_t k) const { return (stamps_[k].length & kLauncher) != 0; }
    std::wstring_view Name(size_t k) const {
        return std::wstring_view(names_).substr(stamps_[k].nameAt, stamps_[k].length & ~kLauncher);
    }
    int64_t FileSize(size_t k) const { return stamps_[k].size; }
    uint64_t WriteTime(size_t k) const { return stamps_[k].writeTime; }
    std::string Md5(size_t k) const {
        return std::string(reinterpret_cast<const char*>(stamps_[k].md5), 16);
    }

    // False when the name is too long or the names reach 4 GiB of text.
    bool Add(bool launcher, std::wstring_view name, int64_t size, uint64_t writeTime,
             const unsigned char* md5);
    void Compact();

  private:
    static const uint32_t kLauncher = 0x80000000u;  // in length, above the name's length
    struct Stamp {
        uint32_t nameAt = 0;
        uint32_t length = 0;
        int64_t size = 0;
        uint64_t writeTime = 0;
        unsigned char md5[16] = {};
    };
    std::wstring names_;
    std::vector<Stamp> stamps_;
};

extern const wchar_t kSourceStampsName[];

// Reads the stamps of the tree below root (none when the file is missing; a damaged line is
// skipped), pieceBytes of the file at a time.
SourceStamps ReadSourceStamps(const std::wstring& root, size_t pieceBytes = size_t(1) << 20);
