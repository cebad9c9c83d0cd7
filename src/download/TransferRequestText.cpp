#include "download/TransferRequestText.h"

namespace {
const wchar_t kAccept[] = L"Accept: */*";
const wchar_t kUserAgent[] =
    L"User-Agent:Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
    L"Chrome/45.0.2454.101 Safari/537.36";
}  // namespace

std::vector<std::wstring> FormHeaderLines() {
    return {kAccept, kUserAgent, L"Content-Type:application/x-www-form-urlencoded;charset=UTF-8"};
}

std::vector<std::wstring> JsonHeaderLines() {
    return {kAccept, kUserAgent, L"Content-Type:application/json;charset=UTF-8"};
}

std::wstring PrepareRequestUrl(const std::wstring& url, int64_t seconds) {
    std::wstring result = url;
    for (wchar_t& c : result) {
        if (c == L'\\') c = L'/';
    }
    if (result.find(L'?') == std::wstring::npos) {
        result += L"?t=";
    } else if (result.find(L'=') != std::wstring::npos) {
        result += L"&t=";
    } else {
        result += L"t=";
    }
    return result + std::to_wstring(seconds);
}

std::wstring BuildHeaderBlock(const std::vector<std::wstring>& lines) {
    std::wstring block;
    for (const std::wstring& line : lines) block += line + L"\r\n";
    return block;
}

std::wstring RangeHeaderLine(int64_t rangeStart, uint32_t rangeLength) {
    const int64_t last = rangeStart + static_cast<int64_t>(rangeLength) - 1;
    return L"Range: bytes=" + std::to_wstring(rangeStart) + L"-" + std::to_wstring(last) + L"\r\n";
}
