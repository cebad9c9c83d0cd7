// Coalescing of download tasks into segments: tasks asking for adjacent byte ranges of the same
// URL and body become one request of about 10 MiB. No Windows header.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "download/DownloadTaskInfo.h"
#include "download/DownloadTaskSource.h"

// A segment that has reached this many bytes takes no further task.
constexpr uint32_t kSegmentLimitBytes = 0xA00000;  // 10 MiB

// Stable sort by rangeStart, ascending (tasks without range, -1, come first).
void SortTasksByRange(std::vector<DownloadTaskInfo>& tasks);

// Builds the segments of tasks already sorted by SortTasksByRange. A task joins the last segment
// of its URL and body when that segment is below the limit and ends exactly where the task
// starts, both or neither ask for a range, and the lengths add up within 32 bits; otherwise it
// starts a new segment. The result lists the segments key by key (URL + "?"
// + body, in ordinal order), each key's segments in the order they were made.
std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(const std::vector<DownloadTaskInfo>& tasks);
// The same, taking the tasks over instead of copying them.
std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(std::vector<DownloadTaskInfo>&& tasks);
// The same rules over the tasks of a source, sorted here (stable, by range start): the segments
// hold the source and their tasks as entries, in the order the records would have had.
std::vector<SegmentDownloadTaskInfo> MergeIntoSegments(
    const std::shared_ptr<const DownloadTaskSource>& source);
// The same segments naming their tasks as parts of one order they share, for a queue: each is
// given its entries by SegmentDownloadTaskInfo::MakeEntries when it is taken.
std::vector<SegmentDownloadTaskInfo> MergeIntoQueuedSegments(
    const std::shared_ptr<const DownloadTaskSource>& source);
