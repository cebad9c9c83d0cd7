// Console benchmark of the download engine: hands COUNT adjacent tasks of SIZE bytes of URL to
// a dispatcher with three workers, waits for every result, and prints the wall time, the bytes
// received and the number of failed tasks.
//   bench-download URL COUNT SIZE
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "download/DownloaderTaskDispatcher.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

namespace {

// Counts bytes; keeps nothing.
class CountingSink : public DownloadDataProcessor {
  public:
    explicit CountingSink(const DownloadTaskInfo& task) : DownloadDataProcessor(task) {}
    bool OnBegin(uint32_t) override {
        bytes = 0;
        return true;
    }
    bool OnFinish() override { return true; }
    bool OnData(const void*, uint32_t size) override {
        bytes += size;
        return true;
    }
    bool GetContent(std::string&) override { return true; }
    int64_t bytes = 0;
};

class BenchOwner : public DownloaderTaskProcessor {
  public:
    const DownloadDataProcessor* CreateDataProcessor(const DownloadTaskInfo& task) override {
        ombrix::ScopedLock guard(lock);
        auto& sink = sinks[task.name];
        sink = std::make_unique<CountingSink>(task);
        return sink.get();
    }
    void OnTaskResult(const DownloadTaskResultInfo& result) override {
        ombrix::ScopedLock guard(lock);
        if (result.statusCode != 200) ++failed;
        received += sinks[result.name]->bytes;
        sinks.erase(result.name);
    }
    void OnAllTasksFinished() override { ::SetEvent(done.Get()); }

    ombrix::CriticalSection lock;
    std::map<std::wstring, std::unique_ptr<CountingSink>> sinks;
    int failed = 0;
    int64_t received = 0;
    ombrix::ScopedKernelHandle done{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench-download URL COUNT SIZE\n");
        return 2;
    }
    const std::wstring url = argv[1];
    const int count = std::wcstol(argv[2], nullptr, 10);
    const uint32_t size = static_cast<uint32_t>(std::wcstoul(argv[3], nullptr, 10));

    BenchOwner owner;
    DownloaderTaskDispatcher dispatcher;
    dispatcher.owner = &owner;
    dispatcher.maxThreads = 3;
    std::vector<DownloadTaskInfo> tasks;
    for (int i = 0; i < count; ++i) {
        DownloadTaskInfo task;
        task.url = url;
        task.name = std::to_wstring(i);
        task.rangeStart = static_cast<int64_t>(i) * size;
        task.rangeLength = size;
        tasks.push_back(task);
    }
    LARGE_INTEGER frequency, start, end;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    dispatcher.AddTasks(tasks);
    ::WaitForSingleObject(owner.done.Get(), INFINITE);
    ::QueryPerformanceCounter(&end);
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    ombrix::ScopedLock guard(owner.lock);
    std::printf("tasks=%d failed=%d bytes=%lld seconds=%.3f\n", count, owner.failed,
                static_cast<long long>(owner.received), seconds);
    return owner.failed == 0 && owner.received == int64_t(count) * size ? 0 : 1;
}
