#include "download/SegmentBuilder.h"

#include <algorithm>
#include <map>
#include <string>

void SortTasksByRange(std::vector<DownloadTaskInfo>& tasks) {
    std::stable_sort(tasks.begin(), tasks.end(),
                     [](const DownloadTaskInfo& a, const DownloadTaskInfo& b) {
                         return a.rangeStart < b.rangeStart;
                     });
}

std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(const std::vector<DownloadTaskInfo>& tasks) {
    std::map<std::wstring, std::vector<SegmentDownloadTaskInfo>> byKey;
    for (const DownloadTaskInfo& task : tasks) {
        std::vector<SegmentDownloadTaskInfo>& list = byKey[task.url + L"?" + task.postData];
        if (!list.empty()) {
            SegmentDownloadTaskInfo& last = list.back();
            if (last.rangeLength < kSegmentLimitBytes &&
                last.rangeStart + static_cast<int64_t>(last.rangeLength) == task.rangeStart) {
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
