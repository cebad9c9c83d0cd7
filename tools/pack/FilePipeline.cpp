#include "FilePipeline.h"

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

const size_t kWindowFiles = 1024;                // results finished ahead of the taker
const int64_t kWindowBytes = int64_t(96) << 20;  // and their compressed bytes

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<PreparedFile> results;
    std::vector<char> ready;
    size_t next = 0;   // the next file a worker takes
    size_t taken = 0;  // files the taker has had
    int64_t waitingBytes = 0;
    bool stop = false;
};

void Work(Shared* shared, const std::vector<std::wstring>* paths,
          const std::function<bool(size_t, FileDigest*)>* stamped,
          const std::function<bool(const FileDigest&)>* isKnown) {
    GzipCompressor compressor;
    for (;;) {
        size_t index;
        {
            std::unique_lock<std::mutex> guard(shared->lock);
            shared->changed.wait(guard, [shared, paths] {
                return shared->stop || shared->next >= paths->size() ||
                       shared->next == shared->taken ||
                       (shared->next < shared->taken + kWindowFiles &&
                        shared->waitingBytes < kWindowBytes);
            });
            if (shared->stop || shared->next >= paths->size()) return;
            index = shared->next++;
        }
        PreparedFile result;
        result.known = (*stamped)(index, &result.digest) && (*isKnown)(result.digest);
        if (!result.known) {
            result.read = true;
            if (compressor.Load((*paths)[index], &result.digest, &result.whole, &result.error)) {
                result.known = (*isKnown)(result.digest);
                std::wstring error;
                if (!result.known && result.whole &&
                    !compressor.CompressLoaded(&result.gz, &error)) {
                    result.error = (*paths)[index] + L": " + error;
                }
            }
        }
        {
            std::lock_guard<std::mutex> guard(shared->lock);
            shared->waitingBytes += static_cast<int64_t>(result.gz.size());
            shared->results[index] = std::move(result);
            shared->ready[index] = 1;
        }
        shared->changed.notify_all();
    }
}

}  // namespace

int DefaultThreadCount() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const int cores = static_cast<int>(info.dwNumberOfProcessors);
    return cores < 1 ? 1 : (cores > 8 ? 8 : cores);
}

bool RunFilePipeline(const std::vector<std::wstring>& paths, int threads,
                     const std::function<bool(size_t, FileDigest*)>& stamped,
                     const std::function<bool(const FileDigest&)>& isKnown,
                     const std::function<bool(size_t, PreparedFile*)>& take) {
    Shared shared;
    shared.results.resize(paths.size());
    shared.ready.assign(paths.size(), 0);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back(Work, &shared, &paths, &stamped, &isKnown);
    bool ok = true;
    for (size_t i = 0; i < paths.size() && ok; ++i) {
        PreparedFile result;
        {
            std::unique_lock<std::mutex> guard(shared.lock);
            shared.changed.wait(guard, [&shared, i] { return shared.ready[i] != 0; });
            result = std::move(shared.results[i]);
            shared.waitingBytes -= static_cast<int64_t>(result.gz.size());
            shared.taken = i + 1;
        }
        shared.changed.notify_all();
        ok = take(i, &result);
    }
    {
        std::lock_guard<std::mutex> guard(shared.lock);
        shared.stop = true;
    }
    shared.changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    return ok;
}
