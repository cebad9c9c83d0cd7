// The command line with which the entrance starts the launcher. No Windows header.
#pragma once

#include <string>

// "ENTRANCE=" + entrancePath with "/" separators, URL-encoded as the launcher decodes its
// values (a space, "%" and "+" and control characters as %XX, so a path with blanks stays one
// token), then " LAUNCHER_REBOOT=TRUE" when reboot.
std::wstring BuildLauncherArguments(const std::wstring& entrancePath, bool reboot);
