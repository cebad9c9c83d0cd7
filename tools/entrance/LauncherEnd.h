// Whether the launcher has ended, so that its files can be replaced.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// True when no launcher holds the single-instance mutex, no process runs launcherExe, and
// launcherExe can be opened for writing (or does not exist).
bool IsLauncherEnded(const std::wstring& launcherExe);

// Asks ended() every stepMs until it answers true (true) or limitMs have passed (false).
// sleep waits between the questions; tests pass one that does not wait.
bool WaitUntilEnded(const std::function<bool()>& ended, DWORD limitMs, DWORD stepMs,
                    const std::function<void(DWORD)>& sleep = ::Sleep);
