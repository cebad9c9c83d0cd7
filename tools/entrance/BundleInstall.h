// Installing the launcher bundle into the launcher's folder.
#pragma once

#include <string>

struct BundleTargets {
    std::wstring bundlePath;      // the game root + "launcher.tmp"
    std::wstring launcherFolder;  // where the launcher's files go, ends with "\"
    std::wstring manifestPath;    // the game root + "launcher_manifest.txt"
    std::wstring selfName;        // file name of the running entrance: staged for its next start
    std::wstring journalPath;     // notes the files of a swap while they move
    std::wstring failedPath;      // the game root + kFailedLauncherReleaseName
};

enum class BundleOutcome {
    NoBundle,
    Installed,   // every file in place, the manifest written, the bundle deleted
    Unfinished,  // flag 0: deleted, the launcher fetches its files again
    Damaged,     // refused before anything was written, deleted
    Failed,      // a file could not be put in place: everything restored, the bundle deleted and
                 // its launcher list recorded at failedPath, so that it is not fetched again
};

// First finishes a swap an earlier run left cut short (from its journal, whatever became of
// the bundle). Then checks the whole bundle, writes every file beside its target, swaps them in
// together with the new manifest, and deletes the bundle. A file named like the running
// entrance goes to selfName + kPendingSelfSuffix, for ApplyPendingSelf at the next start.
BundleOutcome InstallLauncherBundle(const BundleTargets& targets);
