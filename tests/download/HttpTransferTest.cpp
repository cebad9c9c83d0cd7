// The HTTP transfer against the tests' own loopback server: what is sent, how answers, short
// bodies, refusals, retries and cancellation end.
#include <gtest/gtest.h>

#include <winsock2.h>

#include <ctime>
#include <string>
#include <thread>

#include "LoopbackHttpServer.h"
#include "RecordingSink.h"
#include "download/DownloadPauses.h"
#include "download/DownloadTextProcessor.h"
#include "download/HttpTransfer.h"

namespace {

using Reply = LoopbackHttpServer::Reply;

std::string MakeFile(size_t size) {
    std::string file(size, '\0');
    uint32_t x = 12345;
    for (char& c : file) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return file;
}

// A loopback port nobody listens on.
uint16_t ClosedPort() {
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(s);
    return ntohs(address.sin_port);
}

class HttpTransferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        server.SetFile(file);
        server.SetScript({Reply::File()});
        transfer.SetFormHeaders();
        transfer.maxAttempts = 1;
    }
    int32_t Get(const std::wstring& path, DownloadDataProcessor* target, int64_t start = -1,
                uint32_t length = 0) {
        return transfer.Download(server.Url(path), target, HttpVerbGet, L"", start, length);
    }

    ScopedDownloadPauses pauses{10, 0};
    LoopbackHttpServer server;
    HttpTransfer transfer;
    RecordingSink sink;
    const std::string file = MakeFile(300 * 1024 + 7);
};

TEST_F(HttpTransferTest, RangedGetSendsTheFixedRequest) {
    ASSERT_EQ(200, Get(L"/dir\\pkg.bin", &sink, 100, 50));  // 206 counts as 200
    EXPECT_EQ(file.substr(100, 50), sink.data);
    EXPECT_EQ(1, sink.begins);
    EXPECT_EQ(1, sink.finishes);

    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    const auto& r = requests[0];
    EXPECT_EQ("GET", r.Method());
    EXPECT_EQ(0u, r.Target().find("/dir/pkg.bin?t="));
    EXPECT_NE(std::string::npos, r.requestLine.find(" HTTP/1.0"));
    const long long seconds = std::atoll(r.Target().substr(r.Target().find("t=") + 2).c_str());
    EXPECT_LE(std::llabs(seconds - static_cast<long long>(std::time(nullptr))), 5);
    EXPECT_EQ("*/*", r.Header("Accept"));
    EXPECT_EQ(0u, r.Header("User-Agent").find("Mozilla/5.0 (Windows NT 6.1; WOW64)"));
    EXPECT_EQ("application/x-www-form-urlencoded;charset=UTF-8", r.Header("Content-Type"));
    EXPECT_EQ("bytes=100-149", r.Header("Range"));

    ASSERT_EQ(200, Get(L"/f", &sink, 0, 1));
    EXPECT_EQ("bytes=0-0", server.Requests()[1].Header("Range"));
    EXPECT_EQ(file.substr(0, 1), sink.data);
}

TEST_F(HttpTransferTest, WholeBodyStreamsInSmallChunks) {
    ASSERT_EQ(200, Get(L"/f", &sink));
    EXPECT_EQ(file, sink.data);
    EXPECT_LE(sink.largestChunk, 1024u);
    EXPECT_EQ(std::vector<uint32_t>{static_cast<uint32_t>(file.size())}, sink.lengths);
    EXPECT_FALSE(server.Requests()[0].HasHeader("Range"));

    // Without Content-Length the body simply runs to the close.
    server.SetScript({[] {
        Reply r = Reply::Status(200, "no length here");
        r.contentLength = false;
        return r;
    }()});
    ASSERT_EQ(200, Get(L"/f", &sink));
    EXPECT_EQ("no length here", sink.data);
    EXPECT_EQ(0u, sink.lengths.back());
}

TEST_F(HttpTransferTest, PostSendsBodyInTheCodePageWithChosenHeaders) {
    transfer.SetJsonHeaders();
    server.SetScript({Reply::Status(200, "done")});
    ASSERT_EQ(200, transfer.Download(server.Url(L"/post"), &sink, HttpVerbPost,
                                     L"{\"k\":\"\x4E2D\"}", -1, 0));
    ASSERT_EQ(200, transfer.Download(server.Url(L"/post"), &sink, HttpVerbPost, L"", -1, 0));
    const auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("POST", requests[0].Method());
    EXPECT_EQ("{\"k\":\"\xD6\xD0\"}", requests[0].body);  // code page 936
    EXPECT_EQ("application/json;charset=UTF-8", requests[0].Header("Content-Type"));
    EXPECT_EQ("", requests[1].body);
    EXPECT_EQ("0", requests[1].Header("Content-Length"));
    EXPECT_EQ("done", sink.data);
}

TEST_F(HttpTransferTest, RetriesUntilSuccessOrReturnsTheLastStatus) {
    transfer.maxAttempts = 10;
    server.SetScript({Reply::Status(404), Reply::Status(404), Reply::Status(404), Reply::File()});
    ASSERT_EQ(200, Get(L"/f", &sink, 10, 20));
    EXPECT_EQ(4u, server.RequestCount());
    EXPECT_EQ(1, sink.begins);  // error answers are not read
    EXPECT_EQ(4, sink.finishes);
    EXPECT_EQ(file.substr(10, 20), sink.data);

    RecordingSink failing;
    transfer.maxAttempts = 3;
    server.SetScript({Reply::Status(500, "oops")});
    EXPECT_EQ(500, Get(L"/f", &failing));
    EXPECT_EQ(7u, server.RequestCount());
    EXPECT_EQ(0, failing.begins);
    EXPECT_EQ(3, failing.finishes);
}

TEST_F(HttpTransferTest, InvalidRequestsMakeNoAttempt) {
    EXPECT_EQ(-1, Get(L"/f", nullptr));
    transfer.maxAttempts = 0;
    EXPECT_EQ(-1, Get(L"/f", &sink));
    transfer.maxAttempts = 2;
    EXPECT_EQ(-1, transfer.Download(L"no url at all", &sink, HttpVerbGet, L"", -1, 0));
    EXPECT_EQ(-1, transfer.Download(L"", &sink, HttpVerbGet, L"", -1, 0));
    EXPECT_EQ(0u, server.RequestCount());
    EXPECT_EQ(0, sink.finishes);
}

TEST_F(HttpTransferTest, NetworkFailuresAreFailedAttempts) {
    transfer.maxAttempts = 2;
    const std::wstring refused = L"http://127.0.0.1:" + std::to_wstring(ClosedPort()) + L"/f";
    EXPECT_EQ(-3, transfer.Download(refused, &sink, HttpVerbGet, L"", -1, 0));
    EXPECT_EQ(2, sink.finishes);

    server.SetScript({Reply::Close()});
    EXPECT_EQ(-3, Get(L"/f", &sink));
    EXPECT_EQ(2u, server.RequestCount());
}

TEST_F(HttpTransferTest, BodyCutShortIsAFailure) {
    Reply cut = Reply::Status(200, std::string(5000, 'x'));
    cut.sendLimit = 1200;
    server.SetScript({cut});
    EXPECT_EQ(-3, Get(L"/f", &sink));
    EXPECT_EQ(1, sink.finishes);

    // A ranged answer that ends early, with or without Content-Length.
    Reply ranged = Reply::File();
    ranged.sendLimit = 100;
    server.SetScript({ranged});
    EXPECT_EQ(-3, Get(L"/f", &sink, 0, 4000));
    ranged.contentLength = false;
    server.SetScript({ranged});
    EXPECT_EQ(-3, Get(L"/f", &sink, 0, 4000));

    // A range beyond the end of the file comes back short.
    server.SetScript({Reply::File()});
    EXPECT_EQ(-3, Get(L"/f", &sink, static_cast<int64_t>(file.size()) - 10, 20));
}

TEST_F(HttpTransferTest, ServerIgnoringRangeStillDeliversExactlyTheRange) {
    server.SetScript({Reply::File(false)});
    ASSERT_EQ(200, Get(L"/f", &sink, 70000, 3000));
    EXPECT_EQ(file.substr(70000, 3000), sink.data);
    EXPECT_EQ(std::vector<uint32_t>{3000}, sink.lengths);
    EXPECT_LE(sink.largestChunk, 1024u);

    EXPECT_EQ(-3, Get(L"/f", &sink, static_cast<int64_t>(file.size()) - 5, 10));
}

TEST_F(HttpTransferTest, SinkRefusalsAreRetriedLikeOtherFailures) {
    server.SetScript({Reply::Status(200, "body")});
    sink.refuseBegin = 1;
    EXPECT_EQ(-5, Get(L"/f", &sink));
    EXPECT_EQ(0, sink.chunks);
    sink.refuseData = 1;
    EXPECT_EQ(-4, Get(L"/f", &sink));
    sink.refuseFinish = 1;
    EXPECT_EQ(-3, Get(L"/f", &sink));

    RecordingSink later;
    later.refuseBegin = 1;  // attempt 1 refused at the start, attempt 2 in the body
    later.refuseData = 1;
    transfer.maxAttempts = 4;
    EXPECT_EQ(200, Get(L"/f", &later));
    EXPECT_EQ("body", later.data);
    EXPECT_EQ(3, later.finishes);
    EXPECT_EQ(3u + 3u, server.RequestCount());
}

TEST_F(HttpTransferTest, ByteOrderMarkOnlyBody) {
    server.SetScript({Reply::Status(200, "\xEF\xBB\xBF")});
    DownloadTextProcessor text{DownloadTaskInfo()};
    ASSERT_EQ(200, Get(L"/f", &text));
    std::string out = "x";
    text.GetContent(out);
    EXPECT_EQ("", out);
}

TEST_F(HttpTransferTest, CancelBetweenChunksStopsAtOnce) {
    transfer.maxAttempts = 5;
    sink.onData = [this](RecordingSink& s) {
        if (s.chunks == 3) transfer.Cancel();
    };
    EXPECT_EQ(-2, Get(L"/f", &sink));
    EXPECT_EQ(3, sink.chunks);
    EXPECT_EQ(1, sink.finishes);
    EXPECT_EQ(1u, server.RequestCount());

    // A cancel given before a call does not affect that call.
    RecordingSink next;
    transfer.Cancel();
    EXPECT_EQ(200, Get(L"/f", &next));
}

// A stalled body: a cancel does not wake the blocked read; the read returns when the server
// gives up (or the receive time-out passes), and the cancel given meanwhile decides the result.
TEST_F(HttpTransferTest, CancelDuringAStalledRead) {
    Reply stall = Reply::File();
    stall.sendLimit = 2000;
    stall.stall = true;
    server.SetScript({stall});
    transfer.maxAttempts = 5;
    int32_t result = 0;
    std::thread runner([&] { result = Get(L"/f", &sink); });
    ASSERT_TRUE(server.WaitForStall(20000));
    transfer.Cancel();
    server.ReleaseStalls();
    runner.join();
    EXPECT_EQ(-2, result);
    EXPECT_EQ(1, sink.finishes);
    EXPECT_EQ(1u, server.RequestCount());
}

TEST_F(HttpTransferTest, CancelDuringThePauseBetweenAttempts) {
    ScopedDownloadPauses longPause{20000, 0};
    server.SetScript({Reply::Status(503)});
    transfer.maxAttempts = 10;
    int32_t result = 0;
    std::thread runner([&] { result = Get(L"/f", &sink); });
    while (server.RequestCount() == 0) ::Sleep(5);
    ::Sleep(50);
    transfer.Cancel();
    runner.join();
    EXPECT_EQ(-2, result);
    EXPECT_EQ(1u, server.RequestCount());
}

}  // namespace
