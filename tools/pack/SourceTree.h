// An input file by the relative name the launcher installs it under, and the folder paths of a
// publish.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceFile {
    std::wstring name;  // relative, "\" between folders
    std::wstring path;  // full path to read
};

// The absolute form of path with a trailing "\" (empty when it cannot be resolved).
std::wstring FullDirectoryPath(const std::wstring& path);

// True when inner is outer or lies below it (both absolute with trailing "\", any case).
bool IsSameOrBelow(const std::wstring& inner, const std::wstring& outer);
