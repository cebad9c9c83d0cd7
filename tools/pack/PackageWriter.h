// Writes new package files into a CDN tree: TREE\pkg\NNNN\qz_game.qzpkg, numbered upwards from
// a first number the tree has never used. Each input file becomes one gzip stream, back to
// back; a stream that would carry a package past the size limit starts the next package (a
// stream larger than the limit gets a package of its own). The contents list of the open package
// is written beside its place as its streams are added (nothing is held per stream) and put in
// place when the package is complete; a package is never opened again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BesideFile.h"
#include "GzipCompressor.h"
#include "PackageContents.h"
#include "framework/ScopedHandle.h"

struct PackedEntry {
    std::wstring packageDir;  // "pkg/0001": relative to the CDN base, "/" between parts
    int64_t offset = 0;
    int32_t length = 0;
    std::string md5;  // 16 bytes
    int64_t inputSize = 0;
    std::string sha256;  // 32 bytes: of the stream as stored (empty: not known yet)
};

class PackageWriter {
  public:
    PackageWriter(const std::wstring& treeDir, int32_t firstIndex, int64_t limitBytes);
    PackageWriter(const PackageWriter&) = delete;
    PackageWriter& operator=(const PackageWriter&) = delete;

    // Appends one gzip stream, compressed already, of a file with the given digest; sha256:
    // the stream's SHA-256 (32 bytes), or empty to have it computed here.
    bool AddStream(const std::string& gz, const FileDigest& digest, const std::string& sha256,
                   PackedEntry* entry, std::wstring* error);
    // Compresses the file at path straight into the packages (for files too large to hold).
    bool AddFile(const std::wstring& path, GzipCompressor* compressor, PackedEntry* entry,
                 std::wstring* error);
    // Completes the open package: closes it and writes its contents list.
    bool Close(std::wstring* error);
    // Deletes every file and folder this writer created (after a failure).
    void RemoveOutput();

    const std::vector<std::wstring>& Packages() const { return packages_; }
    int64_t BytesWritten() const { return bytesWritten_; }

    // "pkg/0001" for index 1; four digits at least.
    static std::wstring PackageDirName(int32_t index);
    static const wchar_t kPackageFileName[];

    // SHA-256 of length bytes at start of an open file; empty when they cannot be read.
    static std::string HashRange(HANDLE file, int64_t start, int64_t length);

  private:
    bool OpenNextPackage(std::wstring* error);
    bool Finish(int64_t start, int64_t length, const FileDigest& digest, const std::string& sha256,
                PackedEntry* entry, std::wstring* error);
    bool MoveTail(int64_t start, int64_t length, std::wstring* error);
    bool CommitContents(std::unique_ptr<BesideFile> contents, const std::wstring& dir,
                        std::wstring* error);
    bool MakeDirectory(const std::wstring& dir, std::wstring* error);

    std::wstring treeDir_;  // ends with "\"
    int64_t limit_;
    int32_t index_;
    std::wstring dir_;  // folder of the open package, ends with "\"
    ombrix::ScopedFileHandle file_;
    int64_t size_ = 0;
    std::unique_ptr<BesideFile> contents_;  // of the open package
    std::string line_;                      // one line of it, reused
    std::vector<std::wstring> packages_;
    int64_t bytesWritten_ = 0;
    std::vector<std::wstring> createdFiles_;
    std::vector<std::wstring> createdDirs_;
};
