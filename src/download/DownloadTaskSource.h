// A list of download tasks described on demand instead of held as records: the dispatcher reads
// each task's request target and range to merge the list into segments, and a worker asks for
// the whole task only when its segment's bytes reach it. A plan of many thousands of files thus
// costs a few bytes per file until its files are fetched. No Windows header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "download/DownloadTaskInfo.h"

class DownloadTaskSource {
  public:
    virtual ~DownloadTaskSource() = default;

    virtual size_t TaskCount() const = 0;
    // The request target of a task: tasks of one target share their URL and body.
    virtual uint32_t TargetOf(size_t index) const = 0;
    virtual std::wstring TargetUrl(uint32_t target) const = 0;
    virtual std::wstring TargetBody(uint32_t target) const = 0;
    virtual int64_t RangeStart(size_t index) const = 0;
    virtual uint32_t RangeLength(size_t index) const = 0;
    // The task's record: its URL, body and range as above, and the caller's tags.
    virtual DownloadTaskInfo Task(size_t index) const = 0;
};
