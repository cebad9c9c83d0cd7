// The launcher executable itself, started in the test prefix: its copy, "game_root.txt" and
// the desktop shortcut, and the starts that must end at once (another instance holds the
// mutex, or the game runs).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "BuildConfig.h"
#include "app/LauncherVersion.h"
#include "tests/app/ProcessRunner.h"
#include "tests/app/ShortcutReader.h"

namespace {

const wchar_t kMutexName[] = L"com.corvane.vemo.pc.OmbrixQZGameMutex";
const wchar_t kShortcutName[] = L"OmbrixStalbrand\u624B\u6E38\u6A21\u62DF\u5668.lnk";

std::wstring Folder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::wstring OwnDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    return text.substr(0, text.rfind(L'\\') + 1);
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (::ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    ::CloseHandle(file);
    return bytes;
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class LauncherStartup : public ::testing::Test {
  protected:
    LauncherStartup()
        : launcher_(OwnDirectory() + L"OmbrixLauncher.exe"),
          dataDir_(Folder(CSIDL_APPDATA) + L"\\VEMO_PC\\Ombrix\\"),
          copy_(dataDir_ + L"Ombrixvemo.exe"),
          gameRootFile_(dataDir_ + L"game_root.txt"),
          shortcut_(Folder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kShortcutName) {}

    // Another launcher instance, as far as the launcher can tell.
    void HoldMutex() {
        instance_.Reset(::CreateMutexW(nullptr, FALSE, kMutexName));
        ASSERT_TRUE(instance_.IsValid());
    }

    // Starts with no copy, no remembered root and no shortcut.
    void ForgetEverything() {
        ::DeleteFileW(copy_.c_str());
        ::DeleteFileW(gameRootFile_.c_str());
        ::DeleteFileW(shortcut_.c_str());
    }

    std::wstring launcher_, dataDir_, copy_, gameRootFile_, shortcut_;
    ombrix::ScopedKernelHandle instance_;
};

}  // namespace

TEST_F(LauncherStartup, SecondInstanceRefreshesCopyAndShortcutThenEnds) {
    ASSERT_NE("<missing>", ReadBytes(launcher_));
    ForgetEverything();
    HoldMutex();
    EXPECT_EQ(0, RunProgram(launcher_, L""));

    EXPECT_EQ(ReadBytes(launcher_), ReadBytes(copy_));
    const std::string root = ReadBytes(gameRootFile_);
    EXPECT_EQ("C:\\VEMO\\Ombrix\\", root);  // C: is the only fixed drive of the prefix
    const std::wstring target = ReadShortcutTarget(shortcut_);
    EXPECT_TRUE(SamePath(copy_, target)) << "shortcut points at " << target.size() << " chars";

    // Bad input on the command line changes nothing about that.
    EXPECT_EQ(0, RunProgram(launcher_, L"\"broken %zz =x ENTRANCE=% LAUNCHER_REBOOT \""));
    EXPECT_EQ(ReadBytes(launcher_), ReadBytes(copy_));
}

TEST_F(LauncherStartup, CarriesTheProjectVersion) {
    const std::string version = OMBRIX_VERSION_TEXT;
    EXPECT_EQ(std::wstring(version.begin(), version.end()), GetVersionTextOf(launcher_));
}

TEST_F(LauncherStartup, StartedFromTheCopyLeavesTheCopyAlone) {
    HoldMutex();
    ASSERT_EQ(0, RunProgram(launcher_, L""));
    // Mark the copy (trailing bytes do not stop a program from running).
    const std::string marked = ReadBytes(launcher_) + "MARK";
    {
        HANDLE file =
            ::CreateFileW(copy_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        DWORD written = 0;
        ::WriteFile(file, marked.data(), static_cast<DWORD>(marked.size()), &written, nullptr);
        ::CloseHandle(file);
    }
    ::DeleteFileW(shortcut_.c_str());
    EXPECT_EQ(0, RunProgram(copy_, L""));
    EXPECT_EQ(marked, ReadBytes(copy_));
    EXPECT_TRUE(SamePath(copy_, ReadShortcutTarget(shortcut_)));
}

TEST_F(LauncherStartup, GameRunningMeansNoWindowAndAnEnd) {
    // The game root as the launcher will find it, with the stand-in game running from it.
    ForgetEverything();
    HoldMutex();
    ASSERT_EQ(0, RunProgram(launcher_, L""));
    instance_.Reset();
    const std::string root = ReadBytes(gameRootFile_);
    ASSERT_EQ("C:\\VEMO\\Ombrix\\", root);
    const std::wstring gameDir = L"C:\\VEMO\\Ombrix\\game\\";
    const std::wstring game = gameDir + L"vemo_game.exe";
    ::SHCreateDirectoryExW(nullptr, gameDir.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileW((OwnDirectory() + L"vemo_game.exe").c_str(), game.c_str(), FALSE));
    ::SetEnvironmentVariableW(L"VEMO_GAME_RECORD", (gameDir + L"record.txt").c_str());
    ombrix::ScopedKernelHandle running = StartProgram(game, L"", gameDir);
    ASSERT_TRUE(running.IsValid());
    for (int i = 0; i < 200 && ReadBytes(gameDir + L"record.txt") == "<missing>"; ++i) {
        ::Sleep(50);  // until the game stand-in is up
    }

    // No other instance, no restart, the game runs: the launcher opens nothing and ends.
    EXPECT_EQ(0, WaitForExit(StartProgram(launcher_, L""), 30000));

    ::TerminateProcess(running.Get(), 0);
    ::WaitForSingleObject(running.Get(), 5000);
    ::DeleteFileW(game.c_str());
    ::DeleteFileW((gameDir + L"record.txt").c_str());
}
