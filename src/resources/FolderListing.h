// Existence, size and last write time of many files below one folder, for one directory read per
// folder that holds them instead of one query per file.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "resources/QuickCheck.h"

class FolderListing {
  public:
    // Lists every folder below root (which ends with "\") that holds one of the relative names
    // ("\" or "/" between folders). Earlier listings are dropped.
    void ListFoldersOf(const std::wstring& root, const std::vector<const std::wstring*>& names);
    // The file of that relative name as listed, letter case ignored as the file system ignores
    // it; null when its folder holds no such file (folders do not count).
    const ListedFile* Find(const std::wstring& name) const;

  private:
    std::unordered_map<std::wstring, ListedFile> files_;  // by folded relative name
};
