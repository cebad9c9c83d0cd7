// Launcher data directory, game root, device identifier, version text and browser command.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <map>

#include "BuildConfig.h"
#include "app/AdapterAddresses.h"
#include "app/BrowserCommand.h"
#include "app/DeviceId.h"
#include "app/FileServices.h"
#include "app/InstallPaths.h"
#include "app/LauncherVersion.h"
#include "app/ModulePath.h"
#include "app/TextConvert.h"
#include "tests/app/TestFolder.h"

namespace {

// A machine described by the test: which folders are writable and fixed, the best drive, and
// the files on it.
struct FakeMachine {
    std::map<std::wstring, bool> writable;
    std::wstring bestDrive;  // empty: no writable fixed drive
    std::map<std::wstring, bool> fixedDirectories;
    std::map<std::wstring, std::string> files;
    bool writesFail = false;

    InstallProbes Probes() {
        InstallProbes p;
        p.isWritableDirectory = [this](const std::wstring& dir) { return writable[dir]; };
        p.findLargestFreeDrive = [this](std::wstring* root) {
            *root = bestDrive;
            return !bestDrive.empty();
        };
        p.isFixedDirectory = [this](const std::wstring& path) { return fixedDirectories[path]; };
        p.readFile = [this](const std::wstring& path, std::string* bytes) {
            auto it = files.find(path);
            if (it == files.end()) return false;
            *bytes = it->second;
            return true;
        };
        p.writeFile = [this](const std::wstring& path, const std::string& bytes) {
            if (writesFail) return false;
            files[path] = bytes;
            return true;
        };
        return p;
    }
};

std::string ReadAll(const std::wstring& path) {
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

}  // namespace

TEST(LauncherDataDir, FallsBackToTheLargestDriveThenToTheUnwritableFolder) {
    FakeMachine machine;
    const std::wstring appData = L"C:\\users\\p\\AppData\\Roaming";
    const std::wstring preferred = appData + L"\\VEMO_PC\\Ombrix\\";
    machine.writable[preferred] = true;
    machine.bestDrive = L"D:\\";
    EXPECT_EQ(preferred, ResolveLauncherDataDir(appData, machine.Probes()));

    machine.writable[preferred] = false;
    EXPECT_EQ(L"D:\\VEMO_PC\\Ombrix\\", ResolveLauncherDataDir(appData, machine.Probes()));

    machine.bestDrive.clear();
    EXPECT_EQ(preferred, ResolveLauncherDataDir(appData, machine.Probes()));
}

TEST(LauncherDataDir, IsTheRoamingFolderOfThePrefix) {
    const std::wstring dir = GetLauncherDataDir();
    ASSERT_GT(dir.size(), 3u);
    EXPECT_EQ(L"C:\\", dir.substr(0, 3));
    EXPECT_EQ(L"\\VEMO_PC\\Ombrix\\", dir.substr(dir.size() - 16));
    EXPECT_TRUE(DirectoryExists(dir));
    EXPECT_FALSE(FileExists(dir + L"launcher_test.txt"));
}

TEST(GameRoot, ChosenOnceOnTheLargestDriveThenRemembered) {
    FakeMachine machine;
    const std::wstring data = L"C:\\data\\";
    machine.bestDrive = L"D:\\";
    EXPECT_EQ(L"D:\\VEMO\\Ombrix\\", ResolveGameRoot(data, machine.Probes()));
    EXPECT_EQ("D:\\VEMO\\Ombrix\\", machine.files[data + L"game_root.txt"]);

    // C: now has more space, but the remembered root still exists on a fixed drive.
    machine.fixedDirectories[L"D:\\VEMO\\Ombrix\\"] = true;
    machine.bestDrive = L"C:\\";
    EXPECT_EQ(L"D:\\VEMO\\Ombrix\\", ResolveGameRoot(data, machine.Probes()));

    // The remembered directory went away: a new root is chosen and remembered.
    machine.fixedDirectories.clear();
    EXPECT_EQ(L"C:\\VEMO\\Ombrix\\", ResolveGameRoot(data, machine.Probes()));
    EXPECT_EQ("C:\\VEMO\\Ombrix\\", machine.files[data + L"game_root.txt"]);
}

TEST(GameRoot, WithoutWritableDriveBelowTheDataDirEvenWhenNotRemembered) {
    FakeMachine machine;
    machine.writesFail = true;
    EXPECT_EQ(L"C:\\data\\VEMO\\Ombrix\\", ResolveGameRoot(L"C:\\data\\", machine.Probes()));
    EXPECT_TRUE(machine.files.empty());
}

// The real file system of the prefix, with the data directory in a temp folder.
class GameRootFileTest : public ::testing::Test {
  protected:
    GameRootFileTest() : folder_(L"gameroot"), file_(folder_.Path() + L"game_root.txt") {}

    std::wstring Resolve() { return ResolveGameRoot(folder_.Path(), MachineInstallProbes()); }
    void Remember(const std::string& bytes) { ASSERT_TRUE(WriteFileBytes(file_.c_str(), bytes)); }

    TestFolder folder_;
    std::wstring file_;
};

TEST_F(GameRootFileTest, NewRootLandsOnDriveC) {
    EXPECT_EQ(L"C:\\VEMO\\Ombrix\\", Resolve());
    EXPECT_EQ("C:\\VEMO\\Ombrix\\", ReadAll(file_));  // no line break, no terminator, no mark
}

TEST_F(GameRootFileTest, ExistingFixedDirectoryIsKeptEvenWithAnUnusualName) {
    const std::wstring elsewhere = folder_.Path() + L"\u6E38\u620F\\";  // 游戏, code page 936
    ASSERT_TRUE(CreateDirectories(elsewhere));
    const std::string stored = TextToNarrow(folder_.Path()) + "\xD3\xCE\xCF\xB7\\";
    Remember(stored);
    EXPECT_EQ(elsewhere, Resolve());
    EXPECT_EQ(stored, ReadAll(file_));
}

TEST_F(GameRootFileTest, RootWithoutFinalBackslashGetsOne) {
    std::string stored = TextToNarrow(folder_.Path());
    stored.pop_back();
    Remember(stored);
    EXPECT_EQ(folder_.Path(), Resolve());
}

TEST_F(GameRootFileTest, UnusableContentIsReplacedAndRewritten) {
    const std::string here = TextToNarrow(folder_.Path());
    const std::string unusable[] = {
        here + "\r\n",                               // a line break after the directory
        here + "missing\\",                          // no such directory
        std::string("\xFF\xFE\x00garbage\x81", 12),  // garbage with a zero byte
        std::string("C:\\\0junk", 8),                // a zero byte cuts the path
        "Z:\\",                                      // network drive
        "",                                          // empty file
        "relative\\",
    };
    for (const std::string& content : unusable) {
        Remember(content);
        EXPECT_EQ(L"C:\\VEMO\\Ombrix\\", Resolve()) << content;
        EXPECT_EQ("C:\\VEMO\\Ombrix\\", ReadAll(file_)) << content;
    }
}

TEST(DeviceId, Md5OfTheHardwareAddressesInListOrder) {
    EXPECT_EQ(L"", DeviceIdFromAddresses(false, {}));
    EXPECT_EQ(L"35B9AB5A36F3234DD26DB357FD4A0DC1",
              DeviceIdFromAddresses(true, {std::string(6, '\0')}));
    EXPECT_EQ(L"0097DBAA9A29A90FFECD95F7C0E10E2A",
              DeviceIdFromAddresses(true, {std::string("\x00\x1A\x2B\x3C\x4D\x5E", 6),
                                           std::string("\x00\x50\x56\xC0\x00\x08", 6)}));
}

TEST(DeviceId, WalksTheAdapterListWithinEachAddressField) {
    IP_ADAPTER_INFO adapters[2] = {};
    adapters[0].Next = &adapters[1];
    adapters[0].AddressLength = 6;
    const unsigned char first[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    memcpy(adapters[0].Address, first, 6);
    adapters[1].AddressLength = 200;  // broken entry: longer than the field
    memset(adapters[1].Address, 0xAB, sizeof(adapters[1].Address));
    const std::vector<std::string> addresses = CollectAdapterAddresses(adapters);
    ASSERT_EQ(2u, addresses.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(first), 6), addresses[0]);
    EXPECT_EQ(std::string(MAX_ADAPTER_ADDRESS_LENGTH, '\xAB'), addresses[1]);
    EXPECT_TRUE(CollectAdapterAddresses(nullptr).empty());

    // Whatever adapters the machine has: empty or 32 upper-case hexadecimal characters.
    const std::wstring id = GetDeviceId();
    if (!id.empty()) {
        EXPECT_EQ(32u, id.size());
        EXPECT_EQ(std::wstring::npos, id.find_first_not_of(L"0123456789ABCDEF"));
    }
}

TEST(LauncherVersion, FromTheVersionResource) {
    const std::string expected = OMBRIX_VERSION_TEXT;
    EXPECT_EQ(std::wstring(expected.begin(), expected.end()), GetLauncherVersionText());
    EXPECT_EQ(L"0.0.0.0", GetVersionTextOf(L"C:\\no\\such\\file.exe"));
}

TEST(ModulePath, DirectoryEndsWithBackslash) {
    const std::wstring path = GetModulePath();
    const std::wstring dir = GetModuleDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(L'\\', dir.back());
    EXPECT_EQ(dir, path.substr(0, dir.size()));
    EXPECT_EQ(std::wstring::npos, path.find(L'\\', dir.size()));
    EXPECT_TRUE(FileExists(path));
}

TEST(BrowserCommand, CutAtThePlaceholder) {
    EXPECT_EQ(L"\"C:\\b.exe\" -osint -url  http://x/?a=1",
              BuildBrowserCommand(L"\"C:\\b.exe\" -osint -url \"%1\"", L"http://x/?a=1"));
    EXPECT_EQ(L"C:\\b.exe  http://x", BuildBrowserCommand(L"C:\\b.exe %1", L"http://x"));
    EXPECT_EQ(L"C:\\b.exe -new http://x", BuildBrowserCommand(L"C:\\b.exe -new", L"http://x"));
    EXPECT_EQ(L"b  u", BuildBrowserCommand(L"b \"%1\" %1", L"u"));
}
