// The task dispatcher and its workers against the loopback server: merged requests, results per
// task, the worker bound, stopping, work added from worker threads, and pool reuse.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "TestOwner.h"
#include "VectorTaskSource.h"
#include "download/DownloadPauses.h"
#include "download/DownloaderTaskDispatcher.h"

namespace {

using Reply = LoopbackHttpServer::Reply;

std::string MakeFile(size_t size) {
    std::string file(size, '\0');
    uint32_t x = 777;
    for (char& c : file) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return file;
}

class DispatcherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        server.SetFile(file);
        server.SetScript({Reply::File()});
        dispatcher.owner = &owner;
        dispatcher.maxThreads = 3;
    }
    DownloadTaskInfo Task(int64_t start, uint32_t length, const std::wstring& path = L"/pkg") {
        DownloadTaskInfo task;
        task.url = server.Url(path);
        task.name = path + L"#" + std::to_wstring(start);
        task.kind = 7;
        task.rangeStart = start;
        task.rangeLength = length;
        return task;
    }
    size_t ActiveCount() {
        ombrix::ScopedLock guard(dispatcher.lock);
        return dispatcher.activeTasks.size();
    }
    void WaitRequests(size_t count) {
        for (int i = 0; i < 2000 && server.RequestCount() < count; ++i) ::Sleep(5);
    }

    ScopedDownloadPauses pauses{10, 0};
    const std::string file = MakeFile(200 * 1024);
    LoopbackHttpServer server;
    TestOwner owner;
    DownloaderTaskDispatcher dispatcher;
};

TEST_F(DispatcherTest, AdjacentTasksShareOneRequestAndEachGetsItsBytes) {
    std::vector<DownloadTaskInfo> tasks;
    for (int i = 29; i >= 0; --i) tasks.push_back(Task(i * 5000, 5000));
    tasks.push_back(Task(160000, 1234));  // after a gap: a request of its own
    tasks.push_back(Task(0, 4096, L"/other"));
    EXPECT_EQ(1, dispatcher.AddTasks(tasks));
    EXPECT_EQ(0, tasks.front().rangeStart);  // sorted in place
    ASSERT_TRUE(owner.WaitAllFinished());
    ASSERT_TRUE(owner.WaitResults(32));

    EXPECT_EQ(3u, server.RequestCount());
    for (const DownloadTaskInfo& task : tasks) {
        EXPECT_EQ(200, owner.StatusOf(task.name)) << task.name.c_str();
        EXPECT_EQ(file.substr(task.rangeStart, task.rangeLength), owner.DataOf(task.name));
    }
    std::set<std::string> ranges;
    for (const auto& r : server.Requests()) ranges.insert(r.Header("Range"));
    EXPECT_EQ((std::set<std::string>{"bytes=0-149999", "bytes=160000-161233", "bytes=0-4095"}),
              ranges);
    for (const auto& r : owner.results) EXPECT_EQ(7, r.kind);  // caller's tags travel along
}

// Tasks of a source: one request for the adjacent ones, each task's sink made when its bytes
// come (once, although one sink refuses the first attempt and the request is repeated), and one
// result per task.
TEST_F(DispatcherTest, TasksOfASourceAreMadeWhenTheirBytesCome) {
    std::vector<DownloadTaskInfo> tasks;
    for (int i = 299; i >= 0; --i) tasks.push_back(Task(i * 500, 500));
    std::map<std::wstring, int> made;
    owner.onMade = [&](RecordingSink& sink) {
        if (++made[sink.taskInfo.name] == 1 && sink.taskInfo.rangeStart == 100000) {
            sink.refuseData = 1;
        }
    };
    dispatcher.AddTasks(std::make_shared<VectorTaskSource>(tasks));
    ASSERT_TRUE(owner.WaitAllFinished());
    ASSERT_TRUE(owner.WaitResults(300));
    EXPECT_EQ(2u, server.RequestCount());  // one segment, its first attempt refused
    EXPECT_EQ(300u, owner.results.size());
    for (const DownloadTaskInfo& task : tasks) {
        EXPECT_EQ(1, made[task.name]) << task.name.c_str();
        EXPECT_EQ(200, owner.StatusOf(task.name));
        EXPECT_EQ(file.substr(task.rangeStart, task.rangeLength), owner.DataOf(task.name));
    }
    // Results follow the file order of the segment.
    for (size_t i = 0; i < owner.results.size(); ++i) {
        EXPECT_EQ(static_cast<int64_t>(i) * 500, owner.results[i].rangeStart);
    }
}

TEST_F(DispatcherTest, WorkersAreBoundedAndFinishOnce) {
    Reply held = Reply::File();
    held.hold = true;
    server.SetScript({held});
    std::vector<DownloadTaskInfo> two = {Task(0, 10), Task(100, 10)};
    dispatcher.AddTasks(two);
    EXPECT_EQ(2u, ActiveCount());
    std::vector<DownloadTaskInfo> five = {Task(1000, 10), Task(2000, 10), Task(3000, 10),
                                          Task(4000, 10), Task(5000, 10)};
    dispatcher.AddTasks(five);
    EXPECT_EQ(3u, ActiveCount());  // one more, up to the bound
    WaitRequests(3);
    server.ReleaseStalls();
    ASSERT_TRUE(owner.WaitAllFinished());
    ASSERT_TRUE(owner.WaitResults(7));
    EXPECT_EQ(7u, server.RequestCount());
    EXPECT_EQ(0u, ActiveCount());
    EXPECT_EQ(3u, dispatcher.idleTasks.size());
    ombrix::ScopedLock guard(owner.lock);
    EXPECT_EQ(1, owner.allFinished);
    for (const auto& r : owner.results) EXPECT_EQ(200, r.statusCode);
}

TEST_F(DispatcherTest, StopAllReportsRunningSegmentsAsCancelledAndKeepsTheQueue) {
    Reply held = Reply::File();
    held.hold = true;
    server.SetScript({held});
    dispatcher.maxThreads = 2;
    std::vector<DownloadTaskInfo> tasks = {Task(0, 10), Task(100, 10), Task(200, 10), Task(300, 10),
                                           Task(400, 10)};
    dispatcher.AddTasks(tasks);
    WaitRequests(2);
    dispatcher.StopAll();
    server.ReleaseStalls();
    ASSERT_TRUE(owner.WaitAllFinished());
    ASSERT_TRUE(owner.WaitResults(2));
    {
        ombrix::ScopedLock guard(owner.lock);
        EXPECT_EQ(2u, owner.results.size());
        for (const auto& r : owner.results) EXPECT_EQ(-2, r.statusCode);
    }
    EXPECT_EQ(3u, dispatcher.pendingSegments.size());
    dispatcher.ClearPendingSegments();
    EXPECT_TRUE(dispatcher.pendingSegments.empty());

    // The next cycle runs normally on the pooled workers.
    server.SetScript({Reply::File()});
    std::vector<DownloadTaskInfo> more = {Task(500, 10)};
    dispatcher.AddTasks(more);
    ASSERT_TRUE(owner.WaitAllFinished(2));
    EXPECT_EQ(200, owner.StatusOf(more[0].name));
}

// A stop that comes after a worker took its segment and before its transfer begins is kept:
// the transfer sends nothing and the task is reported cancelled.
TEST_F(DispatcherTest, AStopJustBeforeATransferBeginsIsKept) {
    owner.onCreate = [this](const DownloadTaskInfo&) { dispatcher.StopAll(); };
    std::vector<DownloadTaskInfo> tasks = {Task(0, 10)};
    dispatcher.AddTasks(tasks);
    ASSERT_TRUE(owner.WaitAllFinished());
    EXPECT_EQ(-2, owner.StatusOf(tasks[0].name));
    EXPECT_EQ(0u, server.RequestCount());
}

TEST_F(DispatcherTest, TasksWithoutSinks) {
    // No sink for any task of a segment: -1 for each, and no request.
    owner.noSinkFor = {L"/pkg#0", L"/pkg#10"};
    std::vector<DownloadTaskInfo> tasks = {Task(0, 10), Task(10, 10)};
    dispatcher.AddTasks(tasks);
    ASSERT_TRUE(owner.WaitAllFinished());
    EXPECT_EQ(-1, owner.StatusOf(L"/pkg#0"));
    EXPECT_EQ(-1, owner.StatusOf(L"/pkg#10"));
    EXPECT_EQ(0u, server.RequestCount());

    // One task of a segment without sink: its bytes go nowhere, its neighbours get theirs.
    owner.noSinkFor = {L"/pkg#1000"};
    std::vector<DownloadTaskInfo> mixed = {Task(0, 1000), Task(1000, 3000), Task(4000, 500)};
    dispatcher.AddTasks(mixed);
    ASSERT_TRUE(owner.WaitAllFinished(2));
    EXPECT_EQ(file.substr(0, 1000), owner.DataOf(L"/pkg#0"));
    EXPECT_EQ(file.substr(4000, 500), owner.DataOf(L"/pkg#4000"));
    EXPECT_EQ(200, owner.StatusOf(L"/pkg#4000"));

    // An empty list starts nothing and reports nothing.
    std::vector<DownloadTaskInfo> none;
    EXPECT_EQ(1, dispatcher.AddTasks(none));
    EXPECT_EQ(0u, ActiveCount());
}

TEST_F(DispatcherTest, WorkAddedFromWorkerThreads) {
    // From inside a task result (as the configuration result starts the next batch).
    bool added = false;
    owner.onResult = [&](const DownloadTaskResultInfo&) {
        if (added) return;
        added = true;
        std::vector<DownloadTaskInfo> next = {Task(0, 100), Task(100, 100), Task(5000, 10)};
        dispatcher.AddTasks(next);
    };
    std::vector<DownloadTaskInfo> first = {Task(-1, 0, L"/config")};
    dispatcher.AddTasks(first);
    ASSERT_TRUE(owner.WaitResults(4));
    ASSERT_TRUE(owner.WaitAllFinished());
    EXPECT_EQ(file.substr(100, 100), owner.DataOf(L"/pkg#100"));

    // From inside OnAllTasksFinished: the finishing worker is reused in place.
    owner.onResult = nullptr;
    int cycles = 0;
    owner.onAllFinished = [&] {
        if (++cycles > 2) return;
        std::vector<DownloadTaskInfo> next = {Task(20000 + cycles * 10, 10)};
        dispatcher.AddTasks(next);
    };
    std::vector<DownloadTaskInfo> start = {Task(10000, 10)};
    dispatcher.AddTasks(start);
    ASSERT_TRUE(owner.WaitAllFinished(4));
    EXPECT_EQ(200, owner.StatusOf(L"/pkg#20010"));
    EXPECT_EQ(file.substr(20020, 10), owner.DataOf(L"/pkg#20020"));
}

// The pause spaces the ranged requests of a batch; the one request for a whole resource (the
// configuration at every start) is not held by it.
TEST_F(DispatcherTest, AWholeResourceRequestIsNotPaused) {
    ScopedDownloadPauses longPause{10, 60000};
    std::vector<DownloadTaskInfo> config = {Task(-1, 0, L"/config")};
    dispatcher.AddTasks(config);
    ASSERT_TRUE(owner.WaitAllFinished());
    EXPECT_EQ(200, owner.StatusOf(config[0].name));
}

TEST_F(DispatcherTest, WorkAddedWhileTheOnlyWorkerLeavesIsNotLost) {
    dispatcher.maxThreads = 1;
    // Each new task arrives right after the previous result, when the worker is about to ask
    // for more or to leave; a task that nobody picks up would make WaitResults time out.
    for (int i = 0; i < 40; ++i) {
        std::vector<DownloadTaskInfo> one = {Task(i * 10, 10)};
        dispatcher.AddTasks(one);
        ASSERT_TRUE(owner.WaitResults(i + 1)) << "task " << i << " was lost";
    }
    for (int i = 0; i < 40; ++i) EXPECT_EQ(200, owner.StatusOf(L"/pkg#" + std::to_wstring(i * 10)));
}

TEST_F(DispatcherTest, PooledWorkersAreReused) {
    std::vector<DownloadTaskInfo> tasks = {Task(0, 10), Task(100, 10), Task(200, 10)};
    dispatcher.AddTasks(tasks);
    ASSERT_TRUE(owner.WaitAllFinished());
    std::set<DownloaderTask*> pool(dispatcher.idleTasks.begin(), dispatcher.idleTasks.end());
    ASSERT_EQ(3u, pool.size());
    std::vector<DownloadTaskInfo> again = {Task(300, 10), Task(400, 10), Task(500, 10)};
    dispatcher.AddTasks(again);
    ASSERT_TRUE(owner.WaitAllFinished(2));
    ASSERT_TRUE(owner.WaitResults(6));
    // Leaving threads end shortly after their report: wait for them before looking.
    for (DownloaderTask* worker : pool) worker->Join();
    std::set<DownloaderTask*> after(dispatcher.idleTasks.begin(), dispatcher.idleTasks.end());
    EXPECT_EQ(pool, after);
}

TEST(DownloaderTaskStart, NeedsNextSegmentAndStartsOneThread) {
    DownloaderTask worker;
    EXPECT_EQ(0, worker.Start());
    ombrix::ScopedKernelHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int calls = 0;
    worker.nextSegment = [&](SegmentDownloadTaskInfo*) {
        ++calls;
        ::WaitForSingleObject(release.Get(), 10000);
        return 0;
    };
    ScopedDownloadPauses pauses{10, 0};
    EXPECT_EQ(1, worker.Start());
    EXPECT_EQ(1, worker.Start());  // already running: no second thread
    ::SetEvent(release.Get());
    worker.Join();
    EXPECT_EQ(0, worker.running.load());
    EXPECT_GE(calls, 1);
    EXPECT_LE(calls, 2);  // the second Start may make the thread look once more
}

}  // namespace
