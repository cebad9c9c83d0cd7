#include "app/Terminate.h"

#include <windows.h>

void TerminateSelf() {
    ::TerminateProcess(::GetCurrentProcess(), 0);
    ::ExitProcess(0);  // not reached
}
