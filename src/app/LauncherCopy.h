// The copy of the launcher in its data directory, which the desktop shortcut starts.
#pragma once

#include <string>

// Replaces the file at copyPath with the executable at modulePath unless a launcher runs from
// copyPath (this one included). Failures are silent.
void RefreshLauncherCopy(const std::wstring& modulePath, const std::wstring& copyPath);
