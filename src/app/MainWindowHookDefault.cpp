// Stand-in for the update flow's main window while the flow library does not provide one:
// start-up ends right after its decision.
#include "app/MainWindowHook.h"

int RunMainWindow() {
    return 0;
}
