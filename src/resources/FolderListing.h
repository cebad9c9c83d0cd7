// Existence, size and last write time of many files below one folder, for one directory read per
// folder that holds them instead of one query per file. Each folder is opened once and read in
// large blocks of entries, so that a folder of hundreds of files costs a few calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "resources/QuickCheck.h"

class FolderListing {
  public:
    static constexpr size_t kDefaultBlockBytes = 64 * 1024;

    // blockBytes: the size of one read of entries (at least enough for one entry of the
    // longest name; smaller values are raised to that).
    explicit FolderListing(size_t blockBytes = kDefaultBlockBytes);

    // Lists every folder below root (which ends with "\") that holds one of the relative names
    // ("\" or "/" between folders). Earlier listings are dropped.
    void ListFoldersOf(const std::wstring& root, const std::vector<const std::wstring*>& names);
    // The file of that relative name as listed, letter case ignored as the file system ignores
    // it; null when its folder holds no such file (folders do not count). One thread at a time.
    const ListedFile* Find(std::wstring_view name) const;

  private:
    void ListFolder(const std::wstring& path, const std::wstring& foldedFolder);

    size_t blockBytes_;
    std::unordered_map<std::wstring, ListedFile> files_;  // by folded relative name
    mutable std::wstring key_;                            // Find's, kept from call to call
};
