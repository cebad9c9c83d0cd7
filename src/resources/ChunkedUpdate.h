// The part of a resource batch that is installed from chunks: files the configuration
// publishes in chunks (ChunkList.h) that have an older copy on disk, or no whole-file range at
// all. They run first, one file after another on a thread of their own (each file's chunks
// fetched by three workers); a file whose chunks fail goes the whole-file way when its range is
// published, and the whole-file part of the batch follows.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "resources/ChunkList.h"
#include "resources/ResourceUpdateInfo.h"

class ChunkedFileInstall;

class ChunkedUpdate {
  public:
    ChunkedUpdate() = default;
    // Stops a running part and waits for its thread.
    ~ChunkedUpdate();
    ChunkedUpdate(const ChunkedUpdate&) = delete;
    ChunkedUpdate& operator=(const ChunkedUpdate&) = delete;

    // The lines naming chunk lists of the configuration just accepted (empty: none).
    void SetReferences(ChunkReferences references);

    // Whether any of the items is to be installed from chunks.
    bool Claims(const ResourceUpdateList& items, const std::wstring& gameDir) const;

    struct Callbacks {
        std::function<void(int64_t)> bytes;    // fetched bytes as they arrive
        std::function<void(int64_t)> planned;  // change of the batch's byte total
        // A file is in place: its size, write time and the digest it was checked against.
        std::function<void(const std::wstring& name, uint64_t size, uint64_t writeTime,
                           const std::wstring& digest)>
            installed;
        // The chunked part has ended: the items that go the whole-file way, and 200 or the
        // status that fails the batch.
        std::function<void(const ResourceUpdateList& rest, int32_t status)> done;
    };

    // Starts the chunked part of the items (shared with the caller, not copied) on a thread of
    // its own, once the thread of an
    // earlier part has ended (so not under a lock that part's callbacks take); false when no
    // thread could be started (nothing was done).
    bool Start(const ResourceUpdateList& items, const std::wstring& gameDir,
               const std::wstring& baseUrl, Callbacks callbacks);
    // Ends the running file's transfers; the thread then hands over with status -2. Waits for
    // the thread to end, unless called on it (from a callback).
    void Stop();
    bool IsRunning() const { return running_; }

  private:
    void Run(uint32_t run, ResourceUpdateList items, std::wstring gameDir, std::wstring baseUrl,
             Callbacks callbacks);
    // Waits for the thread of the last part, unless called on it (it is then let go).
    void Join();
    const ChunkReference* Find(const std::wstring& name) const;

    ChunkReferences references_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopped_{false};
    std::atomic<uint32_t> runs_{0};  // parts started so far
    std::mutex currentLock_;
    ChunkedFileInstall* current_ = nullptr;
    std::mutex threadLock_;  // guards thread_ between Start, Stop and the destructor
    std::thread thread_;
};
