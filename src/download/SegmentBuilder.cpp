#include "download/SegmentBuilder.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>

void SortTasksByRange(std::vector<DownloadTaskInfo>& tasks) {
    std::stable_sort(tasks.begin(), tasks.end(),
                     [](const DownloadTaskInfo& a, const DownloadTaskInfo& b) {
                         return a.rangeStart < b.rangeStart;
                     });
}

namespace {

// Whether task may join segment last (the tasks of one key arrive sorted by rangeStart).
bool JoinsSegment(const SegmentDownloadTaskInfo& last, const DownloadTaskInfo& task) {
    if (last.rangeLength >= kSegmentLimitBytes) return false;
    // A request without range delivers the whole resource to every sink of its segment: a
    // ranged task must never share it, nor an unranged task a ranged request.
    if ((last.rangeStart < 0) != (task.rangeStart < 0)) return false;
    // The segment's length must hold the sum, or the request would cover too few bytes.
    if (task.rangeLength > UINT32_MAX - last.rangeLength) return false;
    // Both starts have the same sign: their difference cannot overflow, unlike start + length.
    return task.rangeStart - last.rangeStart == static_cast<int64_t>(last.rangeLength);
}

}  // namespace

std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(const std::vector<DownloadTaskInfo>& tasks) {
    std::map<std::wstring, std::vector<SegmentDownloadTaskInfo>> byKey;
    for (const DownloadTaskInfo& task : tasks) {
        std::vector<SegmentDownloadTaskInfo>& list = byKey[task.url + L"?" + task.postData];
        if (!list.empty()) {
            SegmentDownloadTaskInfo& last = list.back();
            if (JoinsSegment(last, task)) {
                last.tasks.push_back(task);
                last.rangeLength += task.rangeLength;
                continue;
            }
        }
        list.emplace_back(task);
    }
    std::vector<SegmentDownloadTaskInfo> segments;
    for (auto& entry : byKey) {
        for (SegmentDownloadTaskInfo& segment : entry.second)
            segments.push_back(std::move(segment));
    }
    return segments;
}
