// The desktop shortcut to the launcher's copy.
#pragma once

#include <string>

// Saves (or overwrites) the shell link desktop + "\" + fileName whose only setting is the
// target path. Failures are silent.
void CreateDesktopShortcut(const std::wstring& targetPath, const std::wstring& fileName);

// The desktop folder of the current user (no trailing backslash); empty when unknown.
std::wstring GetDesktopFolder();
