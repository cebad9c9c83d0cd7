#include "framework/BackgroundJob.h"

#include <system_error>

namespace ombrix {

BackgroundJob::~BackgroundJob() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    signal_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void BackgroundJob::Request() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        requested_ = true;
        if (!thread_.joinable()) {
            try {
                thread_ = std::thread(&BackgroundJob::Run, this);
            } catch (const std::system_error&) {
                requested_ = false;
            }
        }
        if (requested_) {
            signal_.notify_all();
            return;
        }
    }
    job_();  // no thread to be had
}

void BackgroundJob::Run() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        signal_.wait(guard, [this] { return requested_ || stopping_; });
        if (stopping_) return;
        requested_ = false;
        guard.unlock();
        job_();
        guard.lock();
    }
}

}  // namespace ombrix
