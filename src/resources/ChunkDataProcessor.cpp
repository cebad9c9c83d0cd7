#include "resources/ChunkDataProcessor.h"

#include <cstring>

#include "app/Log.h"
#include "app/PositionedFile.h"
#include "app/Sha256.h"
#include "resources/RangeUnpacker.h"

// Writes the unpacked bytes at their place and digests them.
struct ChunkDataProcessor::Work : RangeUnpacker::Output {
    bool Write(const char* data, size_t size) override {
        if (written + size > limit) return false;  // more bytes than the chunk has
        digest.Update(data, size);
        if (!WriteFileAt(target, offset + written, data, size)) return false;
        written += size;
        return true;
    }

    RangeUnpacker unpacker;
    Sha256Hasher digest;
    Sha256Hasher rangeDigest;
    HANDLE target = nullptr;
    uint64_t offset = 0;
    uint64_t written = 0;
    uint64_t limit = 0;
};

ChunkDataProcessor::ChunkDataProcessor(const DownloadTaskInfo& task, HANDLE target,
                                       uint64_t targetOffset, const ChunkEntry& entry)
    : DownloadDataProcessor(task), target_(target), targetOffset_(targetOffset), entry_(entry) {}

ChunkDataProcessor::~ChunkDataProcessor() = default;

bool ChunkDataProcessor::OnBegin(uint32_t /*contentLength*/) {
    if (begun_) return false;
    begun_ = true;
    failed_ = false;
    bytesThisAttempt_ = 0;
    work_.reset();
    return true;
}

bool ChunkDataProcessor::Complete() {
    Work& work = *work_;
    bool ok = work.unpacker.Finish(work) && work.written == entry_.size;
    ok = ok && std::memcmp(work.digest.Finish().data(), entry_.digest, 32) == 0;
    ok = ok && std::memcmp(work.rangeDigest.Finish().data(), entry_.rangeSha256, 32) == 0;
    if (!ok) {
        LogEvent("chunk_check_failed", {{"url", taskInfo.url},
                                        {"offset", taskInfo.rangeStart},
                                        {"length", static_cast<int64_t>(taskInfo.rangeLength)}});
    }
    work_.reset();
    return ok;
}

bool ChunkDataProcessor::OnData(const void* data, uint32_t size) {
    if (!begun_) return false;
    if (size == 0) return true;
    bytesThisAttempt_ += size;
    if (bytesThisAttempt_ > bytesReported_) {
        const int64_t delta = bytesThisAttempt_ - bytesReported_;
        bytesReported_ = bytesThisAttempt_;
        if (onBytes) onBytes(delta);
    }
    if (done_ || failed_) return true;
    if (!work_) {
        work_.reset(new Work());
        work_->unpacker.Reset();
        work_->target = target_;
        work_->offset = targetOffset_;
        work_->limit = entry_.size;
    }
    Work& work = *work_;
    work.rangeDigest.Update(data, size);
    if (!work.unpacker.Feed(static_cast<const char*>(data), size, work)) {
        failed_ = true;
        work_.reset();
        return true;
    }
    if (bytesThisAttempt_ >= static_cast<int64_t>(taskInfo.rangeLength)) {
        done_ = Complete();
        failed_ = !done_;
    }
    return true;
}

bool ChunkDataProcessor::OnFinish() {
    const bool begun = begun_;
    begun_ = false;
    work_.reset();
    if (done_) return true;
    if (!begun) return true;  // the request failed before its body: its status stays
    return false;
}

bool ChunkDataProcessor::GetContent(std::string& /*out*/) {
    return done_;
}
