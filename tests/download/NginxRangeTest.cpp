// The engine against a real peer: nginx serving a file with byte ranges on loopback ports, in
// plain HTTP and in TLS, started by run-with-nginx.sh, which passes the ports, the served file
// and the servers' log folder in the environment.
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

std::wstring Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::wstring() : std::wstring(value, value + std::strlen(value));
}

// The size of a server's access log: it grows with every request the server read.
uint64_t AccessLogSize(const char* server) {
    const std::wstring path = Env("OMBRIX_TEST_NGINX_LOGS") + L"\\" +
                              std::wstring(server, server + std::strlen(server)) + L"\\access.log";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

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

// An https URL speaks TLS on whatever port it names. A certificate the system does not accept
// fails every attempt like a network failure: nothing goes to the sink and no request reaches
// any server, in TLS or in plain text. An answer that a redirect moved to plain http is
// refused the same way (WinINet may already have sent that request).
TEST_F(NginxTest, TlsOnAnyPortAndRefusedCertificates) {
    const std::wstring tls = Env("OMBRIX_TEST_NGINX_TLS_PORT");
    const std::wstring untrusted = Env("OMBRIX_TEST_NGINX_UNTRUSTED_PORT");
    ASSERT_FALSE(tls.empty() || untrusted.empty());
    struct Case {
        const char* what;
        std::wstring url;
        int32_t status;
        bool reachesServer;
    };
    const Case cases[] = {
        {"https on a port other than 443", L"https://localhost:" + tls + L"/pkg.bin", 200, true},
        {"an authority nobody trusts", L"https://localhost:" + untrusted + L"/pkg.bin", -3, false},
        {"a certificate for another name", L"https://127.0.0.1:" + tls + L"/pkg.bin", -3, false},
        {"a redirect to plain http", L"https://localhost:" + tls + L"/to-plain.bin", -3, true},
    };
    const char* const servers[] = {"download-test", "download-tls", "download-untrusted"};
    transfer.maxAttempts = 2;
    for (const Case& c : cases) {
        uint64_t before[3];
        for (int i = 0; i < 3; ++i) before[i] = AccessLogSize(servers[i]);
        RecordingSink sink;
        EXPECT_EQ(c.status, transfer.Download(c.url, &sink, HttpVerbGet, L"", 123457, 200000))
            << c.what;
        if (c.status == 200) {
            EXPECT_EQ(content.substr(123457, 200000), sink.data) << c.what;
            EXPECT_LT(before[1], AccessLogSize(servers[1])) << c.what;
            continue;
        }
        EXPECT_EQ(0, sink.begins) << c.what;
        EXPECT_EQ(2, sink.finishes) << c.what;
        for (int i = 0; i < 3 && !c.reachesServer; ++i) {
            EXPECT_EQ(before[i], AccessLogSize(servers[i])) << c.what;
        }
    }
}

}  // namespace
