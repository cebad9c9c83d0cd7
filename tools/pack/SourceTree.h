// The files of an input folder, as the relative names the launcher installs them under.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceFile {
    std::wstring name;       // relative, "\" between folders
    std::wstring path;       // full path to read
    int64_t size = 0;        // as the folder listing gave them
    uint64_t writeTime = 0;  // last write, 100 ns units
};

// Lists every file below dir (recursively, folders without files leave no trace), sorted by
// name. False with a message when a folder cannot be listed.
bool ListSourceFiles(const std::wstring& dir, std::vector<SourceFile>* files, std::wstring* error);

// The absolute form of path with a trailing "\" (empty when it cannot be resolved).
std::wstring FullDirectoryPath(const std::wstring& path);

// True when inner is outer or lies below it (both absolute with trailing "\", any case).
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer);
