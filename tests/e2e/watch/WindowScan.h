// What a watcher can read from the launcher's windows in another process: the status line of
// the main window, where the window group stands, and the skinned question on display.
#pragma once

#include <windows.h>

#include <string>

struct LauncherView {
    bool hasMainWindow = false;
    std::wstring status;         // text of the status line (control 1006 of the foreground)
    RECT groupRect{};            // the background window: the largest visible window of the group
    HWND questionBox = nullptr;  // content dialog of the visible message box, if any
    std::wstring questionText;   // its message (control 1010)
    std::wstring firstButton;    // caption of button 1008
    std::wstring secondButton;   // caption of button 1009; empty while that button is hidden
};

// Looks at every window of the process.
LauncherView ScanLauncher(DWORD processId);

// Presses button 1008 (answer 1) or 1009 (answer 7) of a message box's content dialog the way
// a click does. False when the box or the button is gone.
bool PressAnswer(HWND questionBox, int answer);

// A visible top-level window of the given class in any process, with its process id.
HWND FindWindowOfClass(const wchar_t* className, DWORD* processId);
