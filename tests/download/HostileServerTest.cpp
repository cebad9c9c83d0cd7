// A package range fetched the way a download worker fetches it (its number of attempts, short
// time-outs and pauses) from servers that misbehave: every case ends, within seconds, in the
// status the worker reports, and a success delivers exactly the asked bytes. A cancel from
// another thread ends a trickling or silent transfer within the receive time-out. The failing
// cases once more through a whole update of OmbrixUpdate: its log names the failing URL and why.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "LoopbackHttpServer.h"
#include "RecordingSink.h"
#include "app/Crypto.h"
#include "app/FileServices.h"
#include "app/TextFormat.h"
#include "tests/app/TestFolder.h"
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
    const char* reason;         // the reason the log gives for the last attempt
    int cancelAfterMs = -1;     // 0 or more: another thread cancels the transfer then
};

std::vector<HostileCase> HostileCases(const std::string& file) {
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
    return {
        {"silent after part of the body", {silentBody}, TransferFailed, 0, "timeout"},
        {"silent before the head", {silentHead}, TransferFailed, 0, "timeout"},
        {"silent twice, then well",
         {silentBody, silentHead, Reply::File()},
         TransferSuccess,
         3,
         "ok"},
        {"closed early with the full length",
         {With(Reply::File(), [](Reply& r) { r.sendLimit = 1000; })},
         TransferFailed,
         0,
         "body_incomplete_or_refused"},
        {"range ignored", {Reply::File(false)}, TransferSuccess, 1, "ok"},
        {"a 206 for a shifted range", {shifted}, TransferFailed, 0, "body_incomplete_or_refused"},
        {"endless body without length",
         {With(Reply::File(false),
               [](Reply& r) {
                   r.contentLength = false;
                   r.endless = true;
               })},
         TransferSuccess,
         1,
         "ok"},
        {"5xx storm",
         {Reply::Status(500), Reply::Status(502), Reply::Status(503)},
         503,
         0,
         "http_status"},
        {"5xx, then well", {Reply::Status(500), Reply::Status(503), Reply::File()}, 200, 3, "ok"},
        {"trickling", {trickle}, TransferFailed, 0, "timeout"},
        {"trickling, cancelled", {trickle}, TransferCancelled, 1, "cancelled", 100},
        {"silent after part of the body, cancelled",
         {silentBody},
         TransferCancelled,
         1,
         "cancelled",
         100},
        {"silent before the head, cancelled", {silentHead}, TransferCancelled, 1, "cancelled", 100},
    };
}

TEST(HostileServerTest, EveryMisbehaviourEndsInItsStatusWithinSeconds) {
    const std::string file = MakeFile(100 * 1024);
    const std::vector<HostileCase> cases = HostileCases(file);

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

// Runs a program of the build's bin folder; its exit status, or -1.
int RunProgram(const std::wstring& exe, const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dir = self;
    dir.erase(dir.rfind(L'\\') + 1);
    std::wstring commandLine = L"\"" + dir + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return -1;
    }
    ombrix::ScopedKernelHandle processHandle(process.hProcess);
    ombrix::ScopedKernelHandle threadHandle(process.hThread);
    if (::WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.hProcess, &code);
    return static_cast<int>(code);
}

TEST(HostileServerTest, AFailedUpdateLogsTheFailingUrlAndWhy) {
    const std::string file = MakeFile(100 * 1024);
    Md5Hasher md5;
    md5.Update(file.data() + kStart, kLength);
    const std::string config = "a.bin=" + BytesToHex(md5.Finish()) +
                               "=p=" + std::to_string(kStart) + "=" + std::to_string(kLength) +
                               "\r\n";
    TestFolder folder(L"hostile_log");
    const std::wstring root = folder.Path().substr(0, folder.Path().size() - 1);
    const std::wstring log = folder.Path() + L"update.log";

    for (const HostileCase& c : HostileCases(file)) {
        if (c.status == TransferSuccess || c.cancelAfterMs >= 0) continue;
        SCOPED_TRACE(c.name);
        LoopbackHttpServer server;
        ASSERT_TRUE(server.Start());
        server.SetFile(file);
        std::vector<Reply> script{Reply::Status(200, config)};  // the configuration comes first
        script.insert(script.end(), c.script.begin(), c.script.end());
        server.SetScript(script);
        ::DeleteFileW(log.c_str());

        const int exitCode = RunProgram(
            L"OmbrixUpdate.exe", L"--root \"" + root + L"\" --config " +
                                     server.Url(L"/v1/config/resources.txt") + L" --log \"" + log +
                                     L"\" --retry-pause-ms 10 --timeout-ms 300");
        server.Stop();
        EXPECT_EQ(12, exitCode);  // the resource batch failed

        std::string text;
        ASSERT_TRUE(ReadFileBytes(log, &text));
        const std::string url =
            "url=http://127.0.0.1:" + std::to_string(server.Port()) + "/v1/p/qz_game.qzpkg ";
        const std::string last =
            "attempt=10/10 status=" + std::to_string(c.status) + " reason=" + c.reason + " ";
        size_t lastAttempts = 0;
        for (size_t at = text.find(url); at != std::string::npos; at = text.find(url, at + 1)) {
            const std::string line = text.substr(at, text.find('\n', at) - at);
            if (line.find(last) != std::string::npos) ++lastAttempts;
        }
        EXPECT_EQ(1u, lastAttempts) << text;
        EXPECT_NE(std::string::npos, text.find(" state state=12 value=")) << text;
    }
}

}  // namespace
