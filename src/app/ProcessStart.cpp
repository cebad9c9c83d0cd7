#include "app/ProcessStart.h"

#include <windows.h>

#include "framework/ScopedHandle.h"

bool StartProcess(const std::wstring& exePath, const std::wstring& workingDir,
                  const std::wstring& arguments) {
    {
        ombrix::ScopedFileHandle file(::CreateFileW(exePath.c_str(), GENERIC_READ,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;  // the last error tells why (2: no such file)
    }
    std::wstring commandLine = exePath;
    if (!arguments.empty()) commandLine += L" " + arguments;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process)) {
        return false;
    }
    // Not waited on: the handles are closed at once.
    ombrix::ScopedKernelHandle processHandle(process.hProcess);
    ombrix::ScopedKernelHandle threadHandle(process.hThread);
    return true;
}
