// Start-up pieces: URL decoding, command-line values, the window decision, the single-instance
// mutex, the process list, the launcher copy and the desktop shortcut.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/CommandLine.h"
#include "app/CommandLineTokens.h"
#include "app/DesktopShortcut.h"
#include "app/FileServices.h"
#include "app/LauncherCopy.h"
#include "app/ModulePath.h"
#include "app/ProcessList.h"
#include "app/SingleInstance.h"
#include "app/StartupDecision.h"
#include "app/UrlDecode.h"
#include "tests/app/ShortcutReader.h"
#include "tests/app/TestFolder.h"

TEST(UrlDecode, PlusPercentAndPlainBytes) {
    EXPECT_EQ("a b/c", UrlDecode("a+b%2Fc"));
    EXPECT_EQ("a b/c", UrlDecode("a+b%2fc"));
    EXPECT_EQ("\xD6\xD0", UrlDecode("%D6%D0"));
    EXPECT_EQ(std::string("\x00", 1), UrlDecode("%G0"));  // G counts 16: 16 * 16 mod 256
    EXPECT_EQ("3", UrlDecode("%1Z"));                     // Z counts 35: 16 + 35
    EXPECT_EQ("", UrlDecode(""));
}

TEST(UrlDecode, BrokenEscapesAreCopied) {
    EXPECT_EQ("%", UrlDecode("%"));
    EXPECT_EQ("%4", UrlDecode("%4"));
    EXPECT_EQ("x%", UrlDecode("x%"));
    EXPECT_EQ("%-1", UrlDecode("%-1"));
    EXPECT_EQ("%%A", UrlDecode("%%%41"));  // the walk goes on right after a copied '%'
    EXPECT_EQ("% 1", UrlDecode("%+1"));
}

namespace {

const wchar_t kModule[] = L"C:\\L\\launcher.exe";

std::wstring Value(const std::wstring& commandLine, const std::wstring& key) {
    std::wstring value = L"<none>";
    GetCommandLineValueFrom(commandLine, kModule, key, &value);
    return value;
}

}  // namespace

TEST(CommandLineValue, KeysIgnoreCaseAndTheFirstTokenWins) {
    const std::wstring line = L"\"C:\\L\\launcher.exe\" ENTRANCE=C:/L/launcher.exe x=y";
    EXPECT_EQ(L"C:/L/launcher.exe", Value(line, L"entrance"));
    EXPECT_EQ(L"C:/L/launcher.exe", Value(line, L"ENTRANCE"));
    EXPECT_EQ(L"y", Value(line, L"X"));
    EXPECT_EQ(L"<none>", Value(line, L"LAUNCHER_REBOOT"));
    EXPECT_EQ(L"B=C", Value(L"A=B=C", L"a"));
    EXPECT_EQ(L"1", Value(L"noequals K=1 K=2", L"k"));
    EXPECT_EQ(L"", Value(L"K= L=2", L"K"));
    EXPECT_EQ(L"<none>", Value(L"K", L"K"));
}

TEST(CommandLineValue, ValuesAreDecodedThroughTheNarrowCodePage) {
    EXPECT_EQ(L"a b/c", Value(L"V=a+b%2Fc", L"v"));
    EXPECT_EQ(L"\u4E2D/x", Value(L"V=%D6%D0%2fx", L"V"));
    EXPECT_EQ(L"\u4E2D", Value(L"V=\u4E2D", L"V"));  // already in the clear
}

TEST(CommandLineValue, BadInputFallsBackQuietly) {
    EXPECT_EQ(L"<none>", Value(L"", L"K"));
    EXPECT_EQ(L"<none>", Value(L"   \"  ", L"K"));
    EXPECT_EQ(L"<none>", Value(L"\"K=1\"", L"K"));  // the quote is part of the key
    EXPECT_EQ(L"1\"", Value(L"\"x K=1\"", L"K"));   // and of the value
    EXPECT_EQ(L"S%", Value(L"K=%zz%", L"K"));       // 35 * 16 + 35 mod 256
    EXPECT_EQ(L"<none>", Value(L"= =1 ==", L"K"));
    EXPECT_EQ(L"1", Value(L"\"C:\\L\\launcher.exe\"K=1", L"K"));
    // The unquoted module path is just a token without '='.
    EXPECT_EQ(L"TRUE", Value(L"C:\\L\\launcher.exe LAUNCHER_REBOOT=TRUE", L"LAUNCHER_REBOOT"));
    // A token of white space ends the split: later tokens are not seen.
    EXPECT_EQ(L"<none>", Value(L"A=1 \t K=2", L"K"));
    std::wstring raw = L"untouched";
    EXPECT_FALSE(FindCommandLineToken(L"A=1", kModule, L"B", &raw));
    EXPECT_EQ(L"untouched", raw);
}

TEST(CommandLineValue, LoginDataLeavesTheShownLineWhateverItsForm) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\"C:\\L\\l.exe\" ENTRANCE=C:/L/e.exe LOGIN_DATA=YWJj",
         L"\"C:\\L\\l.exe\" ENTRANCE=C:/L/e.exe"},
        {L"login_data=a  X=1\tLogin_Data=b", L"X=1"},
        {L"\"LOGIN_DATA=a b\" X=1", L"X=1"},
        {L"LOGIN_DATA=\"a b c\" X=1", L"X=1"},
        {L"LOGIN_DATA=\"a b", L""},
        {L"\"C:\\L\\l.exe\"LOGIN_DATA=a \vLOGIN_DATA=b", L""},
        {L"LOGIN_DATAX=1 LOGIN_DATA LOGIN=DATA", L"LOGIN_DATAX=1 LOGIN_DATA LOGIN=DATA"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.second, WithoutCommandLineToken(c.first, L"LOGIN_DATA")) << c.first;
    }
}

TEST(CommandLineValue, ThisProcessIsNoRestart) {
    EXPECT_FALSE(IsLauncherReboot());
    std::wstring value = L"untouched";
    EXPECT_FALSE(GetCommandLineValue(L"ENTRANCE", &value));
    EXPECT_EQ(L"untouched", value);
}

TEST(StartupDecision, OneInstanceOpensUnlessTheGameRunsOutsideARestart) {
    EXPECT_TRUE(ShouldOpenMainWindow(false, false, false));
    EXPECT_FALSE(ShouldOpenMainWindow(false, false, true));
    EXPECT_TRUE(ShouldOpenMainWindow(false, true, true));
    EXPECT_TRUE(ShouldOpenMainWindow(false, true, false));
    EXPECT_FALSE(ShouldOpenMainWindow(true, true, false));
    EXPECT_FALSE(ShouldOpenMainWindow(true, false, false));
}

namespace {

std::wstring UniqueMutexName(const wchar_t* what) {
    return std::wstring(L"ombrix.test.") + what + L"." + std::to_wstring(::GetCurrentProcessId());
}

}  // namespace

TEST(SingleInstance, SecondCreationSeesTheFirst) {
    const std::wstring name = UniqueMutexName(L"plain");
    ombrix::ScopedKernelHandle first, second;
    int sleeps = 0;
    auto countSleeps = [&](DWORD) { ++sleeps; };
    ASSERT_TRUE(AcquireSingleInstance(name.c_str(), 0, 100, &first, countSleeps));
    EXPECT_TRUE(first.IsValid());
    EXPECT_FALSE(AcquireSingleInstance(name.c_str(), 0, 100, &second, countSleeps));
    EXPECT_FALSE(second.IsValid());
    EXPECT_EQ(0, sleeps);
    first.Reset();
    EXPECT_TRUE(AcquireSingleInstance(name.c_str(), 0, 100, &second, countSleeps));
}

TEST(SingleInstance, RestartWaitsForTheEndingLauncherWithinTheLimit) {
    const std::wstring name = UniqueMutexName(L"retry");
    ombrix::ScopedKernelHandle old, mine;
    ASSERT_TRUE(AcquireSingleInstance(name.c_str(), 0, 100, &old));

    // The old launcher ends while the new one waits its third step.
    int sleeps = 0;
    auto oldEndsLater = [&](DWORD step) {
        EXPECT_EQ(100u, step);
        if (++sleeps == 3) old.Reset();
    };
    EXPECT_TRUE(AcquireSingleInstance(name.c_str(), 5000, 100, &mine, oldEndsLater));
    EXPECT_EQ(3, sleeps);
    EXPECT_TRUE(mine.IsValid());

    // An instance that stays is counted after the limit, in bounded steps.
    ombrix::ScopedKernelHandle third;
    sleeps = 0;
    auto count = [&](DWORD) { ++sleeps; };
    EXPECT_FALSE(AcquireSingleInstance(name.c_str(), 5000, 100, &third, count));
    EXPECT_EQ(50, sleeps);
    EXPECT_FALSE(third.IsValid());
}

TEST(ProcessList, FindsThisProcessByItsPathIgnoringCase) {
    std::vector<uint32_t> ids{12345};
    ListProcessIds(&ids);
    ASSERT_GT(ids.size(), 1u);
    EXPECT_EQ(12345u, ids[0]);  // appended, not replaced
    EXPECT_NE(ids.end(), std::find(ids.begin() + 1, ids.end(), ::GetCurrentProcessId()));

    EXPECT_TRUE(SamePathText(GetProcessImagePath(::GetCurrentProcess()), GetModulePath()));
    std::wstring path = GetModulePath();
    EXPECT_TRUE(IsProcessRunning(path));
    for (wchar_t& c : path) c = static_cast<wchar_t>(::towupper(c));
    EXPECT_TRUE(IsProcessRunning(path));
    EXPECT_FALSE(IsProcessRunning(L"C:\\no\\such\\program.exe"));
    EXPECT_FALSE(IsProcessRunning(L""));
}

TEST(LauncherCopy, ReplacesTheCopyButNeverItself) {
    TestFolder folder(L"copy");
    const std::wstring source = folder.Path() + L"launcher.exe";
    const std::wstring copy = folder.Path() + L"data\\Ombrixvemo.exe";
    ASSERT_TRUE(WriteFileBytes(source.c_str(), "new launcher"));
    ASSERT_TRUE(WriteFileBytes(copy.c_str(), "old launcher"));
    RefreshLauncherCopy(source, copy);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(copy, &bytes));
    EXPECT_EQ("new launcher", bytes);

    // Started from the copy itself (written in another case): left alone.
    std::wstring sameCopy = copy;
    for (wchar_t& c : sameCopy) c = static_cast<wchar_t>(::towupper(c));
    RefreshLauncherCopy(sameCopy, copy);
    bytes.clear();
    ASSERT_TRUE(ReadFileBytes(copy, &bytes));
    EXPECT_EQ("new launcher", bytes);

    // A missing launcher file removes the old copy and leaves none (errors are silent).
    RefreshLauncherCopy(folder.Path() + L"gone.exe", copy);
    EXPECT_FALSE(FileExists(copy));
}

TEST(DesktopShortcut, PointsAtTheTargetAndIsOverwritten) {
    const std::wstring desktop = GetDesktopFolder();
    ASSERT_FALSE(desktop.empty());
    const std::wstring name = L"ombrix_test_\u6A21\u62DF\u5668.lnk";
    const std::wstring link = desktop + L"\\" + name;
    TestFolder folder(L"shortcut");
    const std::wstring first = folder.Path() + L"first.exe";
    const std::wstring second = folder.Path() + L"second.exe";
    ASSERT_TRUE(WriteFileBytes(first.c_str(), "x"));
    ASSERT_TRUE(WriteFileBytes(second.c_str(), "x"));

    CreateDesktopShortcut(first, name);
    EXPECT_TRUE(SamePathText(first, ReadShortcutTarget(link))) << ReadShortcutTarget(link);
    CreateDesktopShortcut(second, name);
    EXPECT_TRUE(SamePathText(second, ReadShortcutTarget(link))) << ReadShortcutTarget(link);
    ::DeleteFileW(link.c_str());
}
