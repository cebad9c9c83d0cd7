// The game's command line, the start of the game and the restart of the launcher, with the
// stand-in game "vemo_game.exe" recording how it was started.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/DeviceId.h"
#include "app/FileServices.h"
#include "app/GameLaunch.h"
#include "app/ModulePath.h"
#include "app/ProcessStart.h"
#include "app/TextConvert.h"
#include "tests/app/TestFolder.h"

namespace {

const wchar_t kStartFailedCode2[] = L"\u542F\u52A8\u5931\u8D25\uFF0C\u9519\u8BEF\u4EE3\u7801:2";
const wchar_t kRestartFailed[] = L"\u91CD\u542FLauncher\u5931\u8D25\uFF0C\u53C2\u6570\u9519\u8BEF";
const wchar_t kRestartSucceeded[] = L"\u91CD\u542FLauncher\u6210\u529F";
const wchar_t kEmptyLoginData[] = L"YXV0aF9rZXk9LHVpZD0sZXh0cmFJbmZvPQ==";

class FakeHost : public LaunchHost {
  public:
    std::wstring GetRootDir() override { return root; }
    std::wstring GetResourceHash() override { return hash; }
    void SetStatusText(const std::wstring& text) override { status = text; }
    void ShowFailureMessage(const std::wstring& text) override { messages.push_back(text); }
    void ClearConfirmClose() override { ++confirmCleared; }
    void EndLauncher() override { ++ended; }

    std::wstring root;
    std::wstring hash;
    std::wstring status;
    std::vector<std::wstring> messages;
    int confirmCleared = 0;
    int ended = 0;
};

// How the stand-in was started: its command line and working directory, once it has written
// them (the launch does not wait for the program, so neither can the start).
struct Record {
    std::wstring commandLine;
    std::wstring workingDir;
};

Record WaitForRecord(const std::wstring& path) {
    std::string bytes;
    for (int i = 0; i < 400 && !ReadFileBytes(path, &bytes); ++i) ::Sleep(25);
    Record record;
    const std::wstring text = Utf8ToTextExact(bytes);
    const size_t end = text.find(L"\r\n");
    if (end == std::wstring::npos) return record;
    record.commandLine = text.substr(0, end);
    record.workingDir = text.substr(end + 2, text.find(L"\r\n", end + 2) - end - 2);
    return record;
}

std::wstring WithoutFinalBackslash(std::wstring dir) {
    if (dir.size() > 3 && dir.back() == L'\\') dir.pop_back();
    return dir;
}

// A folder with the stand-in game, set to record to a file of the folder and end at once.
class LaunchTest : public ::testing::Test {
  protected:
    LaunchTest() : folder_(L"launch"), record_(folder_.Path() + L"record.txt") {
        ::SetEnvironmentVariableW(L"VEMO_GAME_EXIT", L"1");
        ::SetEnvironmentVariableW(L"VEMO_GAME_RECORD", record_.c_str());
    }
    ~LaunchTest() override {
        ::SetEnvironmentVariableW(L"VEMO_GAME_EXIT", nullptr);
        ::SetEnvironmentVariableW(L"VEMO_GAME_RECORD", nullptr);
    }

    // Puts the stand-in at dir + name; true when it is there.
    bool PlaceStandIn(const std::wstring& dir, const std::wstring& name) {
        CreateDirectories(dir);
        return ::CopyFileW((GetModuleDirectory() + L"vemo_game.exe").c_str(), (dir + name).c_str(),
                           FALSE) != FALSE;
    }

    TestFolder folder_;
    std::wstring record_;
    FakeHost host_;
};

}  // namespace

TEST(GameCommandLine, LoginTextAndItsBase64) {
    LoginFields empty;
    EXPECT_EQ(L"auth_key=,uid=,extraInfo=", FormatLoginText(empty));
    EXPECT_EQ(3u, empty.size());  // looking up adds the keys
    EXPECT_EQ(kEmptyLoginData, EncodeLoginData(FormatLoginText(empty)));

    LoginFields filled;
    filled["uid"] = "42";
    filled["auth_key"] = "k\xD6\xD0";  // narrow code page text
    filled["other"] = "ignored";
    const std::wstring text = FormatLoginText(filled);
    EXPECT_EQ(L"auth_key=k\u4E2D,uid=42,extraInfo=", text);
    // Base64 of the narrow bytes, one line, padded.
    EXPECT_EQ(L"YXV0aF9rZXk9a9bQLHVpZD00MixleHRyYUluZm89", EncodeLoginData(text));
}

TEST(GameCommandLine, NothingIsQuotedOrEscaped) {
    EXPECT_EQ(L"ENTRANCE=C:/My Games/l.exe DEVICE_ID= RESOURCE_HASH= LOGIN_DATA=x",
              FormatGameCommandLine(L"C:/My Games/l.exe", L"", L"", L"x"));
    EXPECT_EQ(L"ENTRANCE=e DEVICE_ID=D RESOURCE_HASH=H",
              FormatGenericGameCommandLine(L"e", L"D", L"H"));

    FakeHost host;
    LoginFields fields;
    std::wstring entrance = GetModulePath();
    for (wchar_t& c : entrance) {
        if (c == L'\\') c = L'/';
    }
    EXPECT_EQ(entrance, GetEntranceText());
    EXPECT_EQ(L"ENTRANCE=" + entrance + L" DEVICE_ID=" + GetDeviceId() +
                  L" RESOURCE_HASH= LOGIN_DATA=" + kEmptyLoginData,
              BuildGameCommandLine(host, fields));
    host.hash = L"0123456789ABCDEF0123456789ABCDEF";
    EXPECT_EQ(
        L"ENTRANCE=" + entrance + L" DEVICE_ID=" + GetDeviceId() + L" RESOURCE_HASH=" + host.hash,
        BuildGenericGameCommandLine(host));
}

TEST_F(LaunchTest, GameStartsInItsGameFolderAndTheLauncherEnds) {
    host_.root = folder_.Path() + L"with space\\";
    ASSERT_TRUE(PlaceStandIn(host_.root + L"game\\", L"vemo_game.exe"));
    LoginFields fields;
    fields["uid"] = "7";
    LaunchGame(host_, fields);
    EXPECT_EQ(1, host_.ended);
    EXPECT_EQ(1, host_.confirmCleared);
    EXPECT_TRUE(host_.messages.empty());

    const Record record = WaitForRecord(record_);
    // The executable path as passed, unquoted, then the arguments.
    EXPECT_EQ(host_.root + L"game\\vemo_game.exe " + BuildGameCommandLine(host_, fields),
              record.commandLine);
    EXPECT_EQ(WithoutFinalBackslash(host_.root + L"game\\"), record.workingDir);
}

TEST_F(LaunchTest, MissingGameShowsTheErrorCodeAndEnds) {
    host_.root = folder_.Path() + L"empty\\";
    ASSERT_TRUE(CreateDirectories(host_.root + L"game\\"));  // the folder, without the game
    LaunchGenericGame(host_);
    ASSERT_EQ(1u, host_.messages.size());
    EXPECT_EQ(kStartFailedCode2, host_.messages[0]);
    EXPECT_EQ(0, host_.confirmCleared);
    EXPECT_EQ(1, host_.ended);
}

TEST_F(LaunchTest, RestartStartsTheEntranceInItsFolderWithTheRebootToken) {
    const std::wstring dir = folder_.Path() + L"L\\";
    ASSERT_TRUE(PlaceStandIn(dir, L"launcher.exe"));
    std::wstring entrance = dir + L"launcher.exe";
    for (wchar_t& c : entrance) {
        if (c == L'\\') c = L'/';
    }
    RestartLauncherWith(host_, true, entrance);
    EXPECT_EQ(kRestartSucceeded, host_.status);
    EXPECT_TRUE(host_.messages.empty());
    EXPECT_EQ(1, host_.confirmCleared);
    EXPECT_EQ(1, host_.ended);

    const Record record = WaitForRecord(record_);
    EXPECT_EQ(dir + L"launcher.exe LAUNCHER_REBOOT=TRUE", record.commandLine);
    EXPECT_EQ(WithoutFinalBackslash(dir), record.workingDir);
}

TEST_F(LaunchTest, RestartFailuresAreReportedAndEnd) {
    // This test program was started without ENTRANCE, like a launcher from the shortcut.
    RestartLauncher(host_);
    EXPECT_EQ(kRestartFailed, host_.status);
    ASSERT_EQ(1u, host_.messages.size());
    EXPECT_EQ(kRestartFailed, host_.messages[0]);
    EXPECT_EQ(1, host_.ended);

    const std::wstring missing = folder_.Path() + L"nowhere/launcher.exe";
    for (const std::wstring& entrance : {missing, std::wstring(L"launcher.exe"), std::wstring()}) {
        FakeHost host;
        host.status = L"before";
        RestartLauncherWith(host, true, entrance);
        EXPECT_EQ(kRestartFailed, host.status);
        EXPECT_EQ(1u, host.messages.size());
        EXPECT_EQ(0, host.confirmCleared);
        EXPECT_EQ(1, host.ended);
    }
    EXPECT_FALSE(FileExists(record_));
}

TEST_F(LaunchTest, StartProcessWithoutArgumentsAddsNoSpace) {
    ASSERT_TRUE(PlaceStandIn(folder_.Path(), L"plain.exe"));
    ASSERT_TRUE(StartProcess(folder_.Path() + L"plain.exe", folder_.Path(), L""));
    EXPECT_EQ(folder_.Path() + L"plain.exe", WaitForRecord(record_).commandLine);

    ::SetLastError(0);
    EXPECT_FALSE(StartProcess(folder_.Path() + L"none.exe", folder_.Path(), L"x"));
    EXPECT_EQ(2u, ::GetLastError());
    EXPECT_FALSE(StartProcess(folder_.Path(), folder_.Path(), L""));  // a folder
}
