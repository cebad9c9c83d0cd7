// Values of the launcher's own command line: space-separated KEY=value tokens whose values are
// URL-encoded in the narrow code page.
#pragma once

#include <string>

// Finds the first token with this key (case ignored) in the process's command line and puts
// its decoded value into value. False (value untouched) when there is none.
bool GetCommandLineValue(const std::wstring& key, std::wstring* value);

// The same for a given command line and executable path.
bool GetCommandLineValueFrom(const std::wstring& commandLine, const std::wstring& modulePath,
                             const std::wstring& key, std::wstring* value);

// True when the value of "LAUNCHER_REBOOT" is "TRUE", case ignored: the launcher was started
// by its own restart.
bool IsLauncherReboot();

// True when the value of "LAUNCHER_UPDATE" is "FAILED", case ignored: the entrance could not
// install the launcher's update, and the launcher goes on with its old files.
bool IsLauncherUpdateFailed();

// True when the value of "VERIFY" is "TRUE", case ignored: the player asked for every installed
// file to be read and checked.
bool IsVerifyRequested();
