// Whether the launcher has ended, so that its files can be replaced.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// True when no launcher holds the single-instance mutex, no process runs launcherExe, and
// no process holds launcherExe open against writing (a sharing violation; a read-only file or
// missing rights do not count).
bool IsLauncherEnded(const std::wstring& launcherExe);

// Asks ended() every stepMs until it answers true (true) or limitMs have passed (false).
// sleep waits between the questions; tests pass one that does not wait.
bool WaitUntilEnded(const std::function<bool()>& ended, DWORD limitMs, DWORD stepMs,
                    const std::function<void(DWORD)>& sleep = ::Sleep);
