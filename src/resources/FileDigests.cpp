#include "resources/FileDigests.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/Crypto.h"
#include "framework/ScopedHandle.h"
#include "resources/ContentDigest.h"

namespace {

const DWORD kReadSize = 1 << 20;
const unsigned kReaders = 2;

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
        for (;;) {
            DWORD read = 0;
            if (!::ReadFile(file.Get(), buffer_.get(), kReadSize, &read, nullptr)) return false;
            if (read > 0) {
                hasher_.Update(buffer_.get(), read);
                work_->bytesDone.fetch_add(read);
                if (tick) tick();
            }
            // A regular file reads short only at its end.
            if (read < kReadSize) break;
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
    std::thread helper;
    if (jobs->size() > 1 && kReaders > 1) {
        try {
            helper = std::thread([&work]() { Reader(&work).Run(nullptr); });
        } catch (...) {
            // No second thread: this one reads everything.
        }
    }
    Reader(&work).Run(report);
    if (helper.joinable()) helper.join();
    if (progress) progress(work.bytesDone.load(), work.filesDone.load());
}
