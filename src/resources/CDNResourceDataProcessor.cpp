#include "resources/CDNResourceDataProcessor.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "app/Crypto.h"
#include "app/FileServices.h"
#include "app/Log.h"
#include "app/Sha256.h"
#include "app/TextFormat.h"
#include "framework/ScopedHandle.h"
#include "resources/ContentDigest.h"
#include "resources/FolderCache.h"
#include "resources/RangeUnpacker.h"
#include "resources/SignedConfig.h"

namespace {

// Byte counts are handed on in steps of this size (and at the end of each file), not per chunk.
const int64_t kReportStep = 256 * 1024;
// Spare work areas kept for the next files; more than the workers ever hold at once.
const size_t kSparesKept = 4;

}  // namespace

// Writes the unpacked bytes to the file and digests them on the way.
class CDNResourceDataProcessor::FileOutput : public RangeUnpacker::Output {
  public:
    bool Write(const char* data, size_t size) override {
        digest.Update(data, size);
        written += size;
        DWORD done = 0;
        writeFailed = !::WriteFile(file.Get(), data, static_cast<DWORD>(size), &done, nullptr) ||
                      done != size;
        return !writeFailed;
    }

    ombrix::ScopedFileHandle file;
    Md5Hasher digest;
    uint64_t written = 0;
    bool writeFailed = false;
};

struct CDNResourceDataProcessor::Work {
    RangeUnpacker unpacker;
    FileOutput output;
    Md5Hasher rangeDigest;  // of the range as it was stored (gzip ranges only)
    Sha256Hasher rangeSha256;
};

std::unique_ptr<CDNResourceDataProcessor::Work> CDNResourceDataProcessor::TakeWork() {
    {
        std::lock_guard<std::mutex> guard(PoolLock());
        if (!Spares().empty()) {
            std::unique_ptr<Work> work(Spares().back());
            Spares().pop_back();
            return work;
        }
    }
    return std::unique_ptr<Work>(new Work());
}

void CDNResourceDataProcessor::ReturnWork(std::unique_ptr<Work> work) {
    std::lock_guard<std::mutex> guard(PoolLock());
    if (Spares().size() < kSparesKept) Spares().push_back(work.release());
}

std::mutex& CDNResourceDataProcessor::PoolLock() {
    static std::mutex* lock = new std::mutex();  // never destroyed
    return *lock;
}

std::vector<CDNResourceDataProcessor::Work*>& CDNResourceDataProcessor::Spares() {
    static auto* spares = new std::vector<Work*>();  // never destroyed
    return *spares;
}

CDNResourceDataProcessor::CDNResourceDataProcessor(const DownloadTaskInfo& task,
                                                   const std::wstring& path,
                                                   const std::wstring& expectedDigest,
                                                   const std::wstring& expectedSha256,
                                                   FolderCache* folders)
    : DownloadDataProcessor(task),
      path_(path),
      expectedDigest_(expectedDigest),
      folders_(folders),
      checkDigest_(IsMd5DigestText(expectedDigest)) {
    if (IsSha256DigestText(expectedSha256)) {
        ParseHexBytes(std::string(expectedSha256.begin(), expectedSha256.end()), 32,
                      &expectedSha256_);
    }
}

CDNResourceDataProcessor::~CDNResourceDataProcessor() {
    Discard();
}

bool CDNResourceDataProcessor::Open() {
    work_ = TakeWork();
    work_->output.writeFailed = false;
    work_->output.written = 0;
    work_->unpacker.Reset();
    work_->output.digest.Reset();
    work_->rangeDigest.Reset();
    if (!expectedSha256_.empty()) work_->rangeSha256.Reset();
    if (folders_ != nullptr && !folders_->EnsureParentOf(path_)) return false;
    // Creating with truncation replaces an earlier file in the same call; only a file that
    // refuses it (read-only) is deleted first.
    HANDLE file = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_ACCESS_DENIED) {
        ::SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
        file = ::CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    work_->output.file.Reset(file);
    return work_->output.file.IsValid();
}

void CDNResourceDataProcessor::Discard() {
    if (!work_) return;
    const bool opened = work_->output.file.IsValid();
    work_->output.file.Reset();
    if (opened && !installed_) ::DeleteFileW(path_.c_str());
    ReturnWork(std::move(work_));
}

bool CDNResourceDataProcessor::Complete() {
    Work& work = *work_;
    bool ok = work.unpacker.Finish(work.output);
    const bool gzip = work.unpacker.IsGzip();
    // The write time is set, not left to the file system (which may move it at the close), so
    // that the stamp taken here is what a listing shows afterwards. Without it the stamp holds
    // no time, and the next start reads the file once.
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    if (!ok || !::SetFileTime(work.output.file.Get(), nullptr, nullptr, &now)) now = FILETIME{};
    ok = ::CloseHandle(work.output.file.Release()) != FALSE && ok;
    if (ok && !expectedSha256_.empty()) ok = work.rangeSha256.Finish() == expectedSha256_;
    if (ok && checkDigest_) {
        const std::string written = work.output.digest.Finish();
        ok = DigestMatches(written, expectedDigest_) ||
             (gzip && DigestMatches(work.rangeDigest.Finish(), expectedDigest_));
        if (!ok) LogCheckFailed("digest", BytesToHex(written));
    } else if (!ok) {
        LogCheckFailed(work.output.writeFailed ? "write" : "unpack", std::string());
    }
    if (ok) {
        installed_ = true;
        installedSize_ = work.output.written;
        installedWriteTime_ = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    } else {
        ::DeleteFileW(path_.c_str());
    }
    Discard();
    return ok;
}

void CDNResourceDataProcessor::LogCheckFailed(const char* reason, const std::string& found) const {
    LogEvent("check_failed", {{"name", taskInfo.name},
                              {"reason", reason},
                              {"expected", expectedDigest_},
                              {"found", found},
                              {"url", taskInfo.url},
                              {"range", std::to_string(taskInfo.rangeStart) + "+" +
                                            std::to_string(taskInfo.rangeLength)}});
}

void CDNResourceDataProcessor::CountBytes(uint32_t size, bool last) {
    bytesThisAttempt_ += size;
    if (bytesThisAttempt_ > bytesReported_) {
        bytesPending_ += bytesThisAttempt_ - bytesReported_;
        bytesReported_ = bytesThisAttempt_;
    }
    if (bytesPending_ > 0 && (last || bytesPending_ >= kReportStep)) {
        const int64_t delta = bytesPending_;
        bytesPending_ = 0;
        if (onBytesWritten) onBytesWritten(delta);
    }
}

bool CDNResourceDataProcessor::OnBegin(uint32_t /*contentLength*/) {
    if (begun_) return false;
    begun_ = true;
    failed_ = false;
    bytesThisAttempt_ = 0;
    return true;
}

bool CDNResourceDataProcessor::OnData(const void* data, uint32_t size) {
    if (!begun_) return false;
    if (size == 0) return true;
    const bool ranged = taskInfo.rangeStart >= 0;
    const bool last = ranged && bytesThisAttempt_ + size >= taskInfo.rangeLength;
    CountBytes(size, last);
    // Installed in an earlier attempt, or already failed in this one: the bytes pass by.
    if (installed_ || failed_) return true;
    if (!work_ && !Open()) {
        Discard();
        return false;  // no file to write: the attempt is refused
    }
    Work& work = *work_;
    if (checkDigest_) work.rangeDigest.Update(data, size);
    if (!expectedSha256_.empty()) work.rangeSha256.Update(data, size);
    if (!work.unpacker.Feed(static_cast<const char*>(data), size, work.output)) {
        // A write that failed refuses the attempt; bytes that do not unpack fail it at the end.
        const bool writeFailed = work.output.writeFailed;
        LogCheckFailed(writeFailed ? "write" : "unpack", std::string());
        failed_ = true;
        Discard();
        return !writeFailed;
    }
    if (last && !Complete()) failed_ = true;
    if (last && installed_ && onInstalled) onInstalled(taskInfo, expectedDigest_);
    return true;
}

bool CDNResourceDataProcessor::OnFinish() {
    const bool begun = begun_;
    begun_ = false;
    CountBytes(0, true);
    if (installed_) return true;
    // No attempt was opened (the request failed before its body): there is nothing to refuse,
    // and the transfer keeps the HTTP status (a 404 stays a 404 instead of becoming -3).
    if (!begun) return true;
    if (failed_) return false;
    // A whole-file task ends with its body; a range that did not complete fails.
    if (taskInfo.rangeStart < 0 && work_) {
        if (!Complete()) return false;
        if (onInstalled) onInstalled(taskInfo, expectedDigest_);
        return true;
    }
    Discard();
    return false;
}

bool CDNResourceDataProcessor::GetContent(std::string& out) {
    if (work_) return true;
    if (!FileExists(path_)) return true;
    return ReadFileBytes(path_, &out);
}
