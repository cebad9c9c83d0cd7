// The thread's message pump, shared by modal dialog runs.
#pragma once

#include <windows.h>

namespace ombrix {

// Offers a queued message to the PreTranslateMessage of the attached window objects from the
// target window up to its top-level window. True when one of them consumed it.
bool PreTranslateWindowMessage(MSG* msg);

// Waits for one message and handles it (PreTranslate, TranslateMessage, DispatchMessage).
// Returns false on WM_QUIT, which is posted again so that outer loops see it too.
bool PumpMessage();

// Runs PumpMessage until `done` becomes true (checked after every message) or WM_QUIT.
// Returns false when it stopped because of WM_QUIT.
bool RunMessageLoop(const bool& done);

// Handles every message already queued (without waiting); returns how many were handled.
// Useful to let sent and posted work settle, e.g. in tests.
int PumpPendingMessages();

}  // namespace ombrix
