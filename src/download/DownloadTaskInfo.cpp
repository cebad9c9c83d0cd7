#include "download/DownloadTaskInfo.h"

#include "download/DownloadTaskSource.h"

DownloadTaskInfo SegmentDownloadTaskInfo::TaskAt(size_t k) const {
    return source ? source->Task(entries[k].index) : tasks[k];
}
