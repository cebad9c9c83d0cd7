// Scoped owner of a WinINet handle (root, connection or request), closed exactly once.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "framework/ScopedHandle.h"

struct InternetHandleTraits {
    static HINTERNET Invalid() { return nullptr; }
    static void Close(HINTERNET h) { ::InternetCloseHandle(h); }
};

using ScopedInternetHandle = ombrix::ScopedHandle<HINTERNET, InternetHandleTraits>;
