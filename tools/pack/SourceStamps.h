// What the last publish into a tree read of each input file: its size and last write time as
// the folder listing gave them, and its digest. A later release takes the digest of a file
// whose size and time are unchanged from here, without reading the file, when the tree still
// stores that content. A file changed without a new time or size is then published as it
// was before (with its previous, matching bytes); --rehash reads every file.
// Kept in TREE\source-stamps.txt: "game|launcher=name=size=time=md5" per line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GzipCompressor.h"

struct SourceStamp {
    bool launcher = false;
    std::wstring name;
    int64_t size = 0;
    uint64_t writeTime = 0;
    std::string md5;  // 16 bytes
};

// In the order the inputs are published: game files, then launcher files, each by name. A
// lookup walks them beside the inputs (an entry out of order is only not found).
using SourceStamps = std::vector<SourceStamp>;

extern const wchar_t kSourceStampsName[];

// Reads the stamps of the tree below root (none when the file is missing or damaged).
SourceStamps ReadSourceStamps(const std::wstring& root);
// Writes them (beside, then renamed over the previous file).
bool WriteSourceStamps(const std::wstring& root, const SourceStamps& stamps);
