// Outcome of the notice request. No Windows header.
#pragma once

#include <cstdint>

enum RequestNoticeResult : int32_t {
    NoticeResultSuccess = 1,        // answer parsed, "PCPackageURL" present and not empty
    NoticeResultNoPackageURL = 2,   // answer parsed, "PCPackageURL" the empty string
    NoticeResultParseFailed = 3,    // status 200 but the answer is not usable
    NoticeResultRequestFailed = 4,  // the transfer did not end with status 200
};
