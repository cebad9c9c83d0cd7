// Segment merging: every task lands in exactly one segment, in order; a segment's tasks share
// URL and body, are all ranged or all unranged, follow each other without gap, add up to the
// segment's length without wrapping and join only while the segment is below the limit.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "download/SegmentBuilder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::vector<DownloadTaskInfo> tasks;
    int64_t next = 0;
    while (input.remaining_bytes() > 0 && tasks.size() < 64) {
        DownloadTaskInfo task;
        task.url = input.ConsumeBool() ? L"http://127.0.0.1/a" : L"http://127.0.0.1/b";
        task.postData = input.ConsumeBool() ? L"" : L"x";
        task.name = std::to_wstring(tasks.size());
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0:  // adjacent to the previous task
                task.rangeStart = next;
                break;
            case 1:
                task.rangeStart = -1;
                break;
            case 2:
                task.rangeStart = input.ConsumeIntegral<int64_t>();
                break;
            default:
                task.rangeStart = input.ConsumeIntegralInRange<int64_t>(0, 1 << 24);
                break;
        }
        task.rangeLength = input.ConsumeBool() ? input.ConsumeIntegral<uint32_t>()
                                               : input.ConsumeIntegralInRange<uint32_t>(0, 1 << 22);
        next = task.rangeStart >= 0 && task.rangeStart <= INT64_MAX - task.rangeLength
                   ? task.rangeStart + task.rangeLength
                   : 0;
        tasks.push_back(task);
    }

    SortTasksByRange(tasks);
    for (size_t i = 1; i < tasks.size(); ++i) {
        if (tasks[i - 1].rangeStart > tasks[i].rangeStart) std::abort();
    }
    const std::vector<SegmentDownloadTaskInfo> segments = MergeIntoSegments(tasks);
    size_t count = 0;
    std::wstring previousKey;
    for (const SegmentDownloadTaskInfo& segment : segments) {
        const std::wstring key = segment.url + L"?" + segment.postData;
        if (segment.tasks.empty() || key < previousKey) std::abort();
        previousKey = key;
        const DownloadTaskInfo& first = segment.tasks.front();
        if (segment.rangeStart != first.rangeStart) std::abort();
        uint64_t sum = 0;
        for (size_t i = 0; i < segment.tasks.size(); ++i) {
            const DownloadTaskInfo& task = segment.tasks[i];
            if (task.url != segment.url || task.postData != segment.postData) std::abort();
            if ((task.rangeStart < 0) != (first.rangeStart < 0)) std::abort();
            if (i > 0 && (sum >= kSegmentLimitBytes ||
                          task.rangeStart - first.rangeStart != static_cast<int64_t>(sum))) {
                std::abort();
            }
            sum += task.rangeLength;
        }
        if (sum != segment.rangeLength) std::abort();
        count += segment.tasks.size();
    }
    if (count != tasks.size()) std::abort();
    return 0;
}
