// A dispatcher owner for the tests: one recording sink per task (unless told otherwise), every
// result and every end of all work recorded; hooks let a test react from the worker threads.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "download/DownloaderTaskProcessor.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

class TestOwner : public DownloaderTaskProcessor {
  public:
    const DownloadDataProcessor* CreateDataProcessor(const DownloadTaskInfo& task) override {
        if (onCreate) onCreate(task);
        ombrix::ScopedLock guard(lock);
        if (noSinkFor.count(task.name) != 0) return nullptr;
        auto& sink = sinks[task.name];
        sink = std::make_unique<RecordingSink>(task);
        if (onMade) onMade(*sink);
        return sink.get();
    }
    void OnTaskResult(const DownloadTaskResultInfo& result) override {
        {
            ombrix::ScopedLock guard(lock);
            results.push_back(result);
        }
        if (onResult) onResult(result);
        ::SetEvent(resultEvent.Get());
    }
    void OnAllTasksFinished() override {
        {
            ombrix::ScopedLock guard(lock);
            ++allFinished;
        }
        if (onAllFinished) onAllFinished();
        ::SetEvent(allEvent.Get());
    }

    // Waits (bounded) until OnAllTasksFinished was called at least count times.
    bool WaitAllFinished(int count = 1) {
        for (int i = 0; i < 2000; ++i) {
            {
                ombrix::ScopedLock guard(lock);
                if (allFinished >= count) return true;
            }
            ::WaitForSingleObject(allEvent.Get(), 10);
        }
        return false;
    }
    // Waits (bounded) until at least count results arrived.
    bool WaitResults(size_t count) {
        for (int i = 0; i < 2000; ++i) {
            {
                ombrix::ScopedLock guard(lock);
                if (results.size() >= count) return true;
            }
            ::WaitForSingleObject(resultEvent.Get(), 10);
        }
        return false;
    }
    int32_t StatusOf(const std::wstring& name) {
        ombrix::ScopedLock guard(lock);
        for (const auto& r : results) {
            if (r.name == name) return r.statusCode;
        }
        return 0;
    }
    std::string DataOf(const std::wstring& name) {
        ombrix::ScopedLock guard(lock);
        auto it = sinks.find(name);
        return it == sinks.end() ? std::string("<no sink>") : it->second->data;
    }

    ombrix::CriticalSection lock;
    std::map<std::wstring, std::unique_ptr<RecordingSink>> sinks;
    std::set<std::wstring> noSinkFor;
    std::vector<DownloadTaskResultInfo> results;
    int allFinished = 0;
    std::function<void(const DownloadTaskResultInfo&)> onResult;
    std::function<void()> onAllFinished;
    std::function<void(const DownloadTaskInfo&)> onCreate;  // before a worker's transfer begins
    std::function<void(RecordingSink&)> onMade;             // a sink was just made
    ombrix::ScopedKernelHandle resultEvent{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    ombrix::ScopedKernelHandle allEvent{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};
