#include "download/HttpTransfer.h"

#include <wininet.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <new>

#include "app/Log.h"
#include "download/DownloadPauses.h"
#include "download/InternetHandle.h"
#include "download/ResponseBodyWindow.h"
#include "download/TransferRequestText.h"
#include "download/TransferTimeouts.h"

namespace {

// Agent given to the root handle; every request also carries its explicit User-Agent line.
const wchar_t kAgentName[] = L"OmbrixLauncher";
// Bytes asked of each InternetReadFile call, and the largest piece handed to the sink at once.
constexpr DWORD kReadBytes = 64 * 1024;
constexpr uint32_t kSinkChunkBytes = 1024;

struct UrlParts {
    std::wstring host;
    INTERNET_PORT port = 0;
    std::wstring object;  // path plus query
    bool secure = false;  // TLS: the https scheme, or the port 443 whatever the scheme
};

// Canonicalises (browser mode) and cracks the URL. false when either step fails.
bool SplitUrl(const std::wstring& url, UrlParts* parts) {
    DWORD length = static_cast<DWORD>(url.size() * 3 + 64);
    std::wstring canonical(length, L'\0');
    if (!::InternetCanonicalizeUrlW(url.c_str(), &canonical[0], &length, ICU_BROWSER_MODE)) {
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
        canonical.assign(length + 1, L'\0');
        if (!::InternetCanonicalizeUrlW(url.c_str(), &canonical[0], &length, ICU_BROWSER_MODE)) {
            return false;
        }
    }
    canonical.resize(length);

    URL_COMPONENTSW components = {};
    components.dwStructSize = sizeof(components);
    components.dwHostNameLength = 1;
    components.dwUrlPathLength = 1;
    components.dwExtraInfoLength = 1;
    if (!::InternetCrackUrlW(canonical.c_str(), static_cast<DWORD>(canonical.size()), 0,
                             &components)) {
        return false;
    }
    if (components.lpszHostName == nullptr || components.dwHostNameLength == 0) return false;
    parts->host.assign(components.lpszHostName, components.dwHostNameLength);
    parts->object.clear();
    if (components.lpszUrlPath != nullptr) {
        parts->object.assign(components.lpszUrlPath, components.dwUrlPathLength);
    }
    if (components.lpszExtraInfo != nullptr) {
        parts->object.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    }
    if (parts->object.empty()) parts->object = L"/";
    const bool https = components.nScheme == INTERNET_SCHEME_HTTPS;
    parts->port = components.nPort;
    if (parts->port == 0) {
        parts->port = https ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    }
    parts->secure = https || parts->port == INTERNET_DEFAULT_HTTPS_PORT;
    return true;
}

// The POST body: the text in the thread's code page, up to the first zero byte.
std::string ToPostBody(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                              nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string bytes(n, '\0');
    ::WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0],
                          n, nullptr, nullptr);
    return bytes.substr(0, bytes.find('\0'));
}

bool SetOption(HINTERNET handle, DWORD option, DWORD value) {
    return ::InternetSetOptionW(handle, option, &value, sizeof(value)) != FALSE;
}

// The send, receive and connect time-outs and the connect retries. Set on the root handle for
// whatever inherits from it, and again on each request handle: some WinINet implementations ignore
// the root handle's values for the request, and without them a silent server holds the send or a
// read forever (closing the handle from another thread does not wake a blocked read either).
void SetTimeouts(HINTERNET handle) {
    const DWORD send = GetTransferSendTimeoutMs();
    const DWORD receive = GetTransferReceiveTimeoutMs();
    SetOption(handle, INTERNET_OPTION_SEND_TIMEOUT, send);
    SetOption(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, receive);
    SetOption(handle, INTERNET_OPTION_DATA_SEND_TIMEOUT, send);
    SetOption(handle, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, receive);
    SetOption(handle, INTERNET_OPTION_CONNECT_TIMEOUT, GetTransferConnectTimeoutMs());
    SetOption(handle, INTERNET_OPTION_CONNECT_RETRIES, kTransferConnectRetries);
}

// Whether the answer came over TLS. WinINet follows redirects by itself, and some of its
// implementations follow one from https to plain http without a word.
bool AnsweredOverTls(HINTERNET request) {
    DWORD flags = 0;
    DWORD length = sizeof(flags);
    return ::InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &length) &&
           (flags & SECURITY_FLAG_SECURE) != 0;
}

int32_t QueryStatus(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD length = sizeof(text);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE, text, &length, nullptr)) return -1;
    return static_cast<int32_t>(std::wcstol(text, nullptr, 10));
}

// The Content-Length header as a number, or -1 when the answer has none.
int64_t QueryContentLength(HINTERNET request) {
    DWORD value = 0;
    DWORD length = sizeof(value);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &value,
                          &length, nullptr)) {
        return -1;
    }
    return value;
}

// The first byte position of the Content-Range header, or -1.
int64_t QueryContentRangeStart(HINTERNET request) {
    wchar_t text[128] = {};
    DWORD length = sizeof(text);
    if (!::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_RANGE, text, &length, nullptr)) return -1;
    return ParseContentRangeStart(text);
}

// Passes everything on to the caller's sink and counts the body bytes of the attempt, for the log.
class CountingSink : public DownloadDataProcessor {
  public:
    explicit CountingSink(DownloadDataProcessor* sink) : sink_(sink) {}
    bool OnBegin(uint32_t contentLength) override {
        bytes = 0;
        return sink_->OnBegin(contentLength);
    }
    bool OnFinish() override { return sink_->OnFinish(); }
    bool OnData(const void* data, uint32_t size) override {
        bytes += size;
        return sink_->OnData(data, size);
    }
    bool GetContent(std::string& out) override { return sink_->GetContent(out); }

    int64_t bytes = 0;

  private:
    DownloadDataProcessor* sink_;
};

// The reason of an attempt's status, in a word for the log. A network failure before any body
// byte, after the time-out had passed, is a time-out, whatever code the network layer chose.
const char* ReasonOf(int32_t status, DWORD error, int64_t bytes, ULONGLONG milliseconds) {
    switch (status) {
        case TransferSuccess:
            return "ok";
        case TransferInvalidRequest:
            return "invalid_request";
        case TransferCancelled:
            return "cancelled";
        case TransferWriteRefused:
            return "data_refused";
        case TransferBeginRefused:
            return "begin_refused";
        case TransferFailed:
            break;
        default:
            return "http_status";
    }
    if (error != 0 && bytes == 0 &&
        milliseconds >= std::min(GetTransferSendTimeoutMs(), GetTransferReceiveTimeoutMs())) {
        return "timeout";
    }
    switch (error) {
        case 0:
            return "body_incomplete_or_refused";  // found by the transfer or its sink
        case ERROR_INTERNET_TIMEOUT:
        case WSAETIMEDOUT:
        case WSAEWOULDBLOCK:  // what waiting for data reports when the receive time-out passed
            return "timeout";
        case ERROR_INTERNET_CANNOT_CONNECT:
            return "cannot_connect";
        case ERROR_INTERNET_NAME_NOT_RESOLVED:
            return "name_not_resolved";
        case ERROR_INTERNET_CONNECTION_ABORTED:
            return "connection_aborted";
        case ERROR_INTERNET_CONNECTION_RESET:
            return "connection_reset";
        case ERROR_HTTP_INVALID_SERVER_RESPONSE:
            return "invalid_response";
        default:
            return "network_error";
    }
}

// One line per attempt: what was asked, what came of it, and the network layer's error code.
void LogAttempt(const std::wstring& url, int64_t rangeStart, uint32_t rangeLength, int32_t attempt,
                int32_t maxAttempts, int32_t status, DWORD error, int64_t bytes,
                ULONGLONG milliseconds) {
    const bool failed = status != TransferSuccess;
    // A header looked for and not found is no failure; it may be the last error left behind.
    if (status != TransferFailed || error == ERROR_HTTP_HEADER_NOT_FOUND) error = 0;
    LogEvent("http", {{"url", url},
                      {"range", rangeStart >= 0
                                    ? std::to_string(rangeStart) + "+" + std::to_string(rangeLength)
                                    : std::string("all")},
                      {"attempt", std::to_string(attempt) + "/" + std::to_string(maxAttempts)},
                      {"status", status},
                      {"reason", ReasonOf(status, error, bytes, milliseconds)},
                      {"error", error},
                      {"bytes", bytes},
                      {"ms", milliseconds},
                      {"retry", failed && status != TransferCancelled && attempt < maxAttempts}});
}

}  // namespace

HttpTransfer::HttpTransfer() : wake_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

HttpTransfer::~HttpTransfer() = default;

void HttpTransfer::SetFormHeaders() {
    headers = FormHeaderLines();
}

void HttpTransfer::SetJsonHeaders() {
    headers = JsonHeaderLines();
}

void HttpTransfer::Cancel() {
    cancels_.fetch_add(1);
    if (wake_) ::SetEvent(wake_.Get());
}

void HttpTransfer::Pause() {
    const DWORD pause = GetTransferRetryPauseMs();
    if (wake_) {
        ::WaitForSingleObject(wake_.Get(), pause);
    } else {
        ::Sleep(pause);
    }
}

int32_t HttpTransfer::Download(const std::wstring& url, DownloadDataProcessor* sink, int32_t verb,
                               const std::wstring& postData, int64_t rangeStart,
                               uint32_t rangeLength) {
    return Download(url, sink, verb, postData, rangeStart, rangeLength, CancelCount());
}

int32_t HttpTransfer::Download(const std::wstring& url, DownloadDataProcessor* sink, int32_t verb,
                               const std::wstring& postData, int64_t rangeStart,
                               uint32_t rangeLength, uint32_t cancelsSeen) {
    cancelsSeen_ = cancelsSeen;
    // A cancel after this reset and before the count check below is caught by that check.
    if (wake_) ::ResetEvent(wake_.Get());
    if (sink == nullptr || maxAttempts <= 0) return TransferInvalidRequest;
    if (Cancelled()) return TransferCancelled;

    UrlParts parts;
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    if (!SplitUrl(PrepareRequestUrl(url, now), &parts)) return TransferInvalidRequest;
    const std::string body = verb == HttpVerbPost ? ToPostBody(postData) : std::string();

    int32_t status = TransferInvalidRequest;
    CountingSink counted(sink);
    for (int32_t attempt = 0; attempt < maxAttempts; ++attempt) {
        const ULONGLONG began = ::GetTickCount64();
        counted.bytes = 0;
        ::SetLastError(0);
        status = Attempt(parts.host, parts.port, parts.secure, parts.object, &counted, verb, body,
                         rangeStart, rangeLength);
        const DWORD error = ::GetLastError();
        if (!sink->OnFinish()) status = TransferFailed;
        LogAttempt(url, rangeStart, rangeLength, attempt + 1, maxAttempts, status, error,
                   counted.bytes, ::GetTickCount64() - began);
        if (Cancelled()) return TransferCancelled;
        if (status == TransferSuccess) return TransferSuccess;
        Pause();
        // A cancel during the pause ends the transfer now rather than after another attempt.
        if (Cancelled()) return TransferCancelled;
    }
    return status;
}

int32_t HttpTransfer::Attempt(const std::wstring& host, uint16_t port, bool secure,
                              const std::wstring& object, DownloadDataProcessor* sink, int32_t verb,
                              const std::string& body, int64_t rangeStart, uint32_t rangeLength) {
    // Closed in reverse order (request, connection, root) when the attempt ends.
    ScopedInternetHandle root(
        ::InternetOpenW(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) return TransferFailed;
    std::wstring headerBlock = BuildHeaderBlock(headers);
    SetTimeouts(root.Get());

    ScopedInternetHandle connection(::InternetConnectW(root.Get(), host.c_str(), port, nullptr,
                                                       nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return TransferFailed;

    // TLS for an https URL on any port, and for any URL on port 443. No certificate error is
    // ignored: one the system does not accept (unknown authority, another name, expired)
    // fails the send like any network failure, and the next attempt asks for TLS again.
    // Every URL carries a fresh "t" parameter, so a cached copy could never be used again:
    // bodies (packages of many megabytes) are not written into the per-user WinINet cache.
    const DWORD flags = (secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_EXISTING_CONNECT) |
                        INTERNET_FLAG_NO_CACHE_WRITE;
    const bool post = verb == HttpVerbPost;
    ScopedInternetHandle request(::HttpOpenRequestW(connection.Get(), post ? L"POST" : L"GET",
                                                    object.c_str(), L"HTTP/1.0", nullptr, nullptr,
                                                    flags, 0));
    if (!request) return TransferFailed;
    SetTimeouts(request.Get());

    if (rangeStart >= 0) headerBlock += RangeHeaderLine(rangeStart, rangeLength);
    const BOOL sent =
        post ? ::HttpSendRequestW(request.Get(), headerBlock.c_str(),
                                  static_cast<DWORD>(headerBlock.size()),
                                  const_cast<char*>(body.data()), static_cast<DWORD>(body.size()))
             : ::HttpSendRequestW(request.Get(), headerBlock.c_str(),
                                  static_cast<DWORD>(headerBlock.size()), nullptr, 0);
    if (!sent) return TransferFailed;
    if (secure && !AnsweredOverTls(request.Get())) return TransferFailed;

    // A connection closed without an answer shows as no status (or a nonsense one).
    const int32_t rawStatus = QueryStatus(request.Get());
    if (rawStatus < 100 || rawStatus > 999) return TransferFailed;
    const int32_t status = rawStatus == 206 ? TransferSuccess : rawStatus;
    if (status != TransferSuccess) return status;

    ResponseBodyWindow window(rawStatus, rangeStart, rangeLength, QueryContentLength(request.Get()),
                              QueryContentRangeStart(request.Get()));
    // Found by the transfer, not the network: no error of an earlier call is left to explain it
    // (WinINet leaves WSAEWOULDBLOCK behind at times, which would read as a time-out).
    if (!window.Acceptable()) {
        ::SetLastError(0);
        return TransferFailed;
    }
    if (!sink->OnBegin(window.SinkLength())) return TransferBeginRefused;

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kReadBytes]);
    if (!buffer) return TransferFailed;
    TransferProgressFloor floor;
    const ULONGLONG bodyStart = ::GetTickCount64();
    uint64_t received = 0;
    for (;;) {
        if (Cancelled()) return status;
        // Waits (at most the receive time-out) for what the server sends next and reads only
        // that: a read of a whole buffer would wait through a trickle of single bytes.
        DWORD available = 0;
        const ULONGLONG asked = ::GetTickCount64();
        if (!::InternetQueryDataAvailable(request.Get(), &available, 0, 0)) return TransferFailed;
        DWORD got = 0;
        if (available > 0 && !::InternetReadFile(request.Get(), buffer.get(),
                                                 std::min(available, kReadBytes), &got)) {
            return TransferFailed;
        }
        // WinINet reports a connection cut short as a normal end: compare with what was due.
        if (got == 0) {
            if (window.Complete()) return status;
            // Ended before all that was due: silence until the receive time-out, or a cut.
            const bool silent = ::GetTickCount64() - asked >= GetTransferReceiveTimeoutMs();
            ::SetLastError(silent ? ERROR_INTERNET_TIMEOUT : 0);
            return TransferFailed;
        }
        uint32_t skip = 0;
        uint32_t take = 0;
        window.Next(got, &skip, &take);
        for (uint32_t offset = 0; offset < take;) {
            if (Cancelled()) return status;
            const uint32_t n = std::min(kSinkChunkBytes, take - offset);
            if (!sink->OnData(buffer.get() + skip + offset, n)) return TransferWriteRefused;
            offset += n;
        }
        if (window.Done()) return status;
        received += got;
        if (!floor.Enough(::GetTickCount64() - bodyStart, received)) {
            ::SetLastError(ERROR_INTERNET_TIMEOUT);  // too slow counts as silent
            return TransferFailed;
        }
    }
}
