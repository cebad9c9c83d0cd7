// Whether a launcher start opens its main window. No Windows header.
#pragma once

// Only the one instance opens a window; it does so when the game is not running, or when it is
// the launcher's own restart (which then waits in its window for the game to end).
bool ShouldOpenMainWindow(bool otherInstanceRuns, bool launcherReboot, bool gameRunning);
