#include "resources/FileDigests.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>

#include "app/Crypto.h"
#include "framework/ScopedHandle.h"
#include "resources/ContentDigest.h"

namespace {

// Files up to this size are read whole in one call; larger ones in blocks of it.
const DWORD kReadSize = 1 << 20;
// Threads reading at once, the caller's included: while one waits for its file to be opened or
// closed, the others read and digest.
const unsigned kReaders = 3;

struct SharedWork {
    std::vector<DigestJob>* jobs;
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> bytesDone{0};
    std::atomic<size_t> filesDone{0};
};

// One reading thread's state, kept from file to file.
class Reader {
  public:
    explicit Reader(SharedWork* work) : work_(work), buffer_(new char[kReadSize]) {}

    // Takes jobs until none is left; tick (may be empty) runs between reads.
    void Run(const std::function<void()>& tick) {
        for (;;) {
            const size_t index = work_->next.fetch_add(1);
            if (index >= work_->jobs->size()) return;
            DigestJob& job = (*work_->jobs)[index];
            job.matches = Matches(job, tick);
            work_->filesDone.fetch_add(1);
        }
    }

  private:
    bool Matches(const DigestJob& job, const std::function<void()>& tick) {
        ombrix::ScopedFileHandle file(::CreateFileW(
            job.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!file) return false;
        hasher_.Reset();
        // One byte more than the listed size: a file as listed reads short at the first call,
        // which is the end. One that grew since is read on to its end.
        DWORD wanted = job.size < kReadSize ? static_cast<DWORD>(job.size) + 1 : kReadSize;
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(file.Get(), buffer_.get(), wanted, &read, nullptr)) return false;
            if (read > 0) {
                hasher_.Update(buffer_.get(), read);
                work_->bytesDone.fetch_add(read);
                if (tick) tick();
            }
            // A regular file reads short only at its end.
            if (read < wanted) break;
            wanted = kReadSize;
        }
        return DigestMatches(hasher_.Finish(), job.digest);
    }

    SharedWork* work_;
    std::unique_ptr<char[]> buffer_;
    Md5Hasher hasher_;
};

}  // namespace

void DigestFiles(std::vector<DigestJob>* jobs, const DigestProgress& progress) {
    SharedWork work;
    work.jobs = jobs;
    ULONGLONG lastReport = ::GetTickCount64();
    const auto report = [&]() {
        if (!progress) return;
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastReport < kDigestProgressMs) return;
        lastReport = now;
        progress(work.bytesDone.load(), work.filesDone.load());
    };
    std::vector<std::thread> helpers;
    const size_t wanted = std::min<size_t>(kReaders, jobs->size());
    for (size_t i = 1; i < wanted; ++i) {
        try {
            helpers.emplace_back([&work]() { Reader(&work).Run(nullptr); });
        } catch (...) {
            break;  // fewer threads: the others read everything
        }
    }
    Reader(&work).Run(report);
    for (std::thread& helper : helpers) helper.join();
    if (progress) progress(work.bytesDone.load(), work.filesDone.load());
}
