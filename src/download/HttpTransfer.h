// One HTTP request from a URL into a sink, with its own loop of attempts, over WinINet.
// Runs on the calling thread and blocks until the transfer succeeded, failed for good or was
// cancelled from another thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "download/DownloadDataProcessor.h"
#include "framework/ScopedHandle.h"

// Results of HttpTransfer::Download besides an HTTP status.
enum TransferStatus : int32_t {
    TransferSuccess = 200,
    TransferInvalidRequest = -1,  // no sink, URL cannot be split, or no attempt allowed
    TransferCancelled = -2,
    TransferFailed = -3,        // network failure, short body, or the sink's OnFinish refused
    TransferWriteRefused = -4,  // the sink's OnData refused
    TransferBeginRefused = -5,  // the sink's OnBegin refused
};

// The verb argument of Download.
enum HttpVerb : int32_t { HttpVerbPost = 0, HttpVerbGet = 1 };

class HttpTransfer {
  public:
    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Replace the header lines by the form set or the JSON set.
    void SetFormHeaders();
    void SetJsonHeaders();

    // Requests url (GET when verb is 1, POST with postData when 0) into sink. A rangeStart of 0
    // or more asks for rangeLength bytes from there; a negative one for the whole resource.
    // Returns 200, the HTTP status of the last attempt, or a TransferStatus failure.
    int32_t Download(const std::wstring& url, DownloadDataProcessor* sink, int32_t verb,
                     const std::wstring& postData, int64_t rangeStart, uint32_t rangeLength);
    // The same, cancelled by any Cancel after CancelCount() answered cancelsSeen, even one that
    // came before this call began (it then returns -2 without a request). An owner that reads
    // the count when its run starts thus never loses a cancel given just before the transfer.
    int32_t Download(const std::wstring& url, DownloadDataProcessor* sink, int32_t verb,
                     const std::wstring& postData, int64_t rangeStart, uint32_t rangeLength,
                     uint32_t cancelsSeen);

    // Asks a running Download (from any thread) to stop: it returns -2 at its next check, and a
    // pause between attempts ends at once. A Download that begins later (first form) resets the
    // request. A read already waiting ends when data comes or the receive time-out passes.
    void Cancel();
    uint32_t CancelCount() const { return cancels_.load(); }

    std::vector<std::wstring> headers;  // request header lines, without line ends
    int32_t maxAttempts = 1;            // attempts Download may make; set by the owning worker

  private:
    int32_t Attempt(const std::wstring& host, uint16_t port, bool secure,
                    const std::wstring& object, DownloadDataProcessor* sink, int32_t verb,
                    const std::string& body, int64_t rangeStart, uint32_t rangeLength);
    void Pause();
    bool Cancelled() const { return cancels_.load() != cancelsSeen_; }

    std::atomic<uint32_t> cancels_{0};  // Cancel calls so far
    uint32_t cancelsSeen_ = 0;          // the count the running Download started from
    ombrix::ScopedKernelHandle wake_;   // signalled by Cancel: ends the pause between attempts
};
