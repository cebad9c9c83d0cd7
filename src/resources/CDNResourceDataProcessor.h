// Sink of one file of a package. The range is unpacked while it streams in (RangeUnpacker)
// straight into the file at `path`, which is created at the range's first byte and closed at its
// last, so a segment of thousands of files holds one open file and one buffer at a time. The
// file counts as installed only when the range is complete, unpacks without error and, when the
// configuration digest is an MD5 digest, the MD5 of the written bytes (or of the range as stored)
// equals it, and, when the configuration gives the range's SHA-256, the SHA-256 of the range as
// it arrived equals that too; otherwise it is deleted again and the attempt fails (the transfer
// repeats it). A file installed once stays untouched by later attempts of the same segment. Byte
// counts go to onBytesWritten as new high-water marks, so a retried attempt never counts its bytes
// twice.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadDataProcessor.h"

class FolderCache;

class CDNResourceDataProcessor : public DownloadDataProcessor {
  public:
    // path: the file to write (its folders are created when missing); expectedDigest: the
    // configuration digest of the file; expectedSha256: the SHA-256 of its range (64 hexadecimal
    // digits; anything else checks nothing).
    CDNResourceDataProcessor(const DownloadTaskInfo& task, const std::wstring& path,
                             const std::wstring& expectedDigest, const std::wstring& expectedSha256,
                             FolderCache* folders);
    ~CDNResourceDataProcessor() override;

    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    bool OnData(const void* data, uint32_t size) override;
    // The written file's whole content (out untouched when it does not exist); true without
    // reading while an attempt is open.
    bool GetContent(std::string& out) override;

    bool IsInstalled() const { return installed_; }
    // Size and last write time (100 ns since 1601) of the installed file.
    uint64_t InstalledSize() const { return installedSize_; }
    uint64_t InstalledWriteTime() const { return installedWriteTime_; }
    const std::wstring& Path() const { return path_; }

    std::function<void(int64_t)> onBytesWritten;
    // Called once, on the worker's thread, when the file is installed and checked, with the
    // digest it was checked against.
    std::function<void(const DownloadTaskInfo&, const std::wstring& digest)> onInstalled;

  private:
    class FileOutput;
    struct Work;

    static std::unique_ptr<Work> TakeWork();
    static void ReturnWork(std::unique_ptr<Work> work);
    static std::mutex& PoolLock();
    static std::vector<Work*>& Spares();

    bool Open();
    // The range is complete: unpacks the rest, closes and checks the file.
    bool Complete();
    // Closes and deletes a file that did not pass.
    void Discard();
    // One log line for a file whose bytes did not check out; found is the digest they had.
    void LogCheckFailed(const char* reason, const std::string& found) const;
    void CountBytes(uint32_t size, bool last);

    std::wstring path_;
    std::wstring expectedDigest_;
    std::string expectedSha256_;  // 32 bytes, or empty: not checked
    FolderCache* folders_;
    // Open from the range's first byte to its last: the file, the unpacker and the digests,
    // taken from a pool shared by all sinks, so their buffers and state serve file after file.
    std::unique_ptr<Work> work_;
    bool checkDigest_;
    bool begun_ = false;      // an attempt is open
    bool failed_ = false;     // this attempt's file did not pass
    bool installed_ = false;  // the file passed (in this or an earlier attempt)
    uint64_t installedSize_ = 0;
    uint64_t installedWriteTime_ = 0;
    int64_t bytesThisAttempt_ = 0;
    int64_t bytesReported_ = 0;  // highest bytesThisAttempt_ of any attempt; never reset
    int64_t bytesPending_ = 0;   // counted but not yet reported
};
