// Installs one file from its chunks: fetches and checks the file's chunk list, cuts the copy
// on disk (when there is one) with the publisher's chunker, fetches only the chunks it lacks
// (adjacent ones of a package merged into the engine's segments, three workers), assembles the
// new file beside the old one (name + ".t") from the old copy and the fetched chunks, checks
// the whole file's digest and only then puts it in the old one's place. The old file is only
// read until that last step, so an end at any moment leaves it as it was. Sizes and offsets are
// 64-bit throughout; memory holds the list and one chunk per worker, never the file.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "download/DownloaderTaskDispatcher.h"
#include "download/DownloaderTaskProcessor.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"
#include "resources/ChunkList.h"

struct ChunkedFileJob {
    std::wstring name;         // relative to gameDir
    std::wstring path;         // gameDir + name
    std::wstring expectedMd5;  // the record's digest (checked when it is MD5 text)
    std::wstring baseUrl;      // the CDN base, ends with "/"
    ChunkReference reference;
};

struct ChunkedFileOutcome {
    int32_t status = 200;  // 200, or the failing transfer's status, or -3 for a check
    uint64_t fileSize = 0;
    uint64_t writeTime = 0;     // of the installed file, 100 ns since 1601
    uint64_t localBytes = 0;    // taken from the old copy
    uint64_t fetchedBytes = 0;  // of the list and the chunks, as stored
    size_t chunks = 0;
    size_t fetchedChunks = 0;
};

class ChunkedFileInstall : public DownloaderTaskProcessor {
  public:
    explicit ChunkedFileInstall(const ChunkedFileJob& job);
    ~ChunkedFileInstall() override;

    // Runs the whole installation on the calling thread. True when the new file is in place.
    bool Run(ChunkedFileOutcome* outcome);
    // Ends a run from another thread (the old file stays).
    void Stop();

    // Bytes as they arrive; planned: what the run is going to fetch, once it knows.
    std::function<void(int64_t)> onBytes;
    std::function<void(int64_t)> onPlanned;

    const DownloadDataProcessor* CreateDataProcessor(const DownloadTaskInfo& task) override;
    void OnTaskResult(const DownloadTaskResultInfo& result) override;
    void OnAllTasksFinished() override;

  private:
    bool FetchList(ChunkList* list);
    // Where each chunk's bytes lie in the old copy (-1: not there).
    void FindLocalChunks(const ChunkList& list, std::vector<int64_t>* local);
    bool FetchChunks(const ChunkList& list, const std::vector<int64_t>& local,
                     const std::vector<uint32_t>& first);
    bool Assemble(const ChunkList& list, const std::vector<int64_t>& local,
                  const std::vector<uint32_t>& first);
    // Runs the tasks through the dispatcher and waits for the end.
    bool RunTasks(std::vector<DownloadTaskInfo>& tasks);
    bool Fail(int32_t status, const char* step);

    ChunkedFileJob job_;
    ChunkedFileOutcome* outcome_ = nullptr;
    std::wstring tempPath_;
    ombrix::ScopedFileHandle target_;  // the new file assembled beside the old one
    const ChunkList* list_ = nullptr;
    std::vector<uint64_t> targetOffsets_;
    std::unique_ptr<DownloaderTaskDispatcher> dispatcher_;
    ombrix::CriticalSection sinkLock_;
    std::map<std::wstring, std::unique_ptr<DownloadDataProcessor>> sinks_;
    std::string listText_;
    uint64_t listBytes_ = 0;
    std::mutex doneLock_;
    std::condition_variable doneSignal_;
    bool finished_ = false;
    int32_t failedStatus_ = 200;
    std::atomic<bool> stopped_{false};
};
