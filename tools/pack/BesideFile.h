// A file written beside its place (PATH.new) piece by piece, never held whole in memory, and
// renamed into place by Commit. A file that is not committed is deleted again.
#pragma once

#include <string>

#include "framework/ScopedHandle.h"

class BesideFile {
  public:
    explicit BesideFile(const std::wstring& path);
    ~BesideFile();
    BesideFile(const BesideFile&) = delete;
    BesideFile& operator=(const BesideFile&) = delete;

    // Creates PATH.new (replacing one left behind). False when it cannot.
    bool Open();
    // Appends bytes (written out a piece at a time). False once any write failed.
    bool Append(const std::string& bytes);
    // Writes what is left, closes the file and renames it to PATH (over a file there when
    // replace). False, with the file deleted, when any step failed.
    bool Commit(bool replace);

  private:
    bool Flush();

    std::wstring path_;
    std::wstring beside_;
    ombrix::ScopedFileHandle file_;
    std::string pending_;
    bool failed_ = false;
    bool committed_ = false;
};
