#include "app/CommandLine.h"

#include <windows.h>

#include "app/CommandLineTokens.h"
#include "app/ModulePath.h"
#include "app/TextConvert.h"
#include "app/UrlDecode.h"

bool GetCommandLineValueFrom(const std::wstring& commandLine, const std::wstring& modulePath,
                             const std::wstring& key, std::wstring* value) {
    std::wstring raw;
    if (!FindCommandLineToken(commandLine, modulePath, key, &raw)) return false;
    if (value != nullptr) *value = NarrowToText(UrlDecode(TextToNarrow(raw)));
    return true;
}

bool GetCommandLineValue(const std::wstring& key, std::wstring* value) {
    const wchar_t* commandLine = ::GetCommandLineW();
    return GetCommandLineValueFrom(commandLine ? commandLine : L"", GetModulePath(), key, value);
}

bool IsLauncherReboot() {
    std::wstring value;
    return GetCommandLineValue(L"LAUNCHER_REBOOT", &value) &&
           EqualsIgnoringAsciiCase(value, L"TRUE");
}

bool IsLauncherUpdateFailed() {
    std::wstring value;
    return GetCommandLineValue(L"LAUNCHER_UPDATE", &value) &&
           EqualsIgnoringAsciiCase(value, L"FAILED");
}

bool IsVerifyRequested() {
    std::wstring value;
    return GetCommandLineValue(L"VERIFY", &value) && EqualsIgnoringAsciiCase(value, L"TRUE");
}
