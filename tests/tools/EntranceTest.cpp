// The entrance: which launcher bundles it refuses before writing anything, and how it swaps a
// good one in, or puts everything back when a file cannot be replaced.
#include <gtest/gtest.h>

#include "../resources/TestTree.h"
#include "BundleInstall.h"
#include "BundleRecords.h"
#include "EntranceCommand.h"
#include "PendingSelf.h"
#include "app/TextConvert.h"
#include "framework/ScopedHandle.h"
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
    BundleTargets targets{root + L"launcher.tmp", launcher, root + L"launcher_manifest.txt",
                          L"OmbrixEntrance.exe"};
    Installation() {
        Write(launcher + L"OmbrixLauncher.exe", "MZ old");
        Write(launcher + L"OmbrixEntrance.exe", "MZ entrance");
        Write(targets.manifestPath, "OmbrixLauncher.exe=OLD\r\n");
    }
    // True when a swap left a file of its own in the launcher folder.
    bool LeftOvers() const {
        WIN32_FIND_DATAW data;
        ombrix::ScopedFindHandle find(::FindFirstFileW((launcher + L"*.ombrix-*").c_str(), &data));
        return find.IsValid();
    }
};

TEST(EntranceInstall, SwapsEveryFileAndTheManifestThenDeletesTheBundle) {
    Installation in;
    Write(in.targets.bundlePath, "\x01" + kFiles + Record("ombrixentrance.exe", "MZ entrance 2") +
                                     Record(kBundleManifestName, kManifest));
    EXPECT_EQ(InstallLauncherBundle(in.targets), BundleOutcome::Installed);
    EXPECT_EQ(Read(in.launcher + L"OmbrixLauncher.exe"), "MZ new");
    EXPECT_EQ(Read(in.launcher + L"data\\skin.png"), "png");
    EXPECT_EQ(Read(in.targets.manifestPath), kManifest);
    EXPECT_FALSE(FileExists(in.targets.bundlePath));
    EXPECT_FALSE(in.LeftOvers());
    // The running entrance is not touched; its update waits whole for the next start.
    EXPECT_EQ(Read(in.launcher + L"OmbrixEntrance.exe"), "MZ entrance");
    EXPECT_TRUE(ApplyPendingSelf(in.launcher + L"OmbrixEntrance.exe"));
    EXPECT_EQ(Read(in.launcher + L"OmbrixEntrance.exe"), "MZ entrance 2");
    EXPECT_FALSE(ApplyPendingSelf(in.launcher + L"OmbrixEntrance.exe"));
    EXPECT_EQ(InstallLauncherBundle(in.targets), BundleOutcome::NoBundle);
}

TEST(EntranceInstall, UnreplaceableFilesLeaveTheOldLauncher) {
    enum Fault { kLocked, kUnwritable, kInterrupted };
    struct Case {
        const char* what;
        Fault fault;
        BundleOutcome outcome;
    };
    const Case cases[] = {
        {"target held open by a running program", kLocked, BundleOutcome::Failed},
        {"folder cannot be created", kUnwritable, BundleOutcome::Failed},
        {"earlier install cut short", kInterrupted, BundleOutcome::Installed},
    };
    for (const Case& c : cases) {
        Installation in;
        if (c.fault == kUnwritable) Write(in.launcher + L"data", "a file where a folder goes");
        if (c.fault == kInterrupted) {
            // Killed between the two moves of a swap: the old file aside, nothing in place.
            ::MoveFileW((in.launcher + L"OmbrixLauncher.exe").c_str(),
                        (in.launcher + L"OmbrixLauncher.exe.ombrix-old").c_str());
        }
        Write(in.targets.bundlePath, kGood);
        ombrix::ScopedFileHandle held;
        if (c.fault == kLocked) {
            // The last file to be swapped, so the one before it has to be put back.
            Write(in.launcher + L"data\\skin.png", "old png");
            held.Reset(::CreateFileW((in.launcher + L"data\\skin.png").c_str(), GENERIC_READ,
                                     FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(held) << c.what;
        }
        EXPECT_EQ(InstallLauncherBundle(in.targets), c.outcome) << c.what;
        held.Reset();
        EXPECT_FALSE(in.LeftOvers()) << c.what;
        const bool failed = c.outcome == BundleOutcome::Failed;
        EXPECT_EQ(FileExists(in.targets.bundlePath), failed) << c.what;
        EXPECT_EQ(Read(in.launcher + L"OmbrixLauncher.exe"), failed ? "MZ old" : "MZ new")
            << c.what;
        EXPECT_EQ(Read(in.targets.manifestPath), failed ? "OmbrixLauncher.exe=OLD\r\n" : kManifest)
            << c.what;
        if (c.fault == kLocked) {
            EXPECT_EQ(Read(in.launcher + L"data\\skin.png"), "old png");
        }
    }
}

TEST(Entrance, PassesItsPathToTheLauncherAsOneToken) {
    EXPECT_EQ(BuildLauncherArguments(L"C:\\Program Files\\Om+brix 100%\\OmbrixEntrance.exe", true),
              L"ENTRANCE=C:/Program%20Files/Om%2Bbrix%20100%25/OmbrixEntrance.exe "
              L"LAUNCHER_REBOOT=TRUE");
}

}  // namespace
