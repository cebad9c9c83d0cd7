// Pure text helpers: token splitting, hexadecimal text, display texts of sizes and durations.
// No Windows header: these also build natively (fuzzing, host tools).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Splits text on any of the delimiter characters into trimmed tokens. Consecutive delimiters
// yield no empty token; a token that is empty after trimming ends the split. Returns 1 when a
// list was given, 0 otherwise (also when delimiters is empty).
int SplitTokens(const std::wstring& text, const std::wstring& delimiters,
                std::vector<std::wstring>* out);

// "%d" of value.
std::wstring IntToString(int32_t value);

// Two upper-case hexadecimal digits per byte, no separators.
std::string BytesToHex(const std::string& bytes);

// "1 KB" below 1024 bytes, "<n>KB", "<x.xx>MB" or "<x.xx>G".
std::wstring FormatByteSize(int64_t bytes);

// "<s>秒", "<m>分<s>秒" or "<h.hh>小时".
std::wstring FormatDuration(int32_t seconds);

// Trims white space (space, tab, CR, LF, VT, FF) at both ends.
std::wstring TrimWhiteSpace(const std::wstring& text);
