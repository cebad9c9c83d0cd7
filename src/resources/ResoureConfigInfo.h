// One line of a resource manifest: a file's relative name, its digest and, in the CDN
// configuration, where its compressed bytes lie in a package and whether it is a launcher file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ResoureConfigInfo {
    std::wstring name;        // relative to the target directory, "\" between folders
    std::wstring md5;         // digest text, compared exactly; empty = missing locally
    std::wstring packageDir;  // CDN directory (relative to the base URL) of "qz_game.qzpkg"
    int64_t offset = 0;       // first byte of the file's data inside the package
    int32_t length = 0;       // bytes of the file's data inside the package
    std::wstring category;    // "launcher" (any case) marks a file of the launcher itself
    std::wstring sha256;      // CDN configuration: SHA-256 of the range as stored (field 7)
};

using ResoureConfigList = std::vector<ResoureConfigInfo>;
// Lists keyed by name: ResoureConfigMap.h.
