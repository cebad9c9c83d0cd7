#include "app/GameLaunch.h"

#include <windows.h>

#include <cstdio>

#include "app/CommandLine.h"
#include "app/Crypto.h"
#include "app/DeviceId.h"
#include "app/FileServices.h"
#include "app/CommandLineTokens.h"
#include "app/LauncherNames.h"
#include "app/Log.h"
#include "app/ModulePath.h"
#include "app/ProcessStart.h"
#include "app/TextConvert.h"

namespace {

const wchar_t kStartFailed[] = L"\u542F\u52A8\u5931\u8D25\uFF0C\u9519\u8BEF\u4EE3\u7801:%d";
const wchar_t kRestartFailed[] = L"\u91CD\u542FLauncher\u5931\u8D25\uFF0C\u53C2\u6570\u9519\u8BEF";
const wchar_t kRestartSucceeded[] = L"\u91CD\u542FLauncher\u6210\u529F";
const wchar_t kRestartArguments[] = L"LAUNCHER_REBOOT=TRUE";

std::wstring ReplaceAll(std::wstring text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text) {
        if (c == from) c = to;
    }
    return text;
}

void RestartFailed(LaunchHost& host) {
    LogEvent("restart_failed", {{"error", ::GetLastError()}});
    host.SetStatusText(kRestartFailed);
    host.ShowFailureMessage(kRestartFailed);
    host.EndLauncher();
}

}  // namespace

std::wstring FormatLoginText(LoginFields& fields) {
    return L"auth_key=" + NarrowToText(fields["auth_key"]) + L",uid=" +
           NarrowToText(fields["uid"]) + L",extraInfo=" + NarrowToText(fields["extraInfo"]);
}

std::wstring EncodeLoginData(const std::wstring& loginText) {
    return NarrowToText(Base64Encode(TextToNarrow(loginText)));
}

std::wstring GetEntranceText() {
    return ReplaceAll(GetModulePath(), L'\\', L'/');
}

std::wstring FormatGameCommandLine(const std::wstring& entrance, const std::wstring& deviceId,
                                   const std::wstring& resourceHash,
                                   const std::wstring& loginData) {
    return FormatGenericGameCommandLine(entrance, deviceId, resourceHash) + L" LOGIN_DATA=" +
           loginData;
}

std::wstring FormatGenericGameCommandLine(const std::wstring& entrance,
                                          const std::wstring& deviceId,
                                          const std::wstring& resourceHash) {
    return L"ENTRANCE=" + entrance + L" DEVICE_ID=" + deviceId + L" RESOURCE_HASH=" + resourceHash;
}

std::wstring BuildGameCommandLine(LaunchHost& host, LoginFields& fields) {
    const std::wstring deviceId = GetDeviceId();
    const std::wstring hash = host.GetResourceHash();
    const std::wstring entrance = GetEntranceText();
    const std::wstring loginData = EncodeLoginData(FormatLoginText(fields));
    return FormatGameCommandLine(entrance, deviceId, hash, loginData);
}

std::wstring BuildGenericGameCommandLine(LaunchHost& host) {
    const std::wstring deviceId = GetDeviceId();
    const std::wstring hash = host.GetResourceHash();
    return FormatGenericGameCommandLine(GetEntranceText(), deviceId, hash);
}

void StartGameProcess(LaunchHost& host, const std::wstring& commandLine) {
    const std::wstring root = host.GetRootDir();
    // The device id was logged at start-up; the login data is never logged.
    LogEvent(
        "game_start",
        {{"exe", root + kGameExecutable},
         {"command_line", WithoutCommandLineToken(
                              WithoutCommandLineToken(commandLine, L"LOGIN_DATA"), L"DEVICE_ID")}});
    if (StartProcess(root + kGameExecutable, root + kGameDirectory, commandLine)) {
        host.ClearConfirmClose();
        host.EndLauncher();
        return;
    }
    const DWORD error = ::GetLastError();
    LogEvent("game_start_failed", {{"error", error}});
    wchar_t text[128];
    std::swprintf(text, 128, kStartFailed, static_cast<int>(error));
    host.ShowFailureMessage(text);
    host.EndLauncher();
}

void LaunchGame(LaunchHost& host, LoginFields& fields) {
    StartGameProcess(host, BuildGameCommandLine(host, fields));
}

void LaunchGenericGame(LaunchHost& host) {
    StartGameProcess(host, BuildGenericGameCommandLine(host));
}

void RestartLauncherWith(LaunchHost& host, bool found, const std::wstring& entrance) {
    LogEvent("restart", {{"entrance", entrance}, {"found", found}});
    if (!found) {
        RestartFailed(host);
        return;
    }
    const std::wstring exePath = ReplaceAll(entrance, L'/', L'\\');
    std::wstring directory;
    // Without a directory there is nothing sensible to start: that is a failure too, rather
    // than a launcher left waiting with no way on.
    if (!GetParentDirectory(exePath, &directory) || directory.empty()) {
        RestartFailed(host);
        return;
    }
    // "C:" alone would mean the current directory of drive C, not its root.
    if (directory.size() == 2 && directory[1] == L':') directory.push_back(L'\\');
    if (!StartProcess(exePath, directory, kRestartArguments)) {
        RestartFailed(host);
        return;
    }
    host.SetStatusText(kRestartSucceeded);
    LogEvent("restart_started", {{"exe", exePath}});
    // The old launcher always ends here, so the new one gets the single-instance mutex.
    host.ClearConfirmClose();
    host.EndLauncher();
}

void RestartLauncher(LaunchHost& host) {
    std::wstring entrance;
    const bool found = GetCommandLineValue(L"ENTRANCE", &entrance);
    RestartLauncherWith(host, found, entrance);
}
