// The two good ends of an update: starting the game, or starting the updated launcher again.
// In both cases the launcher ends right after the other process was created.
#pragma once

#include <map>
#include <string>

// Login values handed to the game, narrow text to narrow text. Looking a key up with [] adds
// it with an empty value; an embedding fills "auth_key", "uid" and "extraInfo" before the game
// is launched, and an unfilled map gives empty values.
using LoginFields = std::map<std::string, std::string>;

// What launching needs from the window that runs it (the foreground window of the update
// flow; a fake in tests).
class LaunchHost {
  public:
    virtual ~LaunchHost() = default;
    // The game installation root, ending with "\" (GetGameRoot()).
    virtual std::wstring GetRootDir() = 0;
    // The resource hash of the resource manager's single instance (empty when the version
    // manifest cannot be read).
    virtual std::wstring GetResourceHash() = 0;
    virtual void SetStatusText(const std::wstring& text) = 0;
    // The one-button message box with the default caption, modal.
    virtual void ShowFailureMessage(const std::wstring& text) = 0;
    // Stops asking before closing: this window and every window linked to it.
    virtual void ClearConfirmClose() = 0;
    // Ends the launcher at once (TerminateSelf()); returns only in tests.
    virtual void EndLauncher() = 0;
};

// "auth_key=%s,uid=%s,extraInfo=%s" with the three values (missing keys are added, empty).
std::wstring FormatLoginText(LoginFields& fields);
// Base64 of the login text in the narrow code page.
std::wstring EncodeLoginData(const std::wstring& loginText);
// GetModulePath() with every "\" replaced by "/".
std::wstring GetEntranceText();

// "ENTRANCE=%s DEVICE_ID=%s RESOURCE_HASH=%s LOGIN_DATA=%s"; nothing quoted or escaped.
std::wstring FormatGameCommandLine(const std::wstring& entrance, const std::wstring& deviceId,
                                   const std::wstring& resourceHash, const std::wstring& loginData);
// "ENTRANCE=%s DEVICE_ID=%s RESOURCE_HASH=%s", for windows without login data.
std::wstring FormatGenericGameCommandLine(const std::wstring& entrance,
                                          const std::wstring& deviceId,
                                          const std::wstring& resourceHash);

// The product command line: device identifier, the host's resource hash, the entrance and the
// login data from fields.
std::wstring BuildGameCommandLine(LaunchHost& host, LoginFields& fields);
std::wstring BuildGenericGameCommandLine(LaunchHost& host);

// Starts root + "game\vemo_game.exe" in root + "game\" with commandLine. Started: stops the
// close question and ends the launcher. Not started: shows "启动失败，错误代码:%d" with the
// system's error code, then ends the launcher.
void StartGameProcess(LaunchHost& host, const std::wstring& commandLine);

// BuildGameCommandLine, then StartGameProcess.
void LaunchGame(LaunchHost& host, LoginFields& fields);
void LaunchGenericGame(LaunchHost& host);

// Starts the launcher named by the "ENTRANCE" value of the own command line ('/' as separator)
// in its directory with "LAUNCHER_REBOOT=TRUE", reports "重启Launcher成功" and ends. When the
// value is missing, names no directory, or the start fails: "重启Launcher失败，参数错误" in
// the status line and a message box, then the end.
void RestartLauncher(LaunchHost& host);
// The same with the ENTRANCE value given (found false: there was none).
void RestartLauncherWith(LaunchHost& host, bool found, const std::wstring& entrance);
