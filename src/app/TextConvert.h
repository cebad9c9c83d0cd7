// Conversions between wide text, UTF-8 and the system's narrow (ANSI) code page.
#pragma once

#include <string>

// UTF-8 bytes up to the first zero -> wide text, passed once through the narrow code page
// (characters it cannot represent become its replacement character). 1 done, 0 no argument.
int Utf8ToText(const char* bytes, std::wstring* out);

// Wide text up to the first zero -> UTF-8 without byte-order mark or terminator.
int TextToUtf8(const wchar_t* text, std::string* out);

// Wide text <-> narrow code page bytes.
std::string TextToNarrow(const std::wstring& text);
std::wstring NarrowToText(const std::string& bytes);

// Wide text <-> UTF-8, exact (no pass through the narrow code page).
std::string TextToUtf8Exact(const std::wstring& text);
std::wstring Utf8ToTextExact(const std::string& bytes);
