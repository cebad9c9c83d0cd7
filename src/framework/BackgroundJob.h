// A job run on a thread of its own whenever it is asked for: the caller never waits for it.
// Requests made while it runs are served by one more run after it; the thread is started at the
// first request. Without a thread to be had, the job runs on the caller's thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace ombrix {

class BackgroundJob {
  public:
    explicit BackgroundJob(std::function<void()> job) : job_(std::move(job)) {}
    // Lets a run in progress end, then the thread.
    ~BackgroundJob();
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    void Request();

  private:
    void Run();

    std::function<void()> job_;
    std::mutex lock_;
    std::condition_variable signal_;
    bool requested_ = false;  // guarded by lock_
    bool stopping_ = false;   // guarded by lock_
    std::thread thread_;      // started by the first Request (under lock_)
};

}  // namespace ombrix
