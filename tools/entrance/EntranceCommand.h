// The command line with which the entrance starts the launcher. No Windows header.
#pragma once

#include <string>

enum class LauncherStart {
    Plain,         // started by the player
    Reboot,        // after the launcher's restart: " LAUNCHER_REBOOT=TRUE"
    UpdateFailed,  // its update could not be installed: " LAUNCHER_UPDATE=FAILED", so the
                   // launcher goes on to the game with its old files instead of restarting
};

// "ENTRANCE=" + entrancePath with "/" separators, URL-encoded as the launcher decodes its
// values (a space, "%" and "+" and control characters as %XX, so a path with blanks stays one
// token), then the token of how.
std::wstring BuildLauncherArguments(const std::wstring& entrancePath, LauncherStart how);
