#include "resources/FolderCache.h"

#include "app/FileServices.h"

bool FolderCache::EnsureParentOf(const std::wstring& path) {
    std::wstring parent;
    if (!GetParentDirectory(path, &parent) || parent.empty()) return false;
    {
        ombrix::ScopedLock guard(lock_);
        if (known_.count(parent) != 0) return true;
    }
    if (!DirectoryExists(parent)) CreateDirectories(parent);
    if (!DirectoryExists(parent)) return false;
    ombrix::ScopedLock guard(lock_);
    known_.insert(parent);
    return true;
}

void FolderCache::Clear() {
    ombrix::ScopedLock guard(lock_);
    known_.clear();
}
