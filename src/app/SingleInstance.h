// The single-instance rule: one named mutex per session.
#pragma once

#include <windows.h>

#include <functional>

#include "framework/ScopedHandle.h"

// Creates the named mutex (not owned). When it already existed the handle is closed at once;
// with retryMs > 0 the creation is tried again every stepMs until retryMs have passed (a
// launcher restarted by the one that is just ending must not be turned away by that
// launcher's mutex). True with the handle in held when this process is the one instance.
// sleep waits between attempts; tests pass one that does not wait.
bool AcquireSingleInstance(const wchar_t* name, DWORD retryMs, DWORD stepMs,
                           ombrix::ScopedKernelHandle* held,
                           const std::function<void(DWORD)>& sleep = ::Sleep);
