#include "download/SegmentDownloadDataProcessor.h"

#include <algorithm>

SegmentDownloadDataProcessor::SegmentDownloadDataProcessor(
    const SegmentDownloadTaskInfo& segmentInfo,
    const std::vector<DownloadDataProcessor*>& targetSinks)
    : segment(segmentInfo), targets(targetSinks) {}

bool SegmentDownloadDataProcessor::OnBegin(uint32_t contentLength) {
    written = 0;
    current = nullptr;
    bool ok = true;
    for (DownloadDataProcessor* target : targets) ok = target->OnBegin(contentLength) && ok;
    return ok;
}

bool SegmentDownloadDataProcessor::OnFinish() {
    current = nullptr;
    bool ok = true;
    for (DownloadDataProcessor* target : targets) ok = target->OnFinish() && ok;
    return ok;
}

int64_t SegmentDownloadDataProcessor::RelativeStart(const DownloadDataProcessor* target) const {
    return target->taskInfo.rangeStart - segment.rangeStart;
}

bool SegmentDownloadDataProcessor::Covers(const DownloadDataProcessor* target,
                                          int64_t offset) const {
    const int64_t start = RelativeStart(target);
    return offset >= start && offset < start + static_cast<int64_t>(target->taskInfo.rangeLength);
}

bool SegmentDownloadDataProcessor::OnData(const void* data, uint32_t size) {
    if (size == 0) return true;
    bool ok = true;
    if (segment.rangeStart < 0) {
        for (DownloadDataProcessor* target : targets) ok = target->OnData(data, size) && ok;
        return ok;
    }
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        if (current == nullptr || !Covers(current, written)) {
            current = nullptr;
            for (DownloadDataProcessor* target : targets) {
                if (Covers(target, written)) {
                    current = target;
                    break;
                }
            }
        }
        int64_t n;
        if (current != nullptr) {
            n = RelativeStart(current) + static_cast<int64_t>(current->taskInfo.rangeLength) -
                written;
        } else {
            // Nobody wants these bytes: skip up to the next target's start, or all of them.
            int64_t next = -1;
            for (DownloadDataProcessor* target : targets) {
                const int64_t start = RelativeStart(target);
                if (start > written && target->taskInfo.rangeLength > 0 &&
                    (next < 0 || start < next)) {
                    next = start;
                }
            }
            n = next < 0 ? static_cast<int64_t>(size) : next - written;
        }
        n = std::min<int64_t>(n, size);
        if (current != nullptr && !current->OnData(bytes, static_cast<uint32_t>(n))) ok = false;
        written += n;
        bytes += n;
        size -= static_cast<uint32_t>(n);
    }
    return ok;
}

bool SegmentDownloadDataProcessor::GetContent(std::string& /*out*/) {
    return true;
}
