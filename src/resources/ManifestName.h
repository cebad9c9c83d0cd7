// Which relative names from a manifest may be joined to a target directory. No Windows header.
#pragma once

#include <string>

// True when name stays inside the directory it is appended to. Refused: empty names; rooted
// names ("\x", "/x", "\\server\share"); any ":" (drive letters, "\\?\" prefixes, alternate data
// streams); a folder or file part that is empty or made of dots and blanks only ("..", ".",
// ". .") or that ends in a dot or a blank, since Windows strips trailing dots and blanks; control characters and the reserved
// characters < > " | ? *; and device names (CON, NUL, COM1, LPT1, CONIN$ ...) in any part.
// Both "\" and "/" count as separators here, because the file system accepts both.
bool IsSafeManifestName(const std::wstring& name);
