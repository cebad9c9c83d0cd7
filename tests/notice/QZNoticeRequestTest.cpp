// The notice request: its body, the reading of answers, and the whole round trip through the
// request facade against the loopback server.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "download/DownloadPauses.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"
#include "notice/NoticeAddress.h"
#include "notice/QZNoticeRequest.h"

namespace {

using Reply = LoopbackHttpServer::Reply;

struct Outcome {
    std::wstring url;
    RequestNoticeResult result = NoticeResultParseFailed;
    std::vector<std::wstring> codes;
    int calls = 0;
};

// Feeds one answer straight into OnResponse and returns what reached the callback.
Outcome Answer(const std::string& body, int32_t status = 200) {
    QZNoticeRequest request;
    Outcome outcome;
    request.SetCallback(
        [&](std::wstring url, RequestNoticeResult result, std::vector<std::wstring> codes) {
            outcome.url = url;
            outcome.result = result;
            outcome.codes = codes;
            ++outcome.calls;
        });
    request.OnResponse(body, status);
    return outcome;
}

using Codes = std::vector<std::wstring>;

TEST(NoticeAnswer, UsableAnswers) {
    Outcome o = Answer(R"({"Code":"a|b","PCPackageURL":"http://cdn/x/config.txt","Other":1})");
    EXPECT_EQ(1, o.calls);
    EXPECT_EQ(NoticeResultSuccess, o.result);
    EXPECT_EQ(L"http://cdn/x/config.txt", o.url);
    EXPECT_EQ((Codes{L"a", L"b"}), o.codes);

    o = Answer(R"({"PCPackageURL":""})");
    EXPECT_EQ(NoticeResultNoPackageURL, o.result);
    EXPECT_EQ(L"", o.url);

    // UTF-8 text is decoded (here a Chinese path segment).
    o = Answer("{\"PCPackageURL\":\"http://cdn/\xE4\xB8\xAD/c.txt\"}");
    EXPECT_EQ(L"http://cdn/\x4E2D/c.txt", o.url);
}

TEST(NoticeAnswer, CodeListSplitting) {
    auto codes = [](const std::string& code) {
        return Answer("{\"Code\":\"" + code + "\",\"PCPackageURL\":\"u\"}").codes;
    };
    EXPECT_EQ((Codes{L"a", L"b"}), codes("a||b"));
    EXPECT_EQ((Codes{L"a"}), codes("|a|"));
    EXPECT_EQ((Codes{L"a"}), codes("a| |b"));
    EXPECT_EQ(Codes{}, codes(""));
    EXPECT_EQ((Codes{L"x y"}), codes("  x y \\t"));
}

TEST(NoticeAnswer, UnusableAnswers) {
    const std::string deep(1200, '[');  // beyond the reader's nesting limit
    for (const char* body :
         {deep.c_str(), "", "not json", "null", "[1,2]", "\"text\"", "42", "{\"Code\":\"a\"",
          "{\"PCPackageURL\":null}", "{\"PCPackageURL\":7}", "{\"PCPackageURL\":{\"x\":1}}",
          "{\"Code\":5,\"PCPackageURL\":\"u\"}", "{\"Code\":[\"a\"],\"PCPackageURL\":\"u\"}"}) {
        const Outcome o = Answer(body);
        EXPECT_EQ(1, o.calls) << body;
        EXPECT_EQ(NoticeResultParseFailed, o.result) << body;
        EXPECT_EQ(L"", o.url) << body;
    }
    // Without an address the code list still comes through.
    const Outcome o = Answer(R"({"Code":"a|b"})");
    EXPECT_EQ(NoticeResultParseFailed, o.result);
    EXPECT_EQ((Codes{L"a", L"b"}), o.codes);
}

TEST(NoticeAnswer, FailedTransferNeverParses) {
    for (int32_t status : {404, 500, -1, -2, -3, -4, -5}) {
        const Outcome o = Answer(R"({"Code":"a","PCPackageURL":"u"})", status);
        EXPECT_EQ(NoticeResultRequestFailed, o.result);
        EXPECT_TRUE(o.url.empty());
        EXPECT_TRUE(o.codes.empty());
    }
    QZNoticeRequest silent;  // no callback: nothing happens
    silent.OnResponse("{}", 200);
}

// Holds a parameter record as a start would, without starting anything.
class BodyProbe : public QZNoticeRequest {
  public:
    void Adopt(NoticeRequestParam* record) { param.reset(record); }
};

TEST(NoticeRequestBody, OneLineOfJsonInTheFixedOrder) {
    BodyProbe request;
    auto* param = new NoticeRequestParam();
    param->deviceID = L"ABCDEF";
    param->language = L"Chinese";
    param->packageName = L"com.corvane.vemo.pc.Ombrix";
    param->version = L"1.0.3.12";
    param->channelID = L"100001";
    request.Adopt(param);
    std::wstring url, body;
    request.BuildRequest(url, body);
    EXPECT_EQ(GetNoticeUrl(), url);
    EXPECT_EQ(0u, url.find(L"http://"));
    EXPECT_NE(std::wstring::npos, url.find(L":8001/notice_upgrade"));
    const std::wregex expected(
        LR"(\{"Timestamp":"\d{10}","deviceID":"ABCDEF","language":"Chinese",)"
        LR"("packagename":"com.corvane.vemo.pc.Ombrix","sign":"","version":"1.0.3.12",)"
        LR"("deviceModel":"","cpu":"","match_quality":"-1","channel_id":"100001",)"
        LR"("app_channel_id":"","deviceOS":"weiduan"\})");
    EXPECT_TRUE(std::regex_match(body, expected)) << std::string(body.begin(), body.end());

    param->deviceID = L"a\"b\\c";  // cannot break out of its string
    request.BuildRequest(url, body);
    EXPECT_NE(std::wstring::npos, body.find(LR"("deviceID":"a\"b\\c")"));
    EXPECT_EQ(0, request.GetHttpVerb());
    EXPECT_EQ(0, request.UseJsonContentType());
    EXPECT_EQ(5, request.GetMaxAttempts());
}

// The real request, pointed at the loopback server instead of the deployment's host.
class LoopbackNoticeRequest : public QZNoticeRequest {
  public:
    explicit LoopbackNoticeRequest(uint16_t port) : port_(port) {}
    ~LoopbackNoticeRequest() override { Shutdown(); }
    void BuildRequest(std::wstring& url, std::wstring& body) override {
        QZNoticeRequest::BuildRequest(url, body);
        url = L"http://127.0.0.1:" + std::to_wstring(port_) + L"/notice_upgrade";
    }

  private:
    uint16_t port_;
};

class NoticeRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        request = std::make_unique<LoopbackNoticeRequest>(server.Port());
        request->SetCallback(
            [this](std::wstring url, RequestNoticeResult result, std::vector<std::wstring> codes) {
                {
                    ombrix::ScopedLock guard(lock);
                    outcome.url = url;
                    outcome.result = result;
                    outcome.codes = codes;
                    ++outcome.calls;
                }
                ::SetEvent(done.Get());
            });
    }
    void TearDown() override { request.reset(); }
    static NoticeRequestParam* Param(const std::wstring& device) {
        auto* param = new NoticeRequestParam();
        param->deviceID = device;
        return param;
    }
    bool WaitCalls(int count) {
        for (int i = 0; i < 2000; ++i) {
            {
                ombrix::ScopedLock guard(lock);
                if (outcome.calls >= count) return true;
            }
            ::WaitForSingleObject(done.Get(), 10);
        }
        return false;
    }

    ScopedDownloadPauses pauses{10, 0};
    LoopbackHttpServer server;
    ombrix::CriticalSection lock;
    Outcome outcome;
    ombrix::ScopedKernelHandle done{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::unique_ptr<LoopbackNoticeRequest> request;
};

TEST_F(NoticeRoundTrip, PostsTheBodyAndDeliversTheAnswer) {
    server.SetScript(
        {Reply::Status(200, "\xEF\xBB\xBF{\"Code\":\"x|y\",\"PCPackageURL\":\"http://c/cfg\"}")});
    ASSERT_EQ(1, request->Start(Param(L"DEV1")));
    ASSERT_TRUE(WaitCalls(1));
    {
        ombrix::ScopedLock guard(lock);
        EXPECT_EQ(NoticeResultSuccess, outcome.result);
        EXPECT_EQ(L"http://c/cfg", outcome.url);
        EXPECT_EQ((Codes{L"x", L"y"}), outcome.codes);
    }
    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].Method());
    EXPECT_EQ(0u, requests[0].Target().find("/notice_upgrade?t="));
    EXPECT_EQ("application/x-www-form-urlencoded;charset=UTF-8",
              requests[0].Header("Content-Type"));
    EXPECT_NE(std::string::npos, requests[0].body.find("\"deviceID\":\"DEV1\""));
    EXPECT_EQ(std::string::npos, requests[0].body.find('\n'));
}

TEST_F(NoticeRoundTrip, FailingServiceIsTriedFiveTimes) {
    server.SetScript({Reply::Status(500, "{\"PCPackageURL\":\"u\"}")});
    ASSERT_EQ(1, request->Start(Param(L"A")));
    ASSERT_TRUE(WaitCalls(1));
    ombrix::ScopedLock guard(lock);
    EXPECT_EQ(1, outcome.calls);
    EXPECT_EQ(NoticeResultRequestFailed, outcome.result);
    EXPECT_TRUE(outcome.url.empty());
    EXPECT_EQ(5u, server.RequestCount());
}

}  // namespace
