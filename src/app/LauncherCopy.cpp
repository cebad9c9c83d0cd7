#include "app/LauncherCopy.h"

#include <windows.h>

#include "app/FileServices.h"
#include "app/ProcessList.h"

void RefreshLauncherCopy(const std::wstring& modulePath, const std::wstring& copyPath) {
    // Running from the copy: never delete it, even when the process list cannot be read (the
    // copy would otherwise be deleted and then have nothing to be copied from).
    if (SamePathText(modulePath, copyPath)) return;
    if (IsProcessRunning(copyPath)) return;
    DeleteFileIfExists(copyPath);
    ::CopyFileW(modulePath.c_str(), copyPath.c_str(), TRUE);
}
