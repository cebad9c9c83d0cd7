// Turns lists of ranged download tasks into segments (adjacent ranges of one URL and body merged
// up to about 10 MiB), queues them and runs up to maxThreads worker threads that drain the queue.
// Reports every task's result and the end of all work to its owner.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "download/DownloadTaskInfo.h"
#include "download/DownloadTaskSource.h"
#include "download/DownloaderTask.h"
#include "download/DownloaderTaskProcessor.h"
#include "framework/CriticalSection.h"

class DownloaderTaskDispatcher {
  public:
    DownloaderTaskDispatcher() = default;
    // Stops every worker, waits for their threads and frees the queue and the pool.
    ~DownloaderTaskDispatcher();
    DownloaderTaskDispatcher(const DownloaderTaskDispatcher&) = delete;
    DownloaderTaskDispatcher& operator=(const DownloaderTaskDispatcher&) = delete;

    // Sorts tasks in place by rangeStart, appends their segments to the queue and starts
    // workers. Always returns 1. May be called from a worker thread (inside OnTaskResult or
    // OnAllTasksFinished).
    int32_t AddTasks(std::vector<DownloadTaskInfo>& tasks);
    // The same, taking the tasks over (the vector is left empty): a plan of many thousands of
    // tasks is not copied.
    int32_t AddTasks(std::vector<DownloadTaskInfo>&& tasks);
    // The same for tasks described on demand: the queued segments hold the source and their
    // part of the plan's order (4 bytes a task), a segment taken gets its entries, and a worker
    // makes each task's record and sink when the bytes reach it.
    int32_t AddTasks(const std::shared_ptr<const DownloadTaskSource>& source);
    // Stops every active worker after its current segment and cancels its transfer; queued
    // segments stay queued. OnAllTasksFinished follows once the last worker has ended.
    void StopAll();
    // Removes and destroys every queued segment.
    void ClearPendingSegments();

    DownloaderTaskProcessor* owner = nullptr;  // not owned
    int32_t maxThreads = 1;
    std::deque<std::unique_ptr<SegmentDownloadTaskInfo>> pendingSegments;
    std::deque<DownloaderTask*> idleTasks;    // pooled workers that are not running
    std::deque<DownloaderTask*> activeTasks;  // started workers that have not reported their end
    ombrix::CriticalSection lock;             // recursive; guards the three lists

  private:
    // Queues segments; tasks that share their segment's URL wait without a copy of it.
    void QueueSegments(std::vector<SegmentDownloadTaskInfo> segments);
    void StartWorkers();
    DownloaderTask* TakeWorker();
    int32_t NextSegment(DownloaderTask* worker, SegmentDownloadTaskInfo* out);
    void OnWorkerFinished(DownloaderTask* worker);

    std::vector<std::unique_ptr<DownloaderTask>> workers_;  // owns every worker ever made
    bool stopped_ = false;  // StopAll was called and no AddTasks since
};
