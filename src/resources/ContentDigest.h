// The content check of a downloaded file against its configuration digest. No Windows header.
#pragma once

#include <string>

// Whether a configuration digest is an MD5 digest: exactly 32 hexadecimal digits. Other digest
// texts are trusted as they are and nothing is checked.
bool IsMd5DigestText(const std::wstring& digest);

// Whether the 16 digest bytes, as hexadecimal, equal the digest text, ignoring case.
bool DigestMatches(const std::string& digestBytes, const std::wstring& digest);
