// Whether a file's bytes hold a whole 64-bit Windows program. No Windows header.
#pragma once

#include <string>

// True when the DOS and PE headers are in place, the image is an x86-64 executable with a
// 64-bit optional header, and every section's bytes lie inside the file (a copy cut short
// fails).
bool IsWholeExecutable(const std::string& bytes);
