// Starting another program without waiting for it.
#pragma once

#include <string>

// Starts exePath with the command line exePath + " " + arguments (exePath unquoted, the space
// only when arguments is not empty) in workingDir, with a normally shown window. The
// executable is named to the system separately too, so a path with spaces can never start
// another program. False, with the system's last error set, when exePath cannot be opened for
// reading or the process cannot be created.
bool StartProcess(const std::wstring& exePath, const std::wstring& workingDir,
                  const std::wstring& arguments);
