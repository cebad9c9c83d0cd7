#include "download/DownloaderTask.h"

#include <vector>

#include "download/DownloadPauses.h"
#include "download/OnDemandSegmentSink.h"
#include "download/SegmentDownloadDataProcessor.h"

DownloaderTask::~DownloaderTask() {
    Stop();
    if (!IsOwnThread()) Join();
}

bool DownloaderTask::IsOwnThread() const {
    return thread && threadId_ != 0 && ::GetCurrentThreadId() == threadId_;
}

void DownloaderTask::Join() {
    if (thread && !IsOwnThread()) ::WaitForSingleObject(thread.Get(), INFINITE);
}

void DownloaderTask::Stop() {
    running.exchange(0);
    if (transfer) transfer->Cancel();
}

int32_t DownloaderTask::Start() {
    if (!nextSegment) return 0;
    {
        ombrix::ScopedLock guard(startLock_);
        if (running.load() != 0 && !leaving_) {
            // The thread will ask nextSegment again before it decides to stop.
            startRequested_ = true;
            return 1;
        }
        if (leaving_ && IsOwnThread()) {
            // Started again from inside workerFinished: the thread goes on with its loop.
            leaving_ = false;
            restartInPlace_ = true;
            if (transfer) cancelsAtStart_ = transfer->CancelCount();
            running.exchange(1);
            return 1;
        }
    }
    // A previous thread may still be on its way out: never run two threads on one worker.
    Join();

    running.exchange(1);
    if (!transfer) {
        transfer.reset(new HttpTransfer());
        transfer->maxAttempts = 1;
        transfer->SetFormHeaders();
        if (useJsonContentType != 0) transfer->SetJsonHeaders();
    }
    // Every Stop from here on cancels this run's transfers, even one not yet begun.
    cancelsAtStart_ = transfer->CancelCount();
    {
        ombrix::ScopedLock guard(startLock_);
        leaving_ = false;
        startRequested_ = false;
        restartInPlace_ = false;
    }
    DWORD id = 0;
    HANDLE handle = ::CreateThread(nullptr, 0, &DownloaderTask::ThreadMain, this, 0, &id);
    if (handle == nullptr) {
        running.exchange(0);
        return 0;
    }
    threadId_ = id;
    thread.Reset(handle);
    return 1;
}

DWORD WINAPI DownloaderTask::ThreadMain(void* self) {
    static_cast<DownloaderTask*>(self)->Run();
    return 0;
}

void DownloaderTask::Run() {
    for (;;) {
        while (running.load() == 1) {
            {
                ombrix::ScopedLock guard(startLock_);
                startRequested_ = false;
            }
            SegmentDownloadTaskInfo segment;
            const int32_t got = nextSegment(&segment);
            if (got == 0) {
                ombrix::ScopedLock guard(startLock_);
                // A Start that came while nextSegment was answering may have work for us.
                if (startRequested_ && running.load() == 1) continue;
                leaving_ = true;
                break;
            }
            // The pause spaces the ranged requests of a batch; a request for a whole resource (a
            // configuration, a notice) is the one request of its batch and waits for nothing.
            if (segment.rangeStart >= 0) ::Sleep(GetSegmentPauseMs());
            if (running.load() < 1) break;  // stopped meanwhile: the segment is dropped
            RunSegment(segment);
        }
        {
            ombrix::ScopedLock guard(startLock_);
            leaving_ = true;
            restartInPlace_ = false;
        }
        if (workerFinished) workerFinished(this);
        bool again = false;
        {
            ombrix::ScopedLock guard(startLock_);
            again = restartInPlace_;
            restartInPlace_ = false;
            if (again) leaving_ = false;
        }
        if (!again) break;
    }
    running.exchange(0);
}

void DownloaderTask::RunOnDemand(const SegmentDownloadTaskInfo& segment) {
    OnDemandSegmentSink sink(
        segment,
        [this](const DownloadTaskInfo& task) {
            return createProcessor ? const_cast<DownloadDataProcessor*>(createProcessor(task))
                                   : nullptr;
        },
        [this](DownloadTaskInfo&& task, int32_t status) {
            if (taskResult) taskResult(DownloadTaskResultInfo(std::move(task), status));
        });
    int32_t status = TransferInvalidRequest;
    if (sink.PrepareFirstSink()) {
        transfer->maxAttempts = maxAttempts;
        status = transfer->Download(segment.url, &sink, verb, segment.postData, segment.rangeStart,
                                    segment.rangeLength, cancelsAtStart_);
    }
    sink.ReportRest(status);
}

void DownloaderTask::RunSegment(const SegmentDownloadTaskInfo& segment) {
    if (segment.source) {
        if (segment.rangeStart >= 0) return RunOnDemand(segment);
        // Without range every sink receives the whole body: all of them are needed at once.
        SegmentDownloadTaskInfo whole(segment);
        whole.source.reset();
        for (size_t k = 0; k < segment.TaskCount(); ++k) whole.tasks.push_back(segment.TaskAt(k));
        return RunSegment(whole);
    }
    std::vector<DownloadDataProcessor*> sinks;
    for (const DownloadTaskInfo& task : segment.tasks) {
        // The owner hands out sinks it keeps; the transfer writes into them.
        DownloadDataProcessor* sink =
            createProcessor ? const_cast<DownloadDataProcessor*>(createProcessor(task)) : nullptr;
        if (sink != nullptr) sinks.push_back(sink);
    }
    SegmentDownloadDataProcessor segmentSink(segment, sinks);
    int32_t status = TransferInvalidRequest;
    if (!sinks.empty()) {
        transfer->maxAttempts = maxAttempts;
        status = transfer->Download(segment.url, &segmentSink, verb, segment.postData,
                                    segment.rangeStart, segment.rangeLength, cancelsAtStart_);
    }
    if (!taskResult) return;
    for (const DownloadTaskInfo& task : segment.tasks) {
        taskResult(DownloadTaskResultInfo(task, status));
    }
}
