#include "app/Terminate.h"

#include <windows.h>

#include "app/Log.h"

void TerminateSelf() {
    LogEvent("exit", {{"code", 0}});
    ::TerminateProcess(::GetCurrentProcess(), 0);
    ::ExitProcess(0);  // not reached
}
