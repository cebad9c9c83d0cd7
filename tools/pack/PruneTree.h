// Cleanup of a CDN tree: keeps the newest releases (by the record's publish order), every
// release a notice answer serves, every configuration the record does not list or the tool
// does not understand, and every package one of the kept configurations names; deletes the
// other releases' configurations first, then the packages nothing kept names (also those an
// interrupted publish left).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CdnTree.h"
#include "NoticeRecord.h"

struct KeptConfig {
    std::wstring file;    // tree-relative: "config\r1.txt"
    std::wstring reason;  // why it stays
};

struct PruneResult {
    std::vector<KeptConfig> kept;       // every configuration that stays, with why
    std::vector<std::wstring> notes;    // served releases the tree does not hold
    std::vector<std::wstring> deleted;  // tree-relative paths, in the order they went
    int64_t freedBytes = 0;
};

// tree comes from LoadCdnTree, served from ReadNoticeRecord. False with a message when
// something could not be deleted.
bool PruneTree(CdnTree* tree, size_t keep, const std::vector<ServedRelease>& served,
               PruneResult* result, std::wstring* error);
