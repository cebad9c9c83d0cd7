// Decoding of URL-encoded command-line values. No Windows header.
#pragma once

#include <string>

// '+' becomes a space; '%' followed by two digits or letters yields one byte (digits 0-9 count
// 0 to 9, letters A-Z and a-z count 10 to 35; high * 16 + low modulo 256); every other byte is
// copied. A '%' that is not followed by two digits or letters is copied unchanged, and the walk
// goes on with the byte after it.
std::string UrlDecode(const std::string& text);
