// OmbrixEntrance.exe: the windowless program beside OmbrixLauncher.exe that starts the
// launcher and installs the launcher's own update.
//
// Started by the player: installs a complete bundle that waits (unless a launcher runs), then
// starts the launcher with ENTRANCE=<this program>. Started by the launcher's restart with
// LAUNCHER_REBOOT=TRUE: waits for the old launcher to end, installs the bundle, and starts the
// launcher with ENTRANCE and LAUNCHER_REBOOT=TRUE. When the bundle cannot be installed the
// launcher is started with LAUNCHER_UPDATE=FAILED instead, and goes on to the game with its old
// files. The exit code tells what happened:
//   0 nothing to install, or installed      2 an unfinished bundle was deleted
//   3 a damaged bundle was deleted          4 installing failed: restored, the release recorded
//   5 the old launcher did not end: nothing installed, the bundle kept
//   1 the launcher could not be started (whatever else happened)
#include <windows.h>

#include "BundleInstall.h"
#include "EntranceCommand.h"
#include "LauncherEnd.h"
#include "PendingSelf.h"
#include "app/CommandLine.h"
#include "app/CommandLineTokens.h"
#include "app/FileServices.h"
#include "app/InstallPaths.h"
#include "app/LauncherNames.h"
#include "app/LauncherVersion.h"
#include "app/Log.h"
#include "app/ModulePath.h"
#include "app/ProcessStart.h"
#include "resources/FailedLauncherRelease.h"

namespace {

const wchar_t kLauncherFile[] = L"OmbrixLauncher.exe";
const wchar_t kBundleFile[] = L"launcher.tmp";
const wchar_t kLauncherManifestFile[] = L"launcher_manifest.txt";
const wchar_t kSwapJournalFile[] = L"OmbrixEntrance.journal";

// How long the restart waits for the old launcher, which ends right after starting us.
constexpr DWORD kLauncherEndLimitMs = 20000;
constexpr DWORD kLauncherEndStepMs = 100;

enum ExitCode {
    kDone = 0,
    kLauncherNotStarted = 1,
    kUnfinishedDeleted = 2,
    kDamagedDeleted = 3,
    kInstallFailed = 4,
    kLauncherStillRunning = 5,
};

// The game root as the launcher finds it; a root that is not remembered yet is not chosen
// for it here.
std::wstring FindGameRoot() {
    InstallProbes probes = MachineInstallProbes();
    probes.writeFile = [](const std::wstring&, const std::string&) { return false; };
    return ResolveGameRoot(GetLauncherDataDir(), probes);
}

const char* OutcomeName(BundleOutcome outcome) {
    switch (outcome) {
        case BundleOutcome::NoBundle:
            return "no_bundle";
        case BundleOutcome::Installed:
            return "installed";  // checked, every file swapped in
        case BundleOutcome::Unfinished:
            return "unfinished_deleted";
        case BundleOutcome::Damaged:
            return "damaged_deleted";
        default:
            return "failed_restored";  // the replaced files are back, the bundle kept
    }
}

int ExitCodeOf(BundleOutcome outcome) {
    switch (outcome) {
        case BundleOutcome::Unfinished:
            return kUnfinishedDeleted;
        case BundleOutcome::Damaged:
            return kDamagedDeleted;
        case BundleOutcome::Failed:
            return kInstallFailed;
        default:
            return kDone;
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring self = GetModulePath();
    const std::wstring folder = GetModuleDirectory();
    OpenLog(GetLauncherDataDir() + kEntranceLogFileName);
    LogEvent("entrance_start",
             {{"version", GetVersionTextOf(self)},
              {"command_line", WithoutCommandLineToken(::GetCommandLineW(), L"LOGIN_DATA")}});
    ApplyPendingSelf(self);

    const bool reboot = IsLauncherReboot();
    const std::wstring launcher = folder + kLauncherFile;
    const auto ended = [&launcher] { return IsLauncherEnded(launcher); };
    // Without the restart a running launcher may be filling the bundle: it is left alone.
    const bool mayInstall =
        reboot ? WaitUntilEnded(ended, kLauncherEndLimitMs, kLauncherEndStepMs) : ended();
    LogEvent("launcher_ended", {{"reboot", reboot}, {"ended", mayInstall}});

    int code = reboot && !mayInstall ? kLauncherStillRunning : kDone;
    if (mayInstall) {
        const std::wstring root = FindGameRoot();
        BundleTargets targets;
        targets.bundlePath = root + kBundleFile;
        targets.launcherFolder = folder;
        targets.manifestPath = root + kLauncherManifestFile;
        targets.selfName = self.substr(folder.size());
        targets.journalPath = folder + kSwapJournalFile;
        targets.failedPath = root + kFailedLauncherReleaseName;
        const BundleOutcome outcome = InstallLauncherBundle(targets);
        LogEvent("bundle_install", {{"root", root}, {"outcome", OutcomeName(outcome)}});
        code = ExitCodeOf(outcome);
    }

    std::wstring workingDir;
    GetParentDirectory(launcher, &workingDir);
    if (workingDir.size() == 2 && workingDir[1] == L':') workingDir.push_back(L'\\');
    const LauncherStart how = code == kInstallFailed ? LauncherStart::UpdateFailed
                              : reboot               ? LauncherStart::Reboot
                                                     : LauncherStart::Plain;
    const bool started = StartProcess(launcher, workingDir, BuildLauncherArguments(self, how));
    LogEvent("launcher_start",
             {{"exe", launcher}, {"started", started}, {"error", started ? 0 : ::GetLastError()}});
    if (!started) code = kLauncherNotStarted;
    LogEvent("exit", {{"code", code}});
    return code;
}
