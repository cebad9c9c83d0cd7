// The application object of the launcher process.
#pragma once

#include <windows.h>

#include "framework/ScopedHandle.h"

class CNewOmbrixLauncherApp {
  public:
    using MainWindowRunner = int (*)();

    // runMainWindow opens the launcher's window modally (RunMainWindow of MainWindowHook.h).
    explicit CNewOmbrixLauncherApp(MainWindowRunner runMainWindow);
    virtual ~CNewOmbrixLauncherApp();
    CNewOmbrixLauncherApp(const CNewOmbrixLauncherApp&) = delete;
    CNewOmbrixLauncherApp& operator=(const CNewOmbrixLauncherApp&) = delete;

    // Start-up: single instance, copy and shortcut, game root, and the main window when this
    // start should open one. Always false: the process ends when it returns.
    virtual bool InitInstance();

    // The one application object, or nullptr before it exists.
    static CNewOmbrixLauncherApp* Instance();
    void SetMainWindow(HWND window) { mainWindow_ = window; }
    HWND GetMainWindow() const { return mainWindow_; }
    // True when another launcher instance held the mutex at start-up.
    bool OtherInstanceRuns() const { return otherInstance_; }

  private:
    MainWindowRunner runMainWindow_;
    ombrix::ScopedKernelHandle instanceMutex_;  // held for the life of the process
    HWND mainWindow_ = nullptr;
    bool otherInstance_ = false;
};
