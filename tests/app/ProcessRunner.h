// Starting test programs and waiting for them, with a generous limit so a hung program fails
// the test instead of blocking it.
#pragma once

#include <windows.h>

#include <string>

#include "framework/ScopedHandle.h"

// Starts exePath with the command line "\"exePath\" arguments" in workingDir (the test's own
// directory when empty). Invalid handle when the start failed.
inline ombrix::ScopedKernelHandle StartProgram(const std::wstring& exePath,
                                               const std::wstring& arguments,
                                               const std::wstring& workingDir = L"") {
    std::wstring commandLine = L"\"" + exePath + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(exePath.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                          workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process)) {
        return ombrix::ScopedKernelHandle();
    }
    ::CloseHandle(process.hThread);
    return ombrix::ScopedKernelHandle(process.hProcess);
}

// The exit code of the process, or -1 when it has not ended within limitMs (it is then ended).
inline long WaitForExit(const ombrix::ScopedKernelHandle& process, DWORD limitMs = 60000) {
    if (!process) return -1;
    if (::WaitForSingleObject(process.Get(), limitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 99);
        ::WaitForSingleObject(process.Get(), 5000);
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    return static_cast<long>(code);
}

inline long RunProgram(const std::wstring& exePath, const std::wstring& arguments) {
    return WaitForExit(StartProgram(exePath, arguments));
}
