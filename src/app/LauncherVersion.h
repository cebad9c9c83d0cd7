// The version the launcher's executable carries.
#pragma once

#include <string>

// "major.minor.build.revision" of the VERSIONINFO of GetModulePath(); 0.0.0.0 without one.
std::wstring GetLauncherVersionText();

// "major.minor.build.revision" of the fixed file version of any file; 0.0.0.0 without one.
std::wstring GetVersionTextOf(const std::wstring& path);
