// Where the running launcher executable is.
#pragma once

#include <string>

// Full path of the launcher's executable (at most 260 characters).
std::wstring GetModulePath();

// That path up to and including its last backslash; empty when it has none.
std::wstring GetModuleDirectory();
