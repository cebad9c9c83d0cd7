// The pauses of the download engine: 5000 ms between the attempts of a transfer and 100 ms before
// each segment a worker takes. The product never changes them; tests shorten them process-wide
// through ScopedDownloadPauses so that no test waits the real pauses. No Windows header.
#pragma once

#include <cstdint>

constexpr uint32_t kTransferRetryPauseMs = 5000;
constexpr uint32_t kSegmentPauseMs = 100;

uint32_t GetTransferRetryPauseMs();
uint32_t GetSegmentPauseMs();

// Sets both pauses for the object's lifetime and restores the product values afterwards.
class ScopedDownloadPauses {
  public:
    ScopedDownloadPauses(uint32_t retryPauseMs, uint32_t segmentPauseMs);
    ~ScopedDownloadPauses();
    ScopedDownloadPauses(const ScopedDownloadPauses&) = delete;
    ScopedDownloadPauses& operator=(const ScopedDownloadPauses&) = delete;

  private:
    uint32_t savedRetry_;
    uint32_t savedSegment_;
};
