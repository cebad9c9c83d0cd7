#include "app/WebPage.h"

#include <windows.h>
#include <shellapi.h>

#include "app/BrowserCommand.h"
#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"

namespace {

// The default value of a key below HKEY_CLASSES_ROOT, read with a 260-byte limit.
bool ReadClassesRootDefault(const std::wstring& subKey, std::wstring* value) {
    ombrix::ScopedRegKey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_READ, key.Receive()) !=
        ERROR_SUCCESS) {
        return false;
    }
    wchar_t data[130] = {};                       // 260 bytes
    DWORD size = sizeof(data) - sizeof(wchar_t);  // keep room for a terminator
    DWORD type = 0;
    if (::RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data),
                           &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return false;  // no usable text (missing, too long or not a string)
    }
    *value = data;
    return true;
}

}  // namespace

bool OpenWebPage(const std::wstring& address) {
    const HINSTANCE shown =
        ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(shown) > 32) return true;

    std::wstring fileClass;
    if (!ReadClassesRootDefault(L".htm", &fileClass)) return false;
    std::wstring command;
    if (!ReadClassesRootDefault(fileClass + L"\\shell\\open\\command", &command)) return false;
    const std::string narrow = TextToNarrow(BuildBrowserCommand(command, address));
    return ::WinExec(narrow.c_str(), SW_SHOW) > 32;
}
