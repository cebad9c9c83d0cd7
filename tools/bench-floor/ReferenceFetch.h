// The reference's one way of fetching over WinINet: a whole body, or a range of one.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdint>
#include <functional>
#include <string>

// Hands the body (length bytes from start; all of it when length is 0) over as it arrives, in
// pieces of at most 64 KiB. False when the request fails, sink refuses a piece, or a range
// comes short.
bool FetchInto(HINTERNET session, const std::wstring& url, int64_t start, int64_t length,
               const std::function<bool(const char*, size_t)>& sink);
// The same into one string.
bool Fetch(HINTERNET session, const std::wstring& url, int64_t start, int64_t length,
           std::string* body);
