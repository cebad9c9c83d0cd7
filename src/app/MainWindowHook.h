// The hook between start-up and the launcher's windows.
//
// The update flow provides RunMainWindow in src/flow/RunMainWindow.cpp: it creates the host
// dialog CFlashDialog from template 134, makes it the application's main window
// (CNewOmbrixLauncherApp::SetMainWindow) and runs it modally. Until that file exists, src/app
// builds MainWindowHookDefault.cpp, which opens no window and returns at once.
#pragma once

// Runs the launcher's main window modally; returns when it has closed.
int RunMainWindow();
