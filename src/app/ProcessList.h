// Which executables are running.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Appends the ids of the running processes (at most 1024); the list stays as it was when the
// system refuses the enumeration.
void ListProcessIds(std::vector<uint32_t>* ids);

// Path of the main module of the process (up to 260 characters); empty when not given.
std::wstring GetProcessImagePath(HANDLE process);

// True when some running process has exactly this executable path, case ignored. The current
// process counts. Paths are compared as text: another spelling of the same file differs.
bool IsProcessRunning(const std::wstring& path);

// Equality of two paths as text, case ignored.
bool SamePathText(const std::wstring& a, const std::wstring& b);
