// An exclusive hold on a CDN tree for one run of the package tool (publish, prune, notice).
// The hold is an open handle on TREE\tree.lock that shares only reading and is deleted when it
// is closed: a second run cannot open it and is refused at once (it reads who holds the tree
// for its message). The system closes the handle when the process ends, however it ends, so
// a killed run leaves nothing that blocks; a file left by a run that could not close it (the
// machine stopped) is held by nobody, is recognised as left over and taken over.
#pragma once

#include <string>

#include "framework/ScopedHandle.h"

extern const wchar_t kTreeLockName[];

class TreeLock {
  public:
    TreeLock() = default;
    TreeLock(const TreeLock&) = delete;
    TreeLock& operator=(const TreeLock&) = delete;

    // root: the tree's folder, existing, ending with "\". run: what this run does, shown to a
    // run refused meanwhile ("publish r3"). False with a message when another run holds the
    // tree or the lock file cannot be created.
    bool Acquire(const std::wstring& root, const std::wstring& run, std::wstring* error);

    // What the left-over lock file said when Acquire took it over; empty otherwise.
    const std::wstring& TakenOver() const { return takenOver_; }

  private:
    ombrix::ScopedFileHandle file_;
    std::wstring takenOver_;
};
