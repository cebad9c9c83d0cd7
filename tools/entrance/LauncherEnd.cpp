#include "LauncherEnd.h"

#include "app/FileServices.h"
#include "app/LauncherNames.h"
#include "app/ProcessList.h"
#include "framework/ScopedHandle.h"

namespace {

bool MutexHeld() {
    ombrix::ScopedKernelHandle mutex(::OpenMutexW(SYNCHRONIZE, FALSE, kLauncherMutexName));
    // Only "no such object" means free: a mutex we may not open is still somebody's.
    return mutex || ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

bool Replaceable(const std::wstring& path) {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    // A running executable refuses to be opened for writing.
    ombrix::ScopedFileHandle file(::CreateFileW(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, 0, nullptr));
    return file.IsValid();
}

}  // namespace

bool IsLauncherEnded(const std::wstring& launcherExe) {
    return !MutexHeld() && !IsProcessRunning(launcherExe) && Replaceable(launcherExe);
}

bool WaitUntilEnded(const std::function<bool()>& ended, DWORD limitMs, DWORD stepMs,
                    const std::function<void(DWORD)>& sleep) {
    if (stepMs == 0) stepMs = 1;
    for (DWORD waited = 0;; waited += stepMs) {
        if (ended()) return true;
        if (waited >= limitMs) return false;
        sleep(stepMs);
    }
}
