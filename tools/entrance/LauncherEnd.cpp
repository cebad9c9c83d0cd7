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
    // A running executable refuses to be opened for writing with a sharing violation. Any other
    // refusal (a read-only file, no right to write) is no sign of a running launcher: the
    // install puts its files in place by moving, which those do not stop.
    ombrix::ScopedFileHandle file(::CreateFileW(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.IsValid()) return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION;
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
