#include "EntranceCommand.h"

std::wstring BuildLauncherArguments(const std::wstring& entrancePath, LauncherStart how) {
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring arguments = L"ENTRANCE=";
    for (wchar_t c : entrancePath) {
        if (c == L'\\') {
            arguments += L'/';
        } else if (c <= L' ' || c == L'%' || c == L'+' || c == 0x7F) {
            arguments += L'%';
            arguments += kHex[(c >> 4) & 0xF];
            arguments += kHex[c & 0xF];
        } else {
            arguments += c;
        }
    }
    if (how == LauncherStart::Reboot) arguments += L" LAUNCHER_REBOOT=TRUE";
    if (how == LauncherStart::UpdateFailed) arguments += L" LAUNCHER_UPDATE=FAILED";
    return arguments;
}
