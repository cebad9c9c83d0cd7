// The address of the notice service: http, the deployment's notice host, port 8001 and the path
// "/notice_upgrade".
#pragma once

#include <string>

std::wstring GetNoticeUrl();
