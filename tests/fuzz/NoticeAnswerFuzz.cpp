// Notice answer: any text gives a result, and the result agrees with the address read.
#include <cstdlib>

#include "notice/NoticeAnswer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const NoticeAnswer answer =
        ParseNoticeAnswer(std::string(reinterpret_cast<const char*>(data), size));
    switch (answer.result) {
        case NoticeResultSuccess:
            if (answer.packageURL.empty()) std::abort();
            break;
        case NoticeResultNoPackageURL:
        case NoticeResultParseFailed:
            if (!answer.packageURL.empty()) std::abort();
            break;
        default:
            std::abort();
    }
    return 0;
}
