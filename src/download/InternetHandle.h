// Scoped owner of a WinINet handle (root, connection or request), closed exactly once.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "framework/ScopedHandle.h"

struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    // Closing leaves the thread's last error as it was: an attempt's failure is read from it
    // after the attempt's handles have closed (closing sets it to what the shutdown met).
    static void Close(HINTERNET h) {
        const DWORD error = ::GetLastError();
        ::InternetCloseHandle(h);
        ::SetLastError(error);
    }
};

using ScopedInternetHandle = ombrix::ScopedHandle<HINTERNET, InternetHandleTraits>;
