// One download worker: a thread that takes segments through nextSegment, asks for one sink per
// task, runs one HTTP transfer per segment into a segment sink and reports one result per task.
// Used by the task dispatcher (many segments) and by the request facade (one per start).
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "download/CustomInstanceID.h"
#include "download/DownloadDataProcessor.h"
#include "download/DownloadTaskInfo.h"
#include "download/HttpTransfer.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

class DownloaderTask : public CCustomInstanceID {
  public:
    DownloaderTask() = default;
    // Stops the worker (cancelling its transfer) and waits for its thread to end, unless called
    // on that thread itself.
    ~DownloaderTask() override;

    // Launches the worker thread. 1 when a thread was started or the worker is running and will
    // ask nextSegment again before it stops; 0 when nextSegment is empty or no thread could be
    // created. A worker whose thread is still leaving its loop is restarted without losing the
    // request: on its own thread it simply goes on; from elsewhere the old thread is awaited first.
    int32_t Start();

    // Asks the worker to stop after its current segment and cancels the transfer in flight, or
    // the next one when the worker is between segments: a stopped run starts no transfer.
    void Stop();

    // Waits until the worker's thread has ended (not from that thread itself).
    void Join();

    // True when called on this worker's own thread.
    bool IsOwnThread() const;

    int32_t verb = 1;  // 1 GET, 0 POST
    std::function<int32_t(SegmentDownloadTaskInfo*)> nextSegment;
    std::function<void(DownloaderTask*)> workerFinished;
    std::function<const DownloadDataProcessor*(const DownloadTaskInfo&)> createProcessor;
    std::function<void(const DownloadTaskResultInfo&)> taskResult;
    ombrix::ScopedKernelHandle thread;       // the latest thread started for this worker
    std::atomic<int32_t> running{0};         // 1 while the worker is meant to run
    int32_t maxAttempts = 10;                // copied into the transfer before each segment
    int32_t useJsonContentType = 0;          // nonzero: the transfer sends the JSON header set
    std::unique_ptr<HttpTransfer> transfer;  // created on the first start, reused afterwards

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Run();
    void RunSegment(const SegmentDownloadTaskInfo& segment);
    // A ranged segment of a task source: task sinks made and reported one at a time.
    void RunOnDemand(const SegmentDownloadTaskInfo& segment);

    // Guards the hand-over between a Start and a thread deciding to leave its loop.
    ombrix::CriticalSection startLock_;
    bool startRequested_ = false;  // a Start came while the thread was running
    bool leaving_ = false;         // the thread has decided to leave its loop
    bool restartInPlace_ = false;  // a Start on the leaving thread itself: go on looping
    DWORD threadId_ = 0;
    uint32_t cancelsAtStart_ = 0;  // the transfer's cancel count when this run was started
};
