// The request facade: one request per start through a worker, the response on the worker thread.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "LoopbackHttpServer.h"
#include "download/AsyncHttpRequest.h"
#include "download/DownloadPauses.h"
#include "framework/CriticalSection.h"
#include "framework/ScopedHandle.h"

namespace {

using Reply = LoopbackHttpServer::Reply;

struct TextParam : AsyncRequestParam {
    TextParam(std::wstring b, int* destroyed) : body(std::move(b)), destroyedCount(destroyed) {}
    ~TextParam() override { ++*destroyedCount; }
    std::wstring body;
    int* destroyedCount;
};

class TestRequest : public AsyncHttpRequest {
  public:
    TestRequest(std::wstring target, int32_t verbValue, int32_t json, int32_t attempts)
        : url_(std::move(target)), verb_(verbValue), json_(json), attempts_(attempts) {}
    ~TestRequest() override { Shutdown(); }

    struct Response {
        std::string body;
        int32_t status;
    };
    bool WaitResponses(size_t count) {
        for (int i = 0; i < 2000; ++i) {
            {
                ombrix::ScopedLock guard(lock);
                if (responses.size() >= count) return true;
            }
            ::WaitForSingleObject(event_.Get(), 10);
        }
        return false;
    }

    ombrix::CriticalSection lock;
    std::vector<Response> responses;
    std::vector<std::wstring> builtBodies;
    std::vector<std::string> settingCalls;

  protected:
    void BuildRequest(std::wstring& url, std::wstring& body) override {
        url = url_;
        body = static_cast<TextParam*>(CurrentParam())->body;
        ombrix::ScopedLock guard(lock);
        builtBodies.push_back(body);
    }
    int32_t GetHttpVerb() override {
        settingCalls.push_back("verb");
        return verb_;
    }
    int32_t UseJsonContentType() override {
        settingCalls.push_back("json");
        return json_;
    }
    int32_t GetMaxAttempts() override {
        settingCalls.push_back("attempts");
        return attempts_;
    }
    void OnResponse(std::string body, int32_t statusCode) override {
        {
            ombrix::ScopedLock guard(lock);
            responses.push_back({std::move(body), statusCode});
        }
        ::SetEvent(event_.Get());
    }

  private:
    std::wstring url_;
    int32_t verb_;
    int32_t json_;
    int32_t attempts_;
    ombrix::ScopedKernelHandle event_{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
};

class AsyncHttpRequestTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }
    ScopedDownloadPauses pauses{10, 0};
    LoopbackHttpServer server;
    int destroyed = 0;
};

TEST_F(AsyncHttpRequestTest, PostWithBodyAndTheChosenHeaderSet) {
    server.SetScript({Reply::Status(200, "\xEF\xBB\xBFreply")});
    TestRequest request(server.Url(L"/api"), 0, 1, 3);
    ASSERT_EQ(1, request.Start(new TextParam(L"{\"a\":1}", &destroyed)));
    ASSERT_TRUE(request.WaitResponses(1));
    EXPECT_EQ("reply", request.responses[0].body);  // without the byte-order mark
    EXPECT_EQ(200, request.responses[0].status);
    EXPECT_EQ((std::vector<std::string>{"json", "verb", "attempts"}), request.settingCalls);

    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("POST", requests[0].Method());
    EXPECT_EQ("{\"a\":1}", requests[0].body);
    EXPECT_EQ("application/json;charset=UTF-8", requests[0].Header("Content-Type"));
    EXPECT_FALSE(requests[0].HasHeader("Range"));
}

TEST_F(AsyncHttpRequestTest, FailureAfterAllAttemptsGivesOneEmptyResponse) {
    server.SetScript({Reply::Status(500, "error page")});
    TestRequest request(server.Url(L"/api"), 1, 0, 4);
    ASSERT_EQ(1, request.Start(new TextParam(L"", &destroyed)));
    ASSERT_TRUE(request.WaitResponses(1));
    request.settingCalls.clear();
    EXPECT_EQ("", request.responses[0].body);
    EXPECT_EQ(500, request.responses[0].status);
    EXPECT_EQ(4u, server.RequestCount());
    EXPECT_EQ("GET", server.Requests()[0].Method());
    EXPECT_EQ("application/x-www-form-urlencoded;charset=UTF-8",
              server.Requests()[0].Header("Content-Type"));
}

TEST_F(AsyncHttpRequestTest, StartsInSequenceUseTheirOwnParameters) {
    server.SetScript({Reply::Status(200, "ok")});
    {
        TestRequest request(server.Url(L"/api"), 0, 0, 1);
        ASSERT_EQ(1, request.Start(new TextParam(L"first", &destroyed)));
        ASSERT_TRUE(request.WaitResponses(1));
        ASSERT_EQ(1, request.Start(new TextParam(L"second", &destroyed)));
        EXPECT_EQ(1, destroyed);  // the first record went when the second took over
        ASSERT_TRUE(request.WaitResponses(2));
        EXPECT_EQ((std::vector<std::wstring>{L"first", L"second"}), request.builtBodies);
        EXPECT_EQ(3u, request.settingCalls.size());  // read once, by the first start
    }
    EXPECT_EQ(2, destroyed);
    const auto requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("second", requests[1].body);
}

TEST_F(AsyncHttpRequestTest, StartRacingWithTheLeavingWorkerIsNotLost) {
    // Each start follows the previous response at once, while the worker thread is between
    // delivering it and leaving its loop; a lost start would never be answered.
    server.SetScript({Reply::Status(200, "ok")});
    TestRequest request(server.Url(L"/api"), 1, 0, 1);
    for (size_t i = 1; i <= 40; ++i) {
        ASSERT_EQ(1, request.Start(new TextParam(std::to_wstring(i), &destroyed)));
        ASSERT_TRUE(request.WaitResponses(i)) << "start " << i << " was lost";
    }
    EXPECT_EQ(40u, server.RequestCount());
    EXPECT_EQ(40u, request.builtBodies.size());
}

TEST_F(AsyncHttpRequestTest, DestroyingABusyRequestCancelsAndWaits) {
    Reply held = Reply::Status(200, "late");
    held.hold = true;
    server.SetScript({held});
    {
        TestRequest request(server.Url(L"/api"), 1, 0, 10);
        ASSERT_EQ(1, request.Start(new TextParam(L"", &destroyed)));
        ASSERT_TRUE(server.WaitForStall(10000));
        server.ReleaseStalls();
    }  // the destructor returns only after the worker thread has ended
    EXPECT_EQ(1, destroyed);
}

}  // namespace
