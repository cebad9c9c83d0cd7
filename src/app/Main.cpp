// Entry point of the launcher process.
#include <windows.h>

#include "app/Log.h"
#include "app/MainWindowHook.h"
#include "app/NewOmbrixLauncherApp.h"
#include "app/PngResource.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // GDI+ and the application object exist before start-up runs and go at a normal exit.
    GdiplusSession gdiplus;
    CNewOmbrixLauncherApp app(&RunMainWindow);
    app.InitInstance();
    LogEvent("exit", {{"code", 0}});
    return 0;
}
