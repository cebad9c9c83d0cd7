// The one-line JSON body of the notice request. No Windows header.
#pragma once

#include <cstdint>
#include <string>

#include "notice/NoticeRequestParam.h"

// {"Timestamp":"<seconds>","deviceID":"...","language":"...","packagename":"...","sign":"",
//  "version":"...","deviceModel":"...","cpu":"...","match_quality":"-1","channel_id":"...",
//  "app_channel_id":"","deviceOS":"weiduan"} without any white space. Values are escaped as
// JSON strings (plain values without quotes, backslashes or control characters stay as they are).
std::wstring BuildNoticeRequestBody(const NoticeRequestParam& param, int64_t seconds);
