// The parameter record of one notice request. No Windows header.
#pragma once

#include <string>

#include "download/AsyncRequestParam.h"

struct NoticeRequestParam : AsyncRequestParam {
    std::wstring deviceID;     // identity of this computer
    std::wstring language;     // client language
    std::wstring packageName;  // client package name
    std::wstring version;      // launcher version "%d.%d.%d.%d"
    std::wstring deviceModel;  // device model
    std::wstring cpu;          // processor description
    std::wstring channelID;    // distribution channel
};
