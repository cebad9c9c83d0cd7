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

// Whether a task of the given range may join segment last (the tasks of one key arrive sorted
// by rangeStart).
bool JoinsSegment(const SegmentDownloadTaskInfo& last, int64_t start, uint32_t length) {
    if (last.rangeLength >= kSegmentLimitBytes) return false;
    // A request without range delivers the whole resource to every sink of its segment: a
    // ranged task must never share it, nor an unranged task a ranged request.
    if ((last.rangeStart < 0) != (start < 0)) return false;
    // The segment's length must hold the sum, or the request would cover too few bytes.
    if (length > UINT32_MAX - last.rangeLength) return false;
    // Both starts have the same sign: their difference cannot overflow, unlike start + length.
    return start - last.rangeStart == static_cast<int64_t>(last.rangeLength);
}

// Lists the segments key by key, in ordinal order of the keys.
std::vector<SegmentDownloadTaskInfo> Flatten(
    std::map<std::wstring, std::vector<SegmentDownloadTaskInfo>>* byKey) {
    std::vector<SegmentDownloadTaskInfo> segments;
    for (auto& entry : *byKey) {
        for (SegmentDownloadTaskInfo& segment : entry.second)
            segments.push_back(std::move(segment));
    }
    return segments;
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
            if (JoinsSegment(last, task.rangeStart, task.rangeLength)) {
                last.rangeLength += task.rangeLength;
                last.tasks.push_back(std::move(task));
                continue;
            }
        }
        list.emplace_back(std::move(task));
    }
    std::vector<DownloadTaskInfo>().swap(tasks);
    return Flatten(&byKey);
}

std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(
    const std::shared_ptr<const DownloadTaskSource>& source) {
    std::vector<SegmentDownloadTaskInfo> segments = MergeIntoQueuedSegments(source);
    for (SegmentDownloadTaskInfo& segment : segments) segment.MakeEntries();
    return segments;
}

std::vector<SegmentDownloadTaskInfo> MergeIntoQueuedSegments(
    const std::shared_ptr<const DownloadTaskSource>& source) {
    const size_t count = source ? source->TaskCount() : 0;
    // The rank of each task's key (URL + "?" + body) in ordinal order: segments are listed key
    // by key, and the tasks of a key by range start (stable), so that each segment's tasks
    // follow one another in one order.
    std::vector<uint32_t> rank(count);
    {
        std::map<uint32_t, std::wstring> keyOf;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t target = source->TargetOf(i);
            if (keyOf.count(target) == 0) {
                keyOf[target] = source->TargetUrl(target) + L"?" + source->TargetBody(target);
            }
        }
        std::map<std::wstring, uint32_t> keys;
        for (const auto& key : keyOf) keys.emplace(key.second, 0);
        uint32_t next = 0;
        for (auto& key : keys) key.second = next++;
        std::map<uint32_t, uint32_t> rankOf;
        for (const auto& key : keyOf) rankOf[key.first] = keys[key.second];
        uint32_t lastTarget = 0;
        uint32_t lastRank = 0;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t target = source->TargetOf(i);
            if (i == 0 || target != lastTarget) {
                lastTarget = target;
                lastRank = rankOf[target];
            }
            rank[i] = lastRank;
        }
    }
    auto order = std::make_shared<std::vector<uint32_t>>(count);
    for (size_t i = 0; i < count; ++i) (*order)[i] = static_cast<uint32_t>(i);
    std::stable_sort(order->begin(), order->end(), [&source, &rank](uint32_t a, uint32_t b) {
        return rank[a] < rank[b] ||
               (rank[a] == rank[b] && source->RangeStart(a) < source->RangeStart(b));
    });
    std::vector<SegmentDownloadTaskInfo> segments;
    for (size_t i = 0; i < count; ++i) {
        const uint32_t index = (*order)[i];
        const int64_t start = source->RangeStart(index);
        const uint32_t length = source->RangeLength(index);
        const bool sameKey = i > 0 && rank[(*order)[i - 1]] == rank[index];
        if (!sameKey || !JoinsSegment(segments.back(), start, length)) {
            const uint32_t target = source->TargetOf(index);
            SegmentDownloadTaskInfo segment;
            segment.url = source->TargetUrl(target);
            segment.postData = source->TargetBody(target);
            segment.rangeStart = start;
            segment.source = source;
            segment.order = order;
            segment.orderBegin = static_cast<uint32_t>(i);
            segments.push_back(std::move(segment));
        }
        segments.back().rangeLength += length;
        ++segments.back().orderCount;
    }
    return segments;
}
