// Existence, size and last write time of many files below one folder, for one directory read per
// folder that holds them instead of one query per file. Each folder is opened once and read in
// large blocks of entries, so that a folder of hundreds of files costs a few calls; the folders
// are shared out among a few threads, since reading a folder's entries costs more processor time
// than waiting. The files' folded names lie in one arena, found through an open-addressed index.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resources/QuickCheck.h"

class FolderListing {
  public:
    static constexpr size_t kDefaultBlockBytes = 64 * 1024;
    static constexpr unsigned kDefaultThreads = 2;

    // blockBytes: the size of one read of entries (at least enough for one entry of the
    // longest name; smaller values are raised to that). threads: how many folders are read at
    // once (at least one: the calling thread).
    explicit FolderListing(size_t blockBytes = kDefaultBlockBytes,
                           unsigned threads = kDefaultThreads);

    // Lists every folder below root (which ends with "\") that holds one of the relative names
    // ("\" or "/" between folders). Earlier listings are dropped.
    void ListFoldersOf(const std::wstring& root, const std::vector<const std::wstring*>& names);
    // The file of that relative name as listed, letter case ignored as the file system ignores
    // it; null when its folder holds no such file (folders do not count). Of two files whose
    // names differ in case only (a case-sensitive file system) the first listed is found. One
    // thread at a time.
    const ListedFile* Find(std::wstring_view name) const;
    // Files listed.
    size_t size() const { return files_.size(); }

  private:
    struct Listed {
        uint64_t hash = 0;
        uint32_t key = 0;        // first unit of the folded name in keys_
        uint32_t keyLength = 0;  // its units
        ListedFile file;
    };
    // What one thread lists: folded names one after another, and the files naming them.
    struct Part {
        std::vector<wchar_t> keys;
        std::vector<Listed> files;
    };

    void ListFolder(const std::wstring& path, const std::wstring& foldedFolder, Part* part) const;
    void BuildIndex();
    const Listed* Lookup(uint64_t hash, const wchar_t* key, size_t length) const;

    size_t blockBytes_;
    unsigned threads_;
    std::vector<wchar_t> keys_;
    std::vector<Listed> files_;
    std::vector<uint32_t> index_;  // 0: free; otherwise a position in files_ plus one
    mutable std::wstring key_;     // Find's, kept from call to call
};
