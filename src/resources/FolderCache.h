// The folders a batch has made sure of, so that each folder of a batch costs one check, not one
// per file. Shared by the workers of a batch.
#pragma once

#include <set>
#include <string>

#include "framework/CriticalSection.h"

class FolderCache {
  public:
    // Creates the folder holding path (everything before its last "\") and its missing parents,
    // once per folder until Clear. False when path has no folder part or it cannot be made.
    bool EnsureParentOf(const std::wstring& path);
    // Forgets every folder (a new batch checks again).
    void Clear();

  private:
    ombrix::CriticalSection lock_;
    std::set<std::wstring> known_;
};
