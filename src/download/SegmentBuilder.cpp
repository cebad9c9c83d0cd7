#include "download/SegmentBuilder.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>

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
    std::vector<DownloadTaskInfo> copy(tasks);
    return MergeIntoSegments(std::move(copy));
}

std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(std::vector<DownloadTaskInfo>&& tasks) {
    std::map<std::wstring, std::vector<SegmentDownloadTaskInfo>> byKey;
    std::wstring key;
    for (DownloadTaskInfo& task : tasks) {
        key.assign(task.url).append(L"?").append(task.postData);
        std::vector<SegmentDownloadTaskInfo>& list = byKey[key];
        if (!list.empty()) {
            SegmentDownloadTaskInfo& last = list.back();
            if (JoinsSegment(last, task)) {
                last.rangeLength += task.rangeLength;
                last.tasks.push_back(std::move(task));
                continue;
            }
        }
        list.emplace_back(std::move(task));
    }
    std::vector<DownloadTaskInfo>().swap(tasks);
    std::vector<SegmentDownloadTaskInfo> segments;
    for (auto& entry : byKey) {
        for (SegmentDownloadTaskInfo& segment : entry.second)
            segments.push_back(std::move(segment));
    }
    return segments;
}
