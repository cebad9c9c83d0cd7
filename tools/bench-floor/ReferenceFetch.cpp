#include "ReferenceFetch.h"

#include <vector>

// Hands the body over as it arrives; false when the request fails or sink refuses.
bool FetchInto(HINTERNET session, const std::wstring& url, int64_t start, int64_t length,
               const std::function<bool(const char*, size_t)>& sink) {
    std::wstring headers;
    if (length > 0) {
        headers = L"Range: bytes=" + std::to_wstring(start) + L"-" +
                  std::to_wstring(start + length - 1) + L"\r\n";
    }
    HINTERNET request = ::InternetOpenUrlW(
        session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
        static_cast<DWORD>(headers.size()),
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
    if (request == nullptr) return false;
    std::vector<char> buffer(64 * 1024);
    int64_t total = 0;
    bool ok = true;
    for (;;) {
        DWORD got = 0;
        if (!::InternetReadFile(request, buffer.data(), static_cast<DWORD>(buffer.size()), &got)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        total += got;
        if (!sink(buffer.data(), got)) {
            ok = false;
            break;
        }
    }
    ::InternetCloseHandle(request);
    return ok && (length <= 0 || total == length);
}

bool Fetch(HINTERNET session, const std::wstring& url, int64_t start, int64_t length,
           std::string* body) {
    if (length > 0) body->reserve(static_cast<size_t>(length));
    return FetchInto(session, url, start, length, [body](const char* data, size_t size) {
        body->append(data, size);
        return true;
    });
}
