#include "notice/NoticeRequestBody.h"

namespace {

// A value as the inside of a JSON string: a quote or a backslash must not end or break it.
std::wstring Escape(const std::wstring& value) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring out;
    out.reserve(value.size());
    for (wchar_t c : value) {
        if (c == L'"' || c == L'\\') {
            out += L'\\';
            out += c;
        } else if (c < 0x20) {
            out += L"\\u00";
            out += kHex[(c >> 4) & 0xF];
            out += kHex[c & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring Member(const wchar_t* name, const std::wstring& value) {
    return std::wstring(L"\"") + name + L"\":\"" + Escape(value) + L"\"";
}

}  // namespace

std::wstring BuildNoticeRequestBody(const NoticeRequestParam& param, int64_t seconds) {
    return L"{" + Member(L"Timestamp", std::to_wstring(seconds)) + L"," +
           Member(L"deviceID", param.deviceID) + L"," + Member(L"language", param.language) + L"," +
           Member(L"packagename", param.packageName) + L"," + Member(L"sign", L"") + L"," +
           Member(L"version", param.version) + L"," + Member(L"deviceModel", param.deviceModel) +
           L"," + Member(L"cpu", param.cpu) + L"," + Member(L"match_quality", L"-1") + L"," +
           Member(L"channel_id", param.channelID) + L"," + Member(L"app_channel_id", L"") + L"," +
           Member(L"deviceOS", L"weiduan") + L"}";
}
