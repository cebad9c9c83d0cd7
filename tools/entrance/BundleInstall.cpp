#include "BundleInstall.h"

#include <windows.h>

#include "BundleRecords.h"
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

}  // namespace

BundleOutcome InstallLauncherBundle(const BundleTargets& targets) {
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

    std::vector<std::wstring> paths;
    for (const BundleRecord& record : bundle.files) {
        paths.push_back(TargetOf(targets, NarrowToText(record.name)));
    }
    paths.push_back(targets.manifestPath);
    // An earlier install cut short (the process killed between two moves) is undone first.
    for (const std::wstring& path : paths) FileSwap::RecoverInterrupted(path);

    FileSwap swap;
    for (size_t i = 0; i < bundle.files.size(); ++i) {
        if (!swap.Stage(paths[i], bundle.files[i].content)) return BundleOutcome::Failed;
    }
    if (!swap.Stage(targets.manifestPath, bundle.manifest)) return BundleOutcome::Failed;
    if (!swap.Commit()) return BundleOutcome::Failed;
    swap.Finish();
    ::DeleteFileW(targets.bundlePath.c_str());
    return BundleOutcome::Installed;
}
