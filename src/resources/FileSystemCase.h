// The upper-casing a Windows file system applies when it compares names: the platform's own
// ordinal, locale-free mapping, one unit for one unit. No Windows header: the fuzz build links a
// native stand-in instead of the platform's.
#pragma once

#include <string>

std::wstring FileSystemUpperCase(const std::wstring& text);
