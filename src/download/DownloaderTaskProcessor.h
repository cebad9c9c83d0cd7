// The owner of a task dispatcher: makes one sink per task, receives one result per task and
// learns when the last active worker has stopped. Called on download worker threads, up to
// maxThreads at once, so implementations guard their own state. No Windows header.
#pragma once

#include "download/DownloadDataProcessor.h"
#include "download/DownloadTaskInfo.h"

class DownloaderTaskProcessor {
  public:
    // The sink for this task, whose taskInfo is a copy of task; null when none can be made.
    // The owner keeps ownership of the sink.
    virtual const DownloadDataProcessor* CreateDataProcessor(const DownloadTaskInfo& task) = 0;
    // The outcome of one task.
    virtual void OnTaskResult(const DownloadTaskResultInfo& result) = 0;
    // The last active worker has stopped. Runs while the dispatcher's lock is held: it must not
    // wait for another worker.
    virtual void OnAllTasksFinished() = 0;

  protected:
    // Not deleted through this interface (virtual only so that owners need no extra care).
    virtual ~DownloaderTaskProcessor() = default;
};
