#include "notice/NoticeAddress.h"

#include "BuildConfig.h"

std::wstring GetNoticeUrl() {
    return std::wstring(L"http://") + OMBRIX_NOTICE_HOST + L":8001/notice_upgrade";
}
