// Sends one HTTP request in the background and hands the response text to a virtual operation,
// on the worker thread. A subclass supplies URL and body, verb, header set and number of
// attempts, and interprets the response. One request at a time per object.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "download/AsyncRequestParam.h"
#include "download/DownloadTaskInfo.h"
#include "download/DownloadTextProcessor.h"
#include "download/DownloaderTask.h"

class AsyncHttpRequest {
  public:
    AsyncHttpRequest() = default;
    // Stops the worker (Shutdown) before freeing the rest; not to be destroyed from inside its
    // own OnResponse.
    virtual ~AsyncHttpRequest();
    AsyncHttpRequest(const AsyncHttpRequest&) = delete;
    AsyncHttpRequest& operator=(const AsyncHttpRequest&) = delete;

    // Takes ownership of param and launches the request: 1 when the worker thread runs (new or
    // still running), 0 when it could not be started (then OnResponse does not follow).
    // Start again only after OnResponse of the previous start.
    int32_t Start(AsyncRequestParam* param);

    // Cancels a request in flight and waits until the worker thread has ended; OnResponse is
    // not called afterwards. A subclass calls it first in its own destructor, so that the
    // thread never calls into a half-destroyed object.
    void Shutdown();

  protected:
    // Fill URL and body of the current request (both given empty); on the worker thread.
    virtual void BuildRequest(std::wstring& url, std::wstring& body) = 0;
    virtual int32_t GetHttpVerb() = 0;         // 0 POST, 1 GET
    virtual int32_t UseJsonContentType() = 0;  // nonzero: JSON header set, 0: form set
    virtual int32_t GetMaxAttempts() = 0;      // attempts of the transfer
    // The outcome: the body (only for status 200, without a leading byte-order mark) and the
    // status; on the worker thread, once per start.
    virtual void OnResponse(std::string body, int32_t statusCode) = 0;

    // The parameter record of the latest start (for BuildRequest).
    AsyncRequestParam* CurrentParam() const { return param.get(); }

    std::unique_ptr<DownloaderTask> task;
    std::unique_ptr<DownloadTextProcessor> textProcessor;
    std::atomic<int32_t> handedOut{0};
    std::unique_ptr<AsyncRequestParam> param;

  private:
    std::atomic<int32_t> shutDown_{0};  // Shutdown was called: deliver nothing more

    int32_t NextSegment(SegmentDownloadTaskInfo* out);
    const DownloadDataProcessor* CreateProcessor(const DownloadTaskInfo& task);
    void DeliverResult(const DownloadTaskResultInfo& result);
};
