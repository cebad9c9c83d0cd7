// Opens the launcher's main window for start-up: the host dialog, run modally.
#include "app/MainWindowHook.h"
#include "flow/CFlashDialog.h"
#include "res/resource.h"

int RunMainWindow() {
    CFlashDialog host(IDD_FLASH, nullptr);
    return static_cast<int>(host.DoModal());
}
