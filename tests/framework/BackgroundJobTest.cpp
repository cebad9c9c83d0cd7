// A job asked for while it runs runs once more after it, and never on the caller's thread.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "framework/BackgroundJob.h"

TEST(BackgroundJob, RequestsDuringARunGiveOneMoreRun) {
    std::mutex lock;
    std::condition_variable changed;
    int runs = 0;
    bool released = false;
    std::atomic<bool> onCaller{false};
    const std::thread::id caller = std::this_thread::get_id();
    {
        ombrix::BackgroundJob job([&] {
            if (std::this_thread::get_id() == caller) onCaller = true;
            std::unique_lock<std::mutex> guard(lock);
            ++runs;
            changed.notify_all();
            changed.wait(guard, [&] { return released; });
        });
        job.Request();
        {
            std::unique_lock<std::mutex> guard(lock);
            changed.wait(guard, [&] { return runs == 1; });
        }
        for (int i = 0; i < 3; ++i) job.Request();  // while the first run waits
        {
            std::unique_lock<std::mutex> guard(lock);
            released = true;
            changed.notify_all();
            changed.wait(guard, [&] { return runs == 2; });
        }
    }  // the destructor ends the thread
    EXPECT_EQ(2, runs);
    EXPECT_FALSE(onCaller);
}
