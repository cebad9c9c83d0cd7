// Sink between one HTTP request and the several tasks it serves: cuts the incoming byte stream
// at the task boundaries and hands each piece to the sink of the task it belongs to.
// No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "download/DownloadDataProcessor.h"
#include "download/DownloadTaskInfo.h"

class SegmentDownloadDataProcessor : public DownloadDataProcessor {
  public:
    // targets: the sinks of the segment's tasks, in task order (not owned).
    SegmentDownloadDataProcessor(const SegmentDownloadTaskInfo& segmentInfo,
                                 const std::vector<DownloadDataProcessor*>& targetSinks);

    // Forwarded to every target, all of them even after one failed; true when all succeeded.
    bool OnBegin(uint32_t contentLength) override;
    bool OnFinish() override;
    // Routes the bytes to the targets covering them. Bytes of a ranged segment that no target
    // covers (a task without sink, a server sending more than asked) are dropped.
    bool OnData(const void* data, uint32_t size) override;
    // Collects nothing: true, out unchanged.
    bool GetContent(std::string& out) override;

    DownloadDataProcessor* current = nullptr;  // target that received bytes last
    SegmentDownloadTaskInfo segment;
    std::vector<DownloadDataProcessor*> targets;
    int64_t written = 0;  // bytes routed (or dropped) since the last OnBegin

  private:
    bool Covers(const DownloadDataProcessor* target, int64_t offset) const;
    int64_t RelativeStart(const DownloadDataProcessor* target) const;
};
