// Writes the package files of a CDN tree: OUT\pkg\0001\qz_game.qzpkg, OUT\pkg\0002\... Each
// input file becomes one gzip stream, back to back; a file that would carry a package past the
// size limit starts the next package (a file larger than the limit gets a package of its own).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/ScopedHandle.h"

struct PackedEntry {
    std::wstring packageDir;  // "pkg/0001": relative to the CDN base, "/" between parts
    int64_t offset = 0;
    int32_t length = 0;
    std::string md5;  // 16 bytes
    int64_t inputSize = 0;
};

class PackageWriter {
  public:
    PackageWriter(const std::wstring& outDir, int64_t limitBytes);
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Compresses the file at path into the current package (or the next one).
    bool Add(const std::wstring& path, PackedEntry* entry, std::wstring* error);
    // Closes the open package.
    void Close();
    // Deletes every file and folder this writer created (after a failure).
    void RemoveOutput();
    int32_t PackageCount() const { return index_; }

    // "pkg/0001" for index 1; four digits at least.
    static std::wstring PackageDirName(int32_t index);
    static const wchar_t kPackageFileName[];

  private:
    bool OpenNextPackage(std::wstring* error);
    bool MoveTail(int64_t start, int64_t length, std::wstring* error);
    bool MakeDirectory(const std::wstring& dir, std::wstring* error);

    std::wstring outDir_;  // ends with "\"
    int64_t limit_;
    int32_t index_ = 0;
    ombrix::ScopedFileHandle file_;
    int64_t size_ = 0;
    std::vector<std::wstring> createdFiles_;
    std::vector<std::wstring> createdDirs_;
};
