#include "notice/QZNoticeRequest.h"

#include <ctime>

#include "app/Log.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "app/Utf8Check.h"
#include "notice/NoticeAddress.h"
#include "notice/NoticeAnswer.h"
#include "notice/NoticeRequestBody.h"

QZNoticeRequest::~QZNoticeRequest() {
    // The worker thread calls into this object: it must end before this part is gone.
    Shutdown();
}

void QZNoticeRequest::SetCallback(const Callback& function) {
    callback = Callback();
    callback = function;
}

void QZNoticeRequest::NotifyResult(std::wstring packageURL, RequestNoticeResult result,
                                   std::vector<std::wstring> codeList) {
    if (callback) callback(std::move(packageURL), result, std::move(codeList));
}

void QZNoticeRequest::BuildRequest(std::wstring& url, std::wstring& body) {
    url = GetNoticeUrl();
    const auto* record = dynamic_cast<const NoticeRequestParam*>(CurrentParam());
    const NoticeRequestParam none;
    body = BuildNoticeRequestBody(record != nullptr ? *record : none,
                                  static_cast<int64_t>(std::time(nullptr)));
}

void QZNoticeRequest::OnResponse(std::string body, int32_t statusCode) {
    std::wstring packageURL;
    std::vector<std::wstring> codeList;
    RequestNoticeResult result = NoticeResultRequestFailed;
    if (statusCode == 200) {
        // UTF-8 with at least one multi-byte sequence is decoded; anything else is taken in
        // the narrow code page. The JSON reader gets the text in the narrow code page.
        std::string text = body;
        if (IsUtf8Text(reinterpret_cast<const unsigned char*>(body.data()),
                       static_cast<int32_t>(body.size())) != 0) {
            std::wstring wide;
            Utf8ToText(body.c_str(), &wide);
            text = TextToNarrow(wide);
        }
        const NoticeAnswer answer = ParseNoticeAnswer(text);
        if (!answer.code.empty()) SplitTokens(NarrowToText(answer.code), L"|", &codeList);
        packageURL = NarrowToText(answer.packageURL);
        result = answer.result;
    }
    LogEvent("notice_answer", {{"status", statusCode},
                               {"result", result},
                               {"package_url", packageURL},
                               {"codes", codeList.size()}});
    NotifyResult(std::move(packageURL), result, std::move(codeList));
}
