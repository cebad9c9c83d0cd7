// Records that describe download work: one task, one request covering several tasks, and the
// outcome of one task. Plain values, copied freely. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// One download task: a byte range of a remote file (or the whole file) and the caller's tags.
// The engine reads url, postData, rangeStart and rangeLength; name, kind and path belong to the
// caller and travel unchanged into the sink factory and the result.
struct DownloadTaskInfo {
    std::wstring url;          // without the cache-busting parameter (the transfer adds it)
    std::wstring name;         // the caller's identifier of the task
    int32_t kind = 0;          // the caller's kind code
    std::wstring path;         // the caller's path text
    std::wstring postData;     // request body; empty for GET
    int64_t rangeStart = -1;   // first byte of the range; negative = whole file, no Range header
    uint32_t rangeLength = 0;  // number of bytes of the range
};

// The outcome of one task: the task itself followed by the status of the transfer that carried
// it (200, an HTTP status, or a negative transfer failure; -1 also when no sink could be made for
// any task of its segment).
struct DownloadTaskResultInfo : DownloadTaskInfo {
    int32_t statusCode = 0;

    DownloadTaskResultInfo() = default;
    DownloadTaskResultInfo(const DownloadTaskInfo& task, int32_t status)
        : DownloadTaskInfo(task), statusCode(status) {}
    DownloadTaskResultInfo(DownloadTaskInfo&& task, int32_t status)
        : DownloadTaskInfo(std::move(task)), statusCode(status) {}
};

class DownloadTaskSource;

// A task of a segment built from a DownloadTaskSource: its index there and its range.
struct SegmentTaskEntry {
    uint32_t index = 0;
    uint32_t length = 0;
    int64_t start = 0;
};

// One HTTP request that serves one or more tasks with adjacent ranges of the same URL and body.
// Its tasks are either held as records (tasks) or, for a segment of a DownloadTaskSource, as
// small entries whose records are made one at a time (TaskAt) when the bytes reach them.
struct SegmentDownloadTaskInfo {
    std::wstring url;                                  // the tasks' common URL
    std::wstring postData;                             // the tasks' common body
    int64_t rangeStart = 0;                            // the first task's rangeStart
    uint32_t rangeLength = 0;                          // the sum of the tasks' rangeLength
    std::vector<DownloadTaskInfo> tasks;               // the covered tasks, in ascending rangeStart
    std::shared_ptr<const DownloadTaskSource> source;  // set: the tasks are entries of it
    std::vector<SegmentTaskEntry> entries;             // in ascending start
    // A queued segment of a source names its tasks as a part of order (the source's tasks in
    // the order the segments take them) until MakeEntries makes that part its entries, when a
    // worker takes the segment: the segments of a queued plan hold 4 bytes a file in all.
    std::shared_ptr<const std::vector<uint32_t>> order;
    uint32_t orderBegin = 0;
    uint32_t orderCount = 0;

    size_t TaskCount() const {
        return source ? (order ? orderCount : entries.size()) : tasks.size();
    }
    // The record of the k-th task (made from the source for a segment of one).
    DownloadTaskInfo TaskAt(size_t k) const;
    void MakeEntries();

    SegmentDownloadTaskInfo() = default;
    // A segment of one task: its URL, body and range, and the task as its only member.
    explicit SegmentDownloadTaskInfo(const DownloadTaskInfo& task)
        : url(task.url),
          postData(task.postData),
          rangeStart(task.rangeStart),
          rangeLength(task.rangeLength),
          tasks{task} {}
    // The same, taking the task over.
    explicit SegmentDownloadTaskInfo(DownloadTaskInfo&& task)
        : url(task.url),
          postData(task.postData),
          rangeStart(task.rangeStart),
          rangeLength(task.rangeLength) {
        tasks.push_back(std::move(task));
    }
};
