#include "download/DownloadTaskInfo.h"

#include "download/DownloadTaskSource.h"

DownloadTaskInfo SegmentDownloadTaskInfo::TaskAt(size_t k) const {
    if (!source) return tasks[k];
    return source->Task(order ? (*order)[orderBegin + k] : entries[k].index);
}

void SegmentDownloadTaskInfo::MakeEntries() {
    if (!order) return;
    entries.reserve(orderCount);
    for (uint32_t k = 0; k < orderCount; ++k) {
        const uint32_t index = (*order)[orderBegin + k];
        entries.push_back(
            SegmentTaskEntry{index, source->RangeLength(index), source->RangeStart(index)});
    }
    order.reset();
}
