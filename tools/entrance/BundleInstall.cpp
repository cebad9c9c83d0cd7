#include "BundleInstall.h"

#include <windows.h>

#include "BundleRecords.h"
#include "DurableFiles.h"
#include "FileSwap.h"
#include "PendingSelf.h"
#include "app/FileServices.h"
#include "app/Log.h"
#include "app/TextConvert.h"
#include "resources/ManifestName.h"

namespace {

bool SameName(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring TargetOf(const BundleTargets& targets, const std::wstring& name) {
    if (SameName(name, targets.selfName)) {
        return targets.launcherFolder + targets.selfName + kPendingSelfSuffix;
    }
    return targets.launcherFolder + name;
}

// Every file of the bundle and then the manifest, in place together, or none of them.
bool SwapIn(const BundleTargets& targets, const ParsedBundle& bundle) {
    FileSwap swap(targets.journalPath);
    for (const BundleRecord& record : bundle.files) {
        if (!swap.Stage(TargetOf(targets, NarrowToText(record.name)), record.content)) {
            return false;
        }
    }
    if (!swap.Stage(targets.manifestPath, bundle.manifest) || !swap.Commit()) return false;
    swap.Finish();
    return true;
}

// The launcher goes on with its old files; the list it failed to install is not fetched again.
BundleOutcome GiveUp(const BundleTargets& targets, const std::string& manifest) {
    if (WriteDurably(targets.failedPath, manifest)) RemoveFile(targets.bundlePath);
    return BundleOutcome::Failed;
}

}  // namespace

BundleOutcome InstallLauncherBundle(const BundleTargets& targets) {
    // An earlier install cut short (the process killed between two moves) is finished first.
    const bool recovered = FileSwap::RecoverInterrupted(targets.journalPath);
    if (!FileExists(targets.bundlePath)) return BundleOutcome::NoBundle;
    std::string bytes;
    if (!ReadFileBytes(targets.bundlePath, &bytes)) return BundleOutcome::Failed;

    const ParsedBundle bundle = ParseLauncherBundle(
        bytes, [](const std::string& name) { return IsSafeManifestName(NarrowToText(name)); });
    LogEvent("bundle_checked", {{"path", targets.bundlePath},
                                {"state", bundle.state},
                                {"files", bundle.files.size()},
                                {"problem", bundle.problem}});
    if (bundle.state != BundleState::Complete) {
        // Neither can ever be installed; the launcher compares against the manifest it still
        // has and fetches its files again.
        ::DeleteFileW(targets.bundlePath.c_str());
        return bundle.state == BundleState::Unfinished ? BundleOutcome::Unfinished
                                                       : BundleOutcome::Damaged;
    }
    if (!recovered || !SwapIn(targets, bundle)) return GiveUp(targets, bundle.manifest);
    RemoveFile(targets.failedPath);
    ::DeleteFileW(targets.bundlePath.c_str());
    return BundleOutcome::Installed;
}
