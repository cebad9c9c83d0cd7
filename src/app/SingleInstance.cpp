#include "app/SingleInstance.h"

bool AcquireSingleInstance(const wchar_t* name, DWORD retryMs, DWORD stepMs,
                           ombrix::ScopedKernelHandle* held,
                           const std::function<void(DWORD)>& sleep) {
    if (stepMs == 0) stepMs = 1;
    DWORD waited = 0;
    for (;;) {
        ::SetLastError(ERROR_SUCCESS);
        ombrix::ScopedKernelHandle mutex(::CreateMutexW(nullptr, FALSE, name));
        // Only "it already existed" means another instance; a mutex that could not be made at
        // all does not keep the launcher from running.
        const bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
        if (!existed) {
            if (held != nullptr) *held = std::move(mutex);
            return true;
        }
        mutex.Reset();  // another instance holds it: let go at once
        if (waited >= retryMs) return false;
        sleep(stepMs);
        waited += stepMs;
    }
}
