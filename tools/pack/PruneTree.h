// Cleanup of a CDN tree: keeps the newest releases (by the record's publish order) and every
// package one of their configurations names; deletes the older releases' configurations
// first, then the packages nothing kept names (also those an interrupted publish left).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CdnTree.h"

struct PruneResult {
    std::vector<std::wstring> deleted;  // tree-relative paths, in the order they went
    int64_t freedBytes = 0;
};

// tree comes from LoadCdnTree. Configurations the record does not list are kept, with their
// packages. False with a message when something could not be deleted.
bool PruneTree(CdnTree* tree, size_t keep, PruneResult* result, std::wstring* error);
