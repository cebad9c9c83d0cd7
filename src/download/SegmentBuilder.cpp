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
    const size_t count = source ? source->TaskCount() : 0;
    std::vector<uint32_t> order(count);
    for (size_t i = 0; i < count; ++i) order[i] = static_cast<uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&source](uint32_t a, uint32_t b) {
        return source->RangeStart(a) < source->RangeStart(b);
    });
    using Segments = std::vector<SegmentDownloadTaskInfo>;
    std::map<std::wstring, Segments> byKey;
    // The key's list of each target, found once per target rather than once per task.
    std::map<uint32_t, Segments*> listOf;
    // The segments are made first, counting their tasks, and given their entries after, each
    // segment its exact room: a plan's entries are held until their segments are fetched.
    std::map<const Segments*, std::vector<uint32_t>> counts;
    for (const uint32_t index : order) {
        const uint32_t target = source->TargetOf(index);
        Segments*& list = listOf[target];
        if (list == nullptr) {
            list = &byKey[source->TargetUrl(target) + L"?" + source->TargetBody(target)];
        }
        const int64_t start = source->RangeStart(index);
        const uint32_t length = source->RangeLength(index);
        std::vector<uint32_t>& count = counts[list];
        if (list->empty() || !JoinsSegment(list->back(), start, length)) {
            SegmentDownloadTaskInfo segment;
            segment.url = source->TargetUrl(target);
            segment.postData = source->TargetBody(target);
            segment.rangeStart = start;
            segment.source = source;
            list->push_back(std::move(segment));
            count.push_back(0);
        }
        list->back().rangeLength += length;
        ++count.back();
    }
    for (auto& list : byKey) {
        const std::vector<uint32_t>& count = counts[&list.second];
        for (size_t k = 0; k < list.second.size(); ++k) list.second[k].entries.reserve(count[k]);
    }
    // The same walk again: the tasks of a key fill its segments one after the other.
    std::map<const Segments*, size_t> filling;
    for (const uint32_t index : order) {
        Segments* list = listOf[source->TargetOf(index)];
        size_t& k = filling[list];
        if ((*list)[k].entries.size() == counts[list][k]) ++k;
        (*list)[k].entries.push_back(
            SegmentTaskEntry{index, source->RangeLength(index), source->RangeStart(index)});
    }
    return Flatten(&byKey);
}
