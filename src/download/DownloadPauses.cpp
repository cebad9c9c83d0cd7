#include "download/DownloadPauses.h"

#include <atomic>

namespace {
std::atomic<uint32_t> g_retryPauseMs{kTransferRetryPauseMs};
std::atomic<uint32_t> g_segmentPauseMs{kSegmentPauseMs};
}  // namespace

uint32_t GetTransferRetryPauseMs() {
    return g_retryPauseMs.load();
}
uint32_t GetSegmentPauseMs() {
    return g_segmentPauseMs.load();
}

ScopedDownloadPauses::ScopedDownloadPauses(uint32_t retryPauseMs, uint32_t segmentPauseMs)
    : savedRetry_(g_retryPauseMs.exchange(retryPauseMs)),
      savedSegment_(g_segmentPauseMs.exchange(segmentPauseMs)) {}

ScopedDownloadPauses::~ScopedDownloadPauses() {
    g_retryPauseMs.exchange(savedRetry_);
    g_segmentPauseMs.exchange(savedSegment_);
}
