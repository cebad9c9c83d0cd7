// The resource hash passed to the game as RESOURCE_HASH: a digest of "version.txt".
#pragma once

#include <string>

// MD5 of the digest texts of every line of the manifest at versionPath, concatenated in the
// stable order of their names (ordinal) and converted to the ANSI code page, as 32 upper-case
// hexadecimal digits. Empty when the file cannot be read; the MD5 of nothing for a file
// without valid lines.
std::wstring ComputeResourceHash(const std::wstring& versionPath);
