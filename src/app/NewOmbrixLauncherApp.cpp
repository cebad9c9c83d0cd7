#include "app/NewOmbrixLauncherApp.h"

#include <commctrl.h>

#include "app/CommandLine.h"
#include "app/CommandLineTokens.h"
#include "app/DesktopShortcut.h"
#include "app/DeviceId.h"
#include "app/InstallPaths.h"
#include "app/LauncherCopy.h"
#include "app/LauncherNames.h"
#include "app/LauncherVersion.h"
#include "app/Log.h"
#include "app/ModulePath.h"
#include "app/ProcessList.h"
#include "app/SingleInstance.h"
#include "app/StartupDecision.h"

namespace {

CNewOmbrixLauncherApp* g_app = nullptr;

// A launcher restarted by the one that is just ending waits this long, in short steps, for
// the old launcher's mutex to go away before it counts the old one as another instance.
constexpr DWORD kRebootMutexRetryMs = 5000;
constexpr DWORD kRebootMutexStepMs = 100;

}  // namespace

CNewOmbrixLauncherApp::CNewOmbrixLauncherApp(MainWindowRunner runMainWindow)
    : runMainWindow_(runMainWindow) {
    g_app = this;
    // After a crash or hang the system may start the launcher again, with no arguments.
    ::RegisterApplicationRestart(nullptr, 0);
}

CNewOmbrixLauncherApp::~CNewOmbrixLauncherApp() {
    if (g_app == this) g_app = nullptr;
}

CNewOmbrixLauncherApp* CNewOmbrixLauncherApp::Instance() {
    return g_app;
}

bool CNewOmbrixLauncherApp::InitInstance() {
    const std::wstring dataDir = GetLauncherDataDir();
    OpenLog(dataDir + kLogFileName);
    // The login data a caller may pass never reaches the log.
    LogEvent("start",
             {{"version", GetLauncherVersionText()},
              {"command_line", WithoutCommandLineToken(::GetCommandLineW(), L"LOGIN_DATA")},
              {"data_dir", dataDir},
              {"device", GetDeviceId()}});
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);

    const bool reboot = IsLauncherReboot();
    otherInstance_ = !AcquireSingleInstance(kLauncherMutexName, reboot ? kRebootMutexRetryMs : 0,
                                            kRebootMutexStepMs, &instanceMutex_);

    const std::wstring copyPath = dataDir + kLauncherCopyName;
    RefreshLauncherCopy(GetModulePath(), copyPath);
    CreateDesktopShortcut(copyPath, kDesktopShortcutName);

    const std::wstring gameRoot = GetGameRoot();
    const std::wstring gameExe = gameRoot + kGameExecutable;
    const bool gameRunning = !otherInstance_ && !reboot && IsProcessRunning(gameExe);
    LogEvent("start_decision", {{"game_root", gameRoot},
                                {"reboot", reboot},
                                {"other_instance", otherInstance_},
                                {"game_running", gameRunning}});
    if (ShouldOpenMainWindow(otherInstance_, reboot, gameRunning) && runMainWindow_ != nullptr) {
        runMainWindow_();
        mainWindow_ = nullptr;
    }
    return false;
}
