// The notice request: asks the notice service (HTTP POST of a JSON body) where the game's update
// configuration lives and hands the package address, a result and the "Code" list to a callback,
// on the download worker thread. It knows no window: the callback decides where the values go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "download/AsyncHttpRequest.h"
#include "notice/NoticeRequestParam.h"
#include "notice/RequestNoticeResult.h"

class QZNoticeRequest : public AsyncHttpRequest {
  public:
    using Callback = std::function<void(std::wstring packageURL, RequestNoticeResult result,
                                        std::vector<std::wstring> codeList)>;

    QZNoticeRequest() = default;
    ~QZNoticeRequest() override;

    // Replaces the callback (called on the worker thread, once per start).
    void SetCallback(const Callback& function);
    // Calls the callback when one is set.
    void NotifyResult(std::wstring packageURL, RequestNoticeResult result,
                      std::vector<std::wstring> codeList);

    // The notice address and the JSON body of the current parameter record.
    void BuildRequest(std::wstring& url, std::wstring& body) override;
    int32_t GetHttpVerb() override { return 0; }         // POST
    int32_t UseJsonContentType() override { return 0; }  // the form header set
    int32_t GetMaxAttempts() override { return 5; }
    // Interprets the answer and calls NotifyResult exactly once.
    void OnResponse(std::string body, int32_t statusCode) override;

    Callback callback;
};
