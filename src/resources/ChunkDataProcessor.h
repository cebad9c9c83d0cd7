// Sink of one chunk of a file installed from its chunks: the chunk's stored range is unpacked
// while it streams in and written at the chunk's place in the file being assembled (positioned
// writes: the workers share one handle). The chunk counts as done only when the range is
// complete, its SHA-256 as stored and the SHA-256 and size of its bytes are those of its
// list entry; otherwise the attempt fails and the transfer repeats it. The unpacker and the
// hashes are held only from the range's first byte to its last, so a segment of many chunks
// holds one set per worker.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "download/DownloadDataProcessor.h"
#include "resources/ChunkList.h"

class ChunkDataProcessor : public DownloadDataProcessor {
  public:
    ChunkDataProcessor(const DownloadTaskInfo& task, HANDLE target, uint64_t targetOffset,
                       const ChunkEntry& entry);
    ~ChunkDataProcessor() override;

    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    bool OnData(const void* data, uint32_t size) override;
    bool GetContent(std::string& out) override;

    bool IsDone() const { return done_; }

    // New bytes of the range (a repeated attempt counts only what it adds).
    std::function<void(int64_t)> onBytes;

  private:
    struct Work;

    bool Complete();

    HANDLE target_;
    uint64_t targetOffset_;
    ChunkEntry entry_;
    std::unique_ptr<Work> work_;
    bool begun_ = false;
    bool failed_ = false;
    bool done_ = false;
    int64_t bytesThisAttempt_ = 0;
    int64_t bytesReported_ = 0;
};
