// The engine against a real peer: nginx serving a file with byte ranges on a loopback port,
// started by run-with-nginx.sh, which passes the port and the served file in the environment.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "RecordingSink.h"
#include "TestOwner.h"
#include "download/DownloadPauses.h"
#include "download/DownloaderTaskDispatcher.h"
#include "download/HttpTransfer.h"
#include "framework/ScopedHandle.h"

namespace {

class NginxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* port = std::getenv("OMBRIX_TEST_NGINX_PORT");
        const char* path = std::getenv("OMBRIX_TEST_NGINX_FILE");
        if (port == nullptr || path == nullptr) GTEST_SKIP() << "run through run-with-nginx.sh";
        url = L"http://127.0.0.1:" + std::wstring(port, port + std::strlen(port)) + L"/pkg.bin";
        ombrix::ScopedFileHandle file(
            ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file.IsValid()) << path;
        content.resize(::GetFileSize(file.Get(), nullptr));
        DWORD got = 0;
        ASSERT_TRUE(
            ::ReadFile(file.Get(), &content[0], static_cast<DWORD>(content.size()), &got, nullptr));
        ASSERT_EQ(content.size(), got);
        transfer.SetFormHeaders();
        transfer.maxAttempts = 1;
    }

    ScopedDownloadPauses pauses{10, 0};
    std::wstring url;
    std::string content;
    HttpTransfer transfer;
};

TEST_F(NginxTest, RangesAndWholeFile) {
    RecordingSink sink;
    ASSERT_EQ(200, transfer.Download(url, &sink, HttpVerbGet, L"", 123457, 65536));
    EXPECT_EQ(content.substr(123457, 65536), sink.data);
    EXPECT_EQ(std::vector<uint32_t>{65536}, sink.lengths);
    ASSERT_EQ(200, transfer.Download(url, &sink, HttpVerbGet, L"", 0, 1));
    EXPECT_EQ(content.substr(0, 1), sink.data);
    ASSERT_EQ(200, transfer.Download(url, &sink, HttpVerbGet, L"", -1, 0));
    EXPECT_EQ(content, sink.data);
    EXPECT_LE(sink.largestChunk, 1024u);
}

TEST_F(NginxTest, RangesBeyondTheEnd) {
    RecordingSink sink;
    const int64_t size = static_cast<int64_t>(content.size());
    // nginx answers the part that exists: too short for the request.
    EXPECT_EQ(-3, transfer.Download(url, &sink, HttpVerbGet, L"", size - 10, 20));
    EXPECT_EQ(416, transfer.Download(url, &sink, HttpVerbGet, L"", size + 10, 20));
    EXPECT_EQ(404, transfer.Download(url + L".missing", &sink, HttpVerbGet, L"", 0, 20));
}

TEST_F(NginxTest, DispatcherFetchesManyTasks) {
    TestOwner owner;
    DownloaderTaskDispatcher dispatcher;
    dispatcher.owner = &owner;
    dispatcher.maxThreads = 3;
    std::vector<DownloadTaskInfo> tasks;
    // Runs of adjacent tasks with gaps between them, handed in backwards.
    for (int64_t start = static_cast<int64_t>(content.size()) - 7000; start >= 0; start -= 7000) {
        if ((start / 7000) % 50 == 7) continue;  // a gap
        DownloadTaskInfo task;
        task.url = url;
        task.name = std::to_wstring(start);
        task.rangeStart = start;
        // Every 13th task ends one byte short: a one-byte gap starts a new segment.
        task.rangeLength = static_cast<uint32_t>((start / 7000) % 13 == 0 ? 6999 : 7000);
        tasks.push_back(task);
    }
    dispatcher.AddTasks(tasks);
    ASSERT_TRUE(owner.WaitAllFinished());
    ASSERT_TRUE(owner.WaitResults(tasks.size()));
    for (const DownloadTaskInfo& task : tasks) {
        ASSERT_EQ(200, owner.StatusOf(task.name)) << task.rangeStart;
        ASSERT_EQ(content.substr(task.rangeStart, task.rangeLength), owner.DataOf(task.name))
            << task.rangeStart;
    }
}

}  // namespace
