// The window message that brings every progress report and the notice result to the
// foreground window, and the record of a notice result.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "notice/QZNoticeRequest.h"
#include "resources/ResourceManagerProgress.h"

// wParam: a ResourceManagerProgressState (1 to 19) or kNoticeResultState (20).
// lParam: a heap record derived from ResourceManagerProgressInfoBase, or null; the receiving
// window owns it and destroys it after handling.
constexpr UINT WM_RESOURCE_PROGRESS = WM_USER + 100;

// The three values of a notice result, carried from the request's worker to the window.
class LauncherNoticeUpgradeInfo : public ResourceManagerProgressInfoBase {
  public:
    LauncherNoticeUpgradeInfo(std::wstring url, RequestNoticeResult noticeResult,
                              std::vector<std::wstring> codes)
        : packageURL(std::move(url)), result(noticeResult), codeList(std::move(codes)) {}
    LauncherNoticeUpgradeInfo* Clone() const override {
        return new LauncherNoticeUpgradeInfo(*this);
    }

    std::wstring packageURL;
    RequestNoticeResult result;
    std::vector<std::wstring> codeList;
};
