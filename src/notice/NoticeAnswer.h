// Reading of the notice service's answer: the JSON text (in the narrow code page) into the
// package address, the raw "Code" text and the result. No Windows header.
#pragma once

#include <string>

#include "notice/RequestNoticeResult.h"

struct NoticeAnswer {
    RequestNoticeResult result = NoticeResultParseFailed;
    std::string packageURL;  // "PCPackageURL", narrow code page
    std::string code;        // "Code", narrow code page; empty when absent
};

// Parses the answer. Not JSON, a root that is not an object, or a "Code" or "PCPackageURL"
// member that is not a string: NoticeResultParseFailed. "Code" and "PCPackageURL" are read
// independently: an answer without a usable address still gives its code text.
NoticeAnswer ParseNoticeAnswer(const std::string& text);
