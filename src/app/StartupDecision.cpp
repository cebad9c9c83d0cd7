#include "app/StartupDecision.h"

bool ShouldOpenMainWindow(bool otherInstanceRuns, bool launcherReboot, bool gameRunning) {
    return !otherInstanceRuns && (launcherReboot || !gameRunning);
}
