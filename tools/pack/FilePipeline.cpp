#include "FilePipeline.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "app/Sha256.h"

namespace {

const size_t kWindowFiles = 1024;                // results finished ahead of the taker
const int64_t kWindowBytes = int64_t(96) << 20;  // and their compressed bytes
const size_t kChunkFiles = 64;                   // files a worker takes at once
const int64_t kChunkBytes = int64_t(4) << 20;    // compressed bytes it holds back at most
// Results wait in a ring: a worker takes files below taken + kWindowFiles only, a chunk at most.
const size_t kRingSize = kWindowFiles + kChunkFiles;

struct Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<PreparedFile> results;  // file i at i % kRingSize
    std::vector<char> ready;
    size_t next = 0;   // the next file a worker takes
    size_t taken = 0;  // files the taker has had
    int64_t waitingBytes = 0;
    bool stop = false;
};

// Hands finished results over under one lock and one wake-up.
void Publish(Shared* shared, std::vector<std::pair<size_t, PreparedFile>>* done) {
    if (done->empty()) return;
    {
        std::lock_guard<std::mutex> guard(shared->lock);
        for (auto& item : *done) {
            shared->waitingBytes += static_cast<int64_t>(item.second.gz.size());
            shared->results[item.first % kRingSize] = std::move(item.second);
            shared->ready[item.first % kRingSize] = 1;
        }
    }
    done->clear();
    shared->changed.notify_all();
}

void Work(Shared* shared, size_t count, const std::function<std::wstring(size_t)>* pathOf,
          const std::function<bool(const FileDigest&)>* isKnown) {
    GzipCompressor compressor;
    std::vector<std::pair<size_t, PreparedFile>> done;
    for (;;) {
        size_t begin;
        size_t end;
        {
            std::unique_lock<std::mutex> guard(shared->lock);
            shared->changed.wait(guard, [shared, count] {
                return shared->stop || shared->next >= count || shared->next == shared->taken ||
                       (shared->next < shared->taken + kWindowFiles &&
                        shared->waitingBytes < kWindowBytes);
            });
            if (shared->stop || shared->next >= count) return;
            begin = shared->next;
            end = std::min(begin + kChunkFiles, count);
            shared->next = end;
        }
        int64_t held = 0;
        for (size_t index = begin; index < end; ++index) {
            PreparedFile result;
            const std::wstring path = (*pathOf)(index);
            if (compressor.Load(path, &result.digest, &result.whole, &result.error)) {
                result.known = (*isKnown)(result.digest);
                std::wstring error;
                if (!result.known && result.whole &&
                    !compressor.CompressLoaded(&result.gz, &error)) {
                    result.error = path + L": " + error;
                }
                if (!result.gz.empty()) result.gzSha256 = Sha256Digest(result.gz);
            }
            held += static_cast<int64_t>(result.gz.size());
            done.emplace_back(index, std::move(result));
            // The taker may be waiting for the first of these: do not sit on many bytes.
            if (held >= kChunkBytes) {
                Publish(shared, &done);
                held = 0;
            }
        }
        Publish(shared, &done);
    }
}

}  // namespace

int DefaultThreadCount() {
    SYSTEM_INFO info;
    ::GetSystemInfo(&info);
    const int cores = static_cast<int>(info.dwNumberOfProcessors);
    return cores < 1 ? 1 : (cores > 8 ? 8 : cores);
}

bool RunFilePipeline(size_t count, const std::function<std::wstring(size_t)>& pathOf, int threads,
                     const std::function<bool(const FileDigest&)>& isKnown,
                     const std::function<bool(size_t, PreparedFile*)>& take) {
    Shared shared;
    shared.results.resize(std::min(count, kRingSize));
    shared.ready.assign(std::min(count, kRingSize), 0);
    std::vector<std::thread> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back(Work, &shared, count, &pathOf, &isKnown);
    bool ok = true;
    for (size_t i = 0; i < count && ok; ++i) {
        PreparedFile result;
        {
            std::unique_lock<std::mutex> guard(shared.lock);
            const size_t slot = i % kRingSize;
            shared.changed.wait(guard, [&shared, slot] { return shared.ready[slot] != 0; });
            shared.ready[slot] = 0;
            result = std::move(shared.results[slot]);
            shared.results[slot] = PreparedFile();
            shared.waitingBytes -= static_cast<int64_t>(result.gz.size());
            shared.taken = i + 1;
        }
        // Workers waiting for room are woken once per chunk taken, not once per file.
        if ((i + 1) % kChunkFiles == 0) shared.changed.notify_all();
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
