// The entrance: which launcher bundles it refuses before writing anything, how it swaps a good
// one in, puts everything back when a file cannot be replaced (and gives that release up), and
// finishes a swap a kill cut short from its journal alone.
#include <gtest/gtest.h>

#include "../resources/TestTree.h"
#include "BundleInstall.h"
#include "BundleRecords.h"
#include "EntranceCommand.h"
#include "FileSwap.h"
#include "LauncherEnd.h"
#include "PendingSelf.h"
#include "SwapJournal.h"
#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"
#include "resources/FailedLauncherRelease.h"
#include "resources/LauncherBundle.h"

using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

namespace {

std::string Record(const std::string& name, const std::string& content) {
    return EncodeUInt32LE(static_cast<uint32_t>(name.size())) + name +
           EncodeUInt32LE(static_cast<uint32_t>(content.size())) + content;
}

const std::string kManifest = "OmbrixLauncher.exe=NEW\r\ndata\\skin.png=NEW\r\n";
const std::string kFiles = Record("OmbrixLauncher.exe", "MZ new") + Record("data\\skin.png", "png");
const std::string kGood = "\x01" + kFiles + Record(kBundleManifestName, kManifest);

bool Inside(const std::string& name) {
    return name.find(':') == std::string::npos && name.compare(0, 2, "..") != 0;
}

TEST(EntranceBundle, ParsesOnlyWhatIsWholeAndInside) {
    struct Case {
        const char* what;
        std::string bytes;
        BundleState state;
    };
    const std::string manifest = Record(kBundleManifestName, "");
    const Case cases[] = {
        {"complete", kGood, BundleState::Complete},
        {"flag 0", std::string(1, '\0') + kGood.substr(1), BundleState::Unfinished},
        {"empty file", "", BundleState::Damaged},
        {"unknown flag", "\x02" + kGood.substr(1), BundleState::Damaged},
        {"truncated", kGood.substr(0, kGood.size() - 1), BundleState::Damaged},
        {"cut inside a length", kGood.substr(0, 3), BundleState::Damaged},
        {"record longer than the file",
         "\x01" + EncodeUInt32LE(1) + "a" + EncodeUInt32LE(0xFFFFFFFFu) + "xyz",
         BundleState::Damaged},
        {"name outside the folder", "\x01" + Record("..\\evil.exe", "x") + manifest,
         BundleState::Damaged},
        {"no manifest record", "\x01" + kFiles, BundleState::Damaged},
        {"manifest not last", "\x01" + manifest + kFiles + manifest, BundleState::Damaged},
        {"same file twice", "\x01" + kFiles + Record("OMBRIXLAUNCHER.EXE", "x") + manifest,
         BundleState::Damaged},
        // Names in the ANSI code page that the file system folds together: a Roman numeral
        // (Chinese code page) and S with caron (Western ones), each in both cases.
        {"same file twice, Roman one in both cases",
         "\x01" + Record(TextToNarrow(L"\u2160.dll"), "x") +
             Record(TextToNarrow(L"\u2170.dll"), "y") + manifest,
         BundleState::Damaged},
        {"same file twice, S with caron in both cases",
         "\x01" + Record(TextToNarrow(L"\u0160.dll"), "x") +
             Record(TextToNarrow(L"\u0161.dll"), "y") + manifest,
         BundleState::Damaged},
        {"a file and a folder of one name", "\x01" + kFiles + Record("DATA", "x") + manifest,
         BundleState::Damaged},
    };
    for (const Case& c : cases) {
        const ParsedBundle parsed = ParseLauncherBundle(c.bytes, Inside);
        EXPECT_EQ(parsed.state, c.state) << c.what << ": " << parsed.problem;
        if (parsed.state != BundleState::Complete) {
            EXPECT_TRUE(parsed.files.empty()) << c.what;
        }
    }
    const ParsedBundle good = ParseLauncherBundle(kGood, Inside);
    ASSERT_EQ(good.files.size(), 2u);
    EXPECT_EQ(good.files[1].name, "data\\skin.png");
    EXPECT_EQ(good.manifest, kManifest);
}

// The launcher folder and the game root of one installation, with an old launcher in place.
struct Installation {
    TempFolder folder;
    std::wstring launcher = folder.path() + L"launcher\\";
    std::wstring root = folder.path() + L"root\\";
    BundleTargets targets{root + L"launcher.tmp",
                          launcher,
                          root + L"launcher_manifest.txt",
                          L"OmbrixEntrance.exe",
                          launcher + L"OmbrixEntrance.journal",
                          root + L"launcher_failed.txt"};
    std::wstring exe = launcher + L"OmbrixLauncher.exe";
    Installation() {
        Write(exe, "MZ old");
        Write(launcher + L"OmbrixEntrance.exe", "MZ entrance");
        Write(targets.manifestPath, "OmbrixLauncher.exe=OLD\r\n");
    }
    // True when a swap left a file of its own in the launcher folder.
    bool LeftOvers() const {
        WIN32_FIND_DATAW data;
        ombrix::ScopedFindHandle find(::FindFirstFileW((launcher + L"*.ombrix-*").c_str(), &data));
        return find.IsValid() || FileExists(targets.journalPath);
    }
};

// The entrance program built beside this test: its own update must pass the check.
std::string EntranceProgram() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder = path;
    return Read(folder.substr(0, folder.rfind(L'\\') + 1) + L"OmbrixEntrance.exe");
}

TEST(EntranceInstall, SwapsEveryFileAndTheManifestThenDeletesTheBundle) {
    Installation in;
    const std::string entrance = EntranceProgram();
    ASSERT_FALSE(entrance.empty());
    Write(in.targets.bundlePath, "\x01" + kFiles + Record("ombrixentrance.exe", entrance) +
                                     Record(kBundleManifestName, kManifest));
    Write(in.targets.failedPath, "an earlier release that failed");
    EXPECT_EQ(InstallLauncherBundle(in.targets), BundleOutcome::Installed);
    EXPECT_EQ(Read(in.exe), "MZ new");
    EXPECT_EQ(Read(in.launcher + L"data\\skin.png"), "png");
    EXPECT_EQ(Read(in.targets.manifestPath), kManifest);
    EXPECT_FALSE(FileExists(in.targets.bundlePath));
    EXPECT_FALSE(FileExists(in.targets.failedPath));
    EXPECT_FALSE(in.LeftOvers());
    // The running entrance is not touched; its update waits whole for the next start, and the
    // old one stays beside it until the start after.
    const std::wstring self = in.launcher + L"OmbrixEntrance.exe";
    EXPECT_EQ(Read(self), "MZ entrance");
    EXPECT_TRUE(ApplyPendingSelf(self));
    EXPECT_EQ(Read(self), entrance);
    EXPECT_EQ(Read(self + kPreviousSelfSuffix), "MZ entrance");
    EXPECT_FALSE(ApplyPendingSelf(self));
    EXPECT_FALSE(FileExists(self + kPreviousSelfSuffix));
    EXPECT_EQ(InstallLauncherBundle(in.targets), BundleOutcome::NoBundle);

    // A staged entrance that is no whole program is deleted; the running one stays.
    for (const std::string& damaged :
         {entrance.substr(0, entrance.size() / 2), std::string("MZ entrance 2"), std::string()}) {
        Write(self + kPendingSelfSuffix, damaged);
        EXPECT_FALSE(ApplyPendingSelf(self)) << damaged.size();
        EXPECT_FALSE(FileExists(self + kPendingSelfSuffix)) << damaged.size();
        EXPECT_EQ(Read(self), entrance) << damaged.size();
    }
}

TEST(EntranceInstall, EveryFaultEndsWithAWholeLauncher) {
    enum Fault {
        kLocked,
        kUnwritable,
        kReadOnly,
        kStaleLeftover,
        kOldInterrupted,
        kKilledBeforeCommit,
        kKilledAfterCommit,
    };
    struct Case {
        const char* what;
        Fault fault;
        bool bundle;
        BundleOutcome outcome;
        bool installed;  // the new launcher in place, else the old one
    };
    const Case cases[] = {
        {"target held open by a running program", kLocked, true, BundleOutcome::Failed, false},
        {"folder cannot be created", kUnwritable, true, BundleOutcome::Failed, false},
        {"read-only launcher", kReadOnly, true, BundleOutcome::Installed, true},
        {"replaced file an earlier swap could not remove, then a failure", kStaleLeftover, true,
         BundleOutcome::Failed, false},
        {"install of an earlier version cut short", kOldInterrupted, true, BundleOutcome::Installed,
         true},
        {"killed while swapping, bundle gone", kKilledBeforeCommit, false, BundleOutcome::NoBundle,
         false},
        {"killed while removing the replaced files, bundle gone", kKilledAfterCommit, false,
         BundleOutcome::NoBundle, true},
    };
    for (const Case& c : cases) {
        Installation in;
        if (c.fault == kUnwritable) Write(in.launcher + L"data", "a file where a folder goes");
        if (c.fault == kReadOnly) {
            ::SetFileAttributesW(in.exe.c_str(), FILE_ATTRIBUTE_READONLY);
            EXPECT_TRUE(IsLauncherEnded(in.exe)) << c.what;
        }
        if (c.fault == kStaleLeftover) {
            Write(in.exe + kReplacedSuffix, "MZ older");
            ::SetFileAttributesW((in.exe + kReplacedSuffix).c_str(), FILE_ATTRIBUTE_READONLY);
        }
        if (c.fault == kOldInterrupted) {
            // Killed between the two moves of a swap: the old file aside, nothing in place.
            ::MoveFileW(in.exe.c_str(), (in.exe + kReplacedSuffix).c_str());
        }
        if (c.fault == kKilledBeforeCommit || c.fault == kKilledAfterCommit) {
            // What a kill leaves: the launcher swapped, the manifest still to do (or, after
            // the commit, both in place and the replaced ones, read-only, not yet removed).
            const bool committed = c.fault == kKilledAfterCommit;
            Write(in.targets.journalPath, FormatJournal({{in.exe, true},
                                                         {in.launcher + L"new.dll", false},
                                                         {in.targets.manifestPath, true}}) +
                                              (committed ? kJournalCommitLine : ""));
            ::MoveFileW(in.exe.c_str(), (in.exe + kReplacedSuffix).c_str());
            if (committed) {
                ::SetFileAttributesW((in.exe + kReplacedSuffix).c_str(), FILE_ATTRIBUTE_READONLY);
            }
            Write(in.exe, "MZ new");
            Write(in.launcher + L"new.dll", "new");
            const std::wstring manifestNext =
                in.targets.manifestPath + (committed ? kReplacedSuffix : kStagedSuffix);
            Write(manifestNext, committed ? "OmbrixLauncher.exe=OLD\r\n" : kManifest);
            if (committed) Write(in.targets.manifestPath, kManifest);
        }
        if (c.bundle) Write(in.targets.bundlePath, kGood);
        ombrix::ScopedFileHandle held;
        if (c.fault == kLocked || c.fault == kStaleLeftover) {
            // The last file to be swapped, so the one before it has to be put back.
            Write(in.launcher + L"data\\skin.png", "old png");
            held.Reset(::CreateFileW((in.launcher + L"data\\skin.png").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held) << c.what;
        }
        EXPECT_EQ(InstallLauncherBundle(in.targets), c.outcome) << c.what;
        held.Reset();
        EXPECT_FALSE(in.LeftOvers()) << c.what;
        EXPECT_FALSE(FileExists(in.targets.bundlePath)) << c.what;
        EXPECT_EQ(Read(in.exe), c.installed ? "MZ new" : "MZ old") << c.what;
        EXPECT_EQ(::GetFileAttributesW(in.exe.c_str()) & FILE_ATTRIBUTE_READONLY, 0u) << c.what;
        EXPECT_EQ(Read(in.targets.manifestPath),
                  c.installed ? kManifest : "OmbrixLauncher.exe=OLD\r\n")
            << c.what;
        if (c.fault == kKilledBeforeCommit) {
            EXPECT_FALSE(FileExists(in.launcher + L"new.dll"));
        }
        if (c.fault == kLocked) {
            EXPECT_EQ(Read(in.launcher + L"data\\skin.png"), "old png");
        }
        if (c.outcome == BundleOutcome::Failed) {
            // Given up, not retried: the launcher started after it does not fetch the same
            // files again, and the next start finds nothing to install.
            EXPECT_EQ(Read(in.targets.failedPath), kManifest) << c.what;
            LocalManifestMap local;
            local.SetDigest(L"OmbrixLauncher.exe", PackedDigest<16>(L"OLD"));
            const auto release = [](const wchar_t* skinDigest) {
                auto cdn = std::make_shared<ResoureConfigMap>();
                ResoureConfigInfo file;
                file.name = L"OmbrixLauncher.exe";
                file.md5 = L"NEW";
                cdn->emplace(file.name, file);
                file.name = L"data\\skin.png";
                file.md5 = skinDigest;
                cdn->emplace(file.name, file);
                ResourceUpdateList downloads(cdn);
                downloads.Add(0, UpdateTypeChanged);
                downloads.Add(1, UpdateTypeAdded);
                return downloads;
            };
            const std::wstring recorded = Utf8ToTextExact(Read(in.targets.failedPath));
            EXPECT_TRUE(IsFailedLauncherRelease(local, release(L"NEW"), recorded)) << c.what;
            EXPECT_FALSE(IsFailedLauncherRelease(local, release(L"NEXT RELEASE"), recorded))
                << c.what;
            EXPECT_EQ(InstallLauncherBundle(in.targets), BundleOutcome::NoBundle) << c.what;
        } else {
            EXPECT_FALSE(FileExists(in.targets.failedPath)) << c.what;
        }
    }
}

TEST(EntranceInstall, OnlyASharingViolationMeansTheLauncherRuns) {
    Installation in;
    ombrix::ScopedFileHandle held(::CreateFileW(in.exe.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(IsLauncherEnded(in.exe));
    held.Reset();
    EXPECT_TRUE(IsLauncherEnded(in.exe));
}

TEST(Entrance, PassesItsPathToTheLauncherAsOneToken) {
    const std::wstring path = L"C:\\Program Files\\Om+brix 100%\\OmbrixEntrance.exe";
    const std::wstring entrance =
        L"ENTRANCE=C:/Program%20Files/Om%2Bbrix%20100%25/OmbrixEntrance.exe";
    EXPECT_EQ(BuildLauncherArguments(path, LauncherStart::Plain), entrance);
    EXPECT_EQ(BuildLauncherArguments(path, LauncherStart::Reboot),
              entrance + L" LAUNCHER_REBOOT=TRUE");
    // After a failed install the launcher is no restart: it goes on to the game.
    EXPECT_EQ(BuildLauncherArguments(path, LauncherStart::UpdateFailed),
              entrance + L" LAUNCHER_UPDATE=FAILED");
}

}  // namespace
