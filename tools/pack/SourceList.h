// The input files of a publish, held compactly for sets of half a million files: every
// relative name once, in one block of text, and per file its size and write time. The game's
// files come first, then the launcher's, each set sorted by name (ordinal, UTF-16 code units).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "SourceTree.h"

class SourceList {
  public:
    // Lists every file below dir (recursively) as the game's set, or the launcher's; the game's
    // set is listed first. False with a message when a folder cannot be listed.
    bool AddFolder(const std::wstring& dir, bool launcher, std::wstring* error);

    size_t Size() const { return files_.size(); }
    size_t GameFiles() const { return gameFiles_; }
    bool IsLauncher(size_t i) const { return i >= gameFiles_; }
    std::wstring Name(size_t i) const { return names_.substr(files_[i].nameAt, files_[i].length); }
    // The name compared with text: <0, 0 or >0 as std::wstring::compare.
    int CompareName(size_t i, std::wstring_view text) const {
        return names_.compare(files_[i].nameAt, files_[i].length, text);
    }
    std::wstring Path(size_t i) const { return roots_[IsLauncher(i) ? 1 : 0] + Name(i); }
    int64_t FileSize(size_t i) const { return files_[i].size; }
    uint64_t WriteTime(size_t i) const { return files_[i].writeTime; }

    // Checks every name as CheckPublishableSet does, one set at a time. False with a message naming
    // the file.
    bool CheckNames(std::wstring* error) const;

  private:
    struct File {
        uint32_t nameAt = 0;
        uint32_t length = 0;
        int64_t size = 0;
        uint64_t writeTime = 0;
    };
    bool ListInto(const std::wstring& dir, const std::wstring& prefix, std::wstring* error);
    bool CheckSet(size_t begin, size_t end, bool launcher, std::wstring* error) const;

    std::wstring names_;
    std::vector<File> files_;
    std::wstring roots_[2];  // the game's and the launcher's folder, ending with "\"
    size_t gameFiles_ = 0;
};
