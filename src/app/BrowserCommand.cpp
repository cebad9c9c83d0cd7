#include "app/BrowserCommand.h"

std::wstring BuildBrowserCommand(const std::wstring& registeredCommand,
                                 const std::wstring& address) {
    std::wstring command = registeredCommand;
    size_t cut = command.find(L"\"%1\"");
    if (cut == std::wstring::npos) cut = command.find(L"%1");
    if (cut != std::wstring::npos) command.erase(cut);
    return command + L" " + address;
}
