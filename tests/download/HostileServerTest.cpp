// A package range fetched the way a download worker fetches it (its number of attempts, short
// time-outs and pauses) from servers that misbehave: every case ends, within seconds, in the
// status the worker reports, and a success delivers exactly the asked bytes. A cancel from
// another thread ends a trickling or silent transfer within the receive time-out.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "RecordingSink.h"
#include "download/DownloadPauses.h"
#include "download/DownloaderTask.h"
#include "download/HttpTransfer.h"
#include "download/TransferTimeouts.h"

namespace {

using Reply = LoopbackHttpServer::Reply;

constexpr int64_t kStart = 40000;
constexpr uint32_t kLength = 30000;

std::string MakeFile(size_t size) {
    std::string file(size, '\0');
    uint32_t x = 4242;
    for (char& c : file) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 23);
    }
    return file;
}

Reply With(Reply reply, void (*change)(Reply&)) {
    change(reply);
    return reply;
}

struct HostileCase {
    const char* name;
    std::vector<Reply> script;  // the last reply repeats
    int32_t status;             // what the transfer returns after the worker's attempts
    size_t requests;            // 0: one per attempt
    int cancelAfterMs = -1;     // 0 or more: another thread cancels the transfer then
};

TEST(HostileServerTest, EveryMisbehaviourEndsInItsStatusWithinSeconds) {
    const std::string file = MakeFile(100 * 1024);
    Reply shifted = Reply::Status(206, file.substr(kStart + 10, kLength));
    shifted.headers = {"Content-Range: bytes " + std::to_string(kStart + 10) + "-" +
                       std::to_string(kStart + 10 + kLength - 1) + "/" +
                       std::to_string(file.size())};
    const Reply silentBody = With(Reply::File(), [](Reply& r) {
        r.sendLimit = 1000;
        r.stall = true;
    });
    const Reply silentHead = With(Reply::File(), [](Reply& r) { r.hold = true; });
    // A byte every thirtieth of the receive time-out: each read gets its byte in time, the body
    // would take minutes; the progress floor ends the attempt.
    const Reply trickle = With(Reply::File(), [](Reply& r) { r.trickleMs = 10; });
    const std::vector<HostileCase> cases = {
        {"silent after part of the body", {silentBody}, TransferFailed, 0},
        {"silent before the head", {silentHead}, TransferFailed, 0},
        {"silent twice, then well", {silentBody, silentHead, Reply::File()}, TransferSuccess, 3},
        {"closed early with the full length",
         {With(Reply::File(), [](Reply& r) { r.sendLimit = 1000; })},
         TransferFailed,
         0},
        {"range ignored", {Reply::File(false)}, TransferSuccess, 1},
        {"a 206 for a shifted range", {shifted}, TransferFailed, 0},
        {"endless body without length",
         {With(Reply::File(false),
               [](Reply& r) {
                   r.contentLength = false;
                   r.endless = true;
               })},
         TransferSuccess,
         1},
        {"5xx storm", {Reply::Status(500), Reply::Status(502), Reply::Status(503)}, 503, 0},
        {"5xx, then well", {Reply::Status(500), Reply::Status(503), Reply::File()}, 200, 3},
        {"trickling", {trickle}, TransferFailed, 0},
        {"trickling, cancelled", {trickle}, TransferCancelled, 1, 100},
        {"silent after part of the body, cancelled", {silentBody}, TransferCancelled, 1, 100},
        {"silent before the head, cancelled", {silentHead}, TransferCancelled, 1, 100},
    };

    ScopedDownloadPauses pauses{10, 0};
    ScopedTransferTimeouts timeouts{300};
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server;
        ASSERT_TRUE(server.Start());
        server.SetFile(file);
        server.SetScript(c.script);
        HttpTransfer transfer;
        transfer.SetFormHeaders();
        transfer.maxAttempts = DownloaderTask().maxAttempts;
        RecordingSink sink;

        const ULONGLONG started = ::GetTickCount64();
        std::thread canceller;
        if (c.cancelAfterMs >= 0) {
            canceller = std::thread([&transfer, &c] {
                ::Sleep(c.cancelAfterMs);
                transfer.Cancel();
            });
        }
        const int32_t status =
            transfer.Download(server.Url(L"/pkg"), &sink, HttpVerbGet, L"", kStart, kLength);
        const ULONGLONG elapsed = ::GetTickCount64() - started;
        if (canceller.joinable()) canceller.join();
        server.Stop();

        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.requests != 0 ? c.requests : static_cast<size_t>(transfer.maxAttempts),
                  server.RequestCount());
        if (status == TransferSuccess) {
            EXPECT_EQ(file.substr(kStart, kLength), sink.data);
        }
        // A hang guard, not a measurement: ten silent attempts take about three seconds.
        EXPECT_LT(elapsed, 20000u);
        // Cancelled: within the receive time-out (300 ms) of the cancel, with room for wine.
        if (c.cancelAfterMs >= 0) {
            EXPECT_LT(elapsed, 2000u);
        }
    }
}

}  // namespace
