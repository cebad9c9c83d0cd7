#include "download/DownloaderTaskDispatcher.h"

#include <algorithm>

#include "download/SegmentBuilder.h"

DownloaderTaskDispatcher::~DownloaderTaskDispatcher() {
    std::vector<DownloaderTask*> all;
    {
        ombrix::ScopedLock guard(lock);
        stopped_ = true;
        for (auto& worker : workers_) {
            worker->Stop();
            all.push_back(worker.get());
        }
    }
    // Not under the lock: a leaving worker still reports its end through OnWorkerFinished.
    for (DownloaderTask* worker : all) worker->Join();
    std::vector<std::unique_ptr<DownloaderTask>> ended;
    {
        ombrix::ScopedLock guard(lock);
        pendingSegments.clear();
        idleTasks.clear();
        activeTasks.clear();
        ended.swap(workers_);
    }
}

int32_t DownloaderTaskDispatcher::AddTasks(std::vector<DownloadTaskInfo>& tasks) {
    SortTasksByRange(tasks);
    QueueSegments(MergeIntoSegments(tasks));
    StartWorkers();
    return 1;
}

int32_t DownloaderTaskDispatcher::AddTasks(std::vector<DownloadTaskInfo>&& tasks) {
    SortTasksByRange(tasks);
    QueueSegments(MergeIntoSegments(std::move(tasks)));
    StartWorkers();
    return 1;
}

int32_t DownloaderTaskDispatcher::AddTasks(
    const std::shared_ptr<const DownloadTaskSource>& source) {
    QueueSegments(MergeIntoQueuedSegments(source));
    StartWorkers();
    return 1;
}

namespace {

// A queued segment whose tasks all carry its URL keeps it once: the tasks' copies are dropped
// here and put back when a worker takes the segment (RestoreTaskUrls).
void DropTaskUrls(SegmentDownloadTaskInfo* segment) {
    if (segment->url.empty()) return;
    for (const DownloadTaskInfo& task : segment->tasks) {
        if (task.url != segment->url) return;
    }
    for (DownloadTaskInfo& task : segment->tasks) std::wstring().swap(task.url);
}

// The first task of a segment always carries the segment's URL, so an empty one there means
// DropTaskUrls took them all.
void RestoreTaskUrls(SegmentDownloadTaskInfo* segment) {
    if (segment->url.empty() || segment->tasks.empty() || !segment->tasks.front().url.empty()) {
        return;
    }
    for (DownloadTaskInfo& task : segment->tasks) task.url = segment->url;
}

}  // namespace

void DownloaderTaskDispatcher::QueueSegments(std::vector<SegmentDownloadTaskInfo> segments) {
    for (SegmentDownloadTaskInfo& segment : segments) DropTaskUrls(&segment);
    ombrix::ScopedLock guard(lock);
    if (!segments.empty()) stopped_ = false;  // a new cycle begins
    for (SegmentDownloadTaskInfo& segment : segments) {
        pendingSegments.push_back(std::make_unique<SegmentDownloadTaskInfo>(std::move(segment)));
    }
}

void DownloaderTaskDispatcher::StartWorkers() {
    ombrix::ScopedLock guard(lock);
    int32_t available = maxThreads - static_cast<int32_t>(activeTasks.size());
    if (available <= 0) return;
    available = std::min<int32_t>(available, static_cast<int32_t>(pendingSegments.size()));
    for (int32_t i = 0; i < available; ++i) {
        DownloaderTask* worker = TakeWorker();
        worker->nextSegment = [this, worker](SegmentDownloadTaskInfo* out) {
            return NextSegment(worker, out);
        };
        worker->workerFinished = [this](DownloaderTask* w) { OnWorkerFinished(w); };
        worker->createProcessor = [this](const DownloadTaskInfo& task) {
            return owner != nullptr ? owner->CreateDataProcessor(task) : nullptr;
        };
        worker->taskResult = [this](const DownloadTaskResultInfo& result) {
            if (owner != nullptr) owner->OnTaskResult(result);
        };
        if (worker->Start() != 0) {
            activeTasks.push_back(worker);
        } else {
            idleTasks.push_back(worker);
        }
    }
}

DownloaderTask* DownloaderTaskDispatcher::TakeWorker() {
    // A pooled worker whose thread is the calling one (work added from inside OnTaskResult or
    // OnAllTasksFinished) is reused in place; any other pooled worker's thread has already
    // passed OnWorkerFinished, so its Start waits at most for its last instructions.
    if (!idleTasks.empty()) {
        DownloaderTask* worker = idleTasks.front();
        idleTasks.pop_front();
        return worker;
    }
    workers_.push_back(std::make_unique<DownloaderTask>());
    return workers_.back().get();
}

int32_t DownloaderTaskDispatcher::NextSegment(DownloaderTask* worker,
                                              SegmentDownloadTaskInfo* out) {
    ombrix::ScopedLock guard(lock);
    // StopAll and Start change these under the lock: a stopped worker takes nothing, and the
    // segment stays queued for the next cycle.
    if (stopped_ || worker->running.load() == 0) return 0;
    if (pendingSegments.empty()) return 0;
    *out = std::move(*pendingSegments.front());
    pendingSegments.pop_front();
    RestoreTaskUrls(out);
    out->MakeEntries();
    return 1;
}

void DownloaderTaskDispatcher::OnWorkerFinished(DownloaderTask* worker) {
    ombrix::ScopedLock guard(lock);
    for (auto it = activeTasks.begin(); it != activeTasks.end();) {
        if (*it == worker || (*it)->instanceID == worker->instanceID) {
            idleTasks.push_back(*it);
            it = activeTasks.erase(it);
        } else {
            ++it;
        }
    }
    // Segments queued after this worker found the queue empty must not wait for a next cycle.
    if (!stopped_ && !pendingSegments.empty()) StartWorkers();
    if (activeTasks.empty() && owner != nullptr) owner->OnAllTasksFinished();
}

void DownloaderTaskDispatcher::StopAll() {
    ombrix::ScopedLock guard(lock);
    stopped_ = true;
    for (DownloaderTask* worker : activeTasks) {
        if (worker->thread) worker->running.exchange(0);
        if (worker->transfer) worker->transfer->Cancel();
    }
}

void DownloaderTaskDispatcher::ClearPendingSegments() {
    ombrix::ScopedLock guard(lock);
    pendingSegments.clear();
}
