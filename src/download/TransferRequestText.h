// The texts of an HTTP request: header sets, the cache-busting URL and the Range line.
// No Windows header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The form and JSON header sets, one line each, without line ends.
std::vector<std::wstring> FormHeaderLines();
std::vector<std::wstring> JsonHeaderLines();

// The URL as requested: every backslash turned into "/", then the cache-busting parameter "t"
// with the given seconds: "?t=" when the URL has no "?", "&t=" when it has one and an "=",
// else "t=" glued to the query.
std::wstring PrepareRequestUrl(const std::wstring& url, int64_t seconds);

// Every line followed by "\r\n", in order.
std::wstring BuildHeaderBlock(const std::vector<std::wstring>& lines);

// "Range: bytes=<start>-<start + length - 1>\r\n", computed in 64 bits.
std::wstring RangeHeaderLine(int64_t rangeStart, uint32_t rangeLength);
