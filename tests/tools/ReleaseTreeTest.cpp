// Releases in one tree, without a server: what is refused leaves the tree as it was (also
// while another run holds the tree), package numbers are never used twice, a cleanup takes
// only what no kept release names and never what the notice answer serves or the tool does not
// understand, and the notice answer names a release.
#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "PackHarness.h"
#include "PackOptions.h"
#include "TreeLock.h"
#include "app/Crypto.h"
#include "app/TextFormat.h"

using namespace pack_harness;
using testing_tree::RandomBytes;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;
using update_harness::Files;

namespace {

Files SmallGame(unsigned seed) {
    return {{L"a.dat", RandomBytes(5000, seed)},
            {L"b.dat", RandomBytes(7000, 2)},
            {L"d\\c.dat", std::string(3000, 'c')}};
}

std::vector<std::wstring> Names(const Files& files) {
    std::vector<std::wstring> names;
    for (const auto& file : files) names.push_back(file.first);
    return names;
}

void Replace(const std::wstring& path, const std::string& from, const std::string& to) {
    std::string text = Read(path);
    const size_t at = text.find(from);
    ASSERT_NE(std::string::npos, at);
    text.replace(at, from.size(), to);
    ASSERT_TRUE(Write(path, text));
}

}  // namespace

TEST(PackReleases, RefusalsLeaveTheTreeAsItWas) {
    TempFolder work;
    const std::wstring tree = work.path() + L"tree\\";
    const std::wstring config = tree + L"config\\r1.txt";
    const std::wstring package = tree + L"pkg\\0001\\qz_game.qzpkg";
    const std::wstring publish2 =
        L"--game " + Quote(work.path() + L"game") + L" --cdn " + Quote(tree) + L" --release r2";
    const std::wstring prune = L"--cdn " + Quote(tree) + L" --prune --keep 1";
    const std::wstring notice = work.path() + L"notice.json";
    const std::function<void()> none = [] {};
    const std::function<void()> missing = [&] { ::DeleteFileW(package.c_str()); };
    const std::function<void()> longer = [&] { Write(package, Read(package) + "x"); };
    const std::function<void()> otherPackage = [&] { Replace(config, "pkg/0001", "pkg/0009"); };
    const std::function<void()> otherDigest = [&] { Replace(config, "=", "=0"); };
    const std::function<void()> opaque = [&] { Replace(config, "\r\n", "\r\n \r\n"); };
    const std::function<void()> badRecord = [&] { Write(tree + L"notice-record.txt", "r1\r\n"); };
    std::unique_ptr<TreeLock> holder;  // another run holding the tree
    const std::function<void()> held = [&] {
        holder.reset(new TreeLock);
        std::wstring error;
        ASSERT_TRUE(holder->Acquire(tree, L"publish r7", &error)) << TextToNarrow(error);
    };
    const struct {
        const char* what;
        const std::function<void()>& damage;
        std::wstring arguments;
    } cases[] = {
        {"release exists", none,
         L"--game " + Quote(work.path() + L"game") + L" --cdn " + Quote(tree) + L" --release r1"},
        {"release name", none,
         L"--game " + Quote(work.path() + L"game") + L" --cdn " + Quote(tree) +
             L" --release ..\\r2"},
        {"missing package", missing, publish2},
        {"missing package, cleanup", missing, prune},
        {"longer package", longer, publish2},
        {"longer package, cleanup", longer, prune},
        {"unknown package", otherPackage, publish2},
        {"other digest", otherDigest, prune},
        {"other digest, notice", otherDigest,
         L"--cdn " + Quote(tree) + L" --notice " + Quote(notice) +
             L" --release r1 --url http://h/"},
        {"unknown release, notice", none,
         L"--cdn " + Quote(tree) + L" --notice " + Quote(notice) +
             L" --release r9 --url http://h/"},
        {"no address, notice", none,
         L"--cdn " + Quote(tree) + L" --notice " + Quote(notice) + L" --release r1"},
        {"configuration not understood, notice", opaque,
         L"--cdn " + Quote(tree) + L" --notice " + Quote(notice) +
             L" --release r1 --url http://h/"},
        {"unreadable notice record, cleanup", badRecord, prune},
        {"held, publish", held, publish2},
        {"held, cleanup", held, prune},
        {"held, notice", held,
         L"--cdn " + Quote(tree) + L" --notice " + Quote(notice) +
             L" --release r1 --url http://h/"},
    };
    update_harness::WriteTree(work.path() + L"game\\", SmallGame(1));
    ASSERT_EQ(0, PublishRelease(tree, L"r1", SmallGame(1)));
    // A second release, so that a cleanup keeping one would have work.
    ASSERT_EQ(0, PublishRelease(tree, L"r0", SmallGame(3)));
    const Files pristine = Snapshot(tree);
    for (const auto& c : cases) {
        holder.reset();
        testing_tree::RemoveTree(tree);
        update_harness::WriteTree(tree, pristine);
        c.damage();
        const Files before = Snapshot(tree);
        EXPECT_EQ(1, Pack(c.arguments)) << c.what;
        EXPECT_TRUE(before == Snapshot(tree)) << c.what;
        EXPECT_FALSE(FileExists(notice)) << c.what;
    }
}

TEST(PackReleases, NumbersAreNeverUsedTwiceAndCleanupTakesWhatNoReleaseNames) {
    TempFolder work;
    const std::wstring tree = work.path() + L"tree\\";
    const Files r1 = SmallGame(1);
    ASSERT_EQ(0, PublishRelease(tree, L"r1", r1));
    // What an interrupted publish leaves: a package without contents list, named by nothing.
    ASSERT_TRUE(Write(tree + L"pkg\\0002\\qz_game.qzpkg", "partial"));
    Files r2 = r1;
    r2[L"a.dat"] = RandomBytes(5000, 9);
    ASSERT_EQ(0, PublishRelease(tree, L"r2", r2));
    const Files afterR2 = Snapshot(tree);
    EXPECT_EQ(1u, afterR2.count(L"pkg\\0003\\qz_game.qzpkg"));
    // b.dat and d\c.dat keep their ranges in pkg/0001; only a.dat went into a new package.
    const std::string config2 = afterR2.at(L"config\\r2.txt");
    EXPECT_NE(std::string::npos, config2.find("=pkg/0003=0="));
    for (const char* kept : {"b.dat=", "d\\c.dat="}) {
        const std::string line1 = afterR2.at(L"config\\r1.txt");
        const size_t at1 = line1.find(kept);
        const size_t at2 = config2.find(kept);
        ASSERT_NE(std::string::npos, at2);
        EXPECT_EQ(line1.substr(at1, line1.find("\r\n", at1) - at1),
                  config2.substr(at2, config2.find("\r\n", at2) - at2));
    }

    // Keeping r2: r1's configuration and the leftover go, pkg/0001 stays (r2 names it).
    ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --prune --keep 1"));
    EXPECT_EQ((std::vector<std::wstring>{L"config\\r2.txt", L"pkg\\0001\\contents.txt",
                                         L"pkg\\0001\\qz_game.qzpkg", L"pkg\\0003\\contents.txt",
                                         L"pkg\\0003\\qz_game.qzpkg", L"releases.txt",
                                         L"source-stamps.txt"}),
              Names(Snapshot(tree)));
    // The numbers of deleted packages are not given out again.
    ASSERT_EQ(0, PublishRelease(tree, L"r3", {{L"z.dat", RandomBytes(100, 77)}}));
    ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --prune --keep 1"));
    EXPECT_EQ((std::vector<std::wstring>{L"config\\r3.txt", L"pkg\\0004\\contents.txt",
                                         L"pkg\\0004\\qz_game.qzpkg", L"releases.txt",
                                         L"source-stamps.txt"}),
              Names(Snapshot(tree)));
    const std::string record = Read(tree + L"releases.txt");
    EXPECT_EQ(0u, record.find("packages=0004\r\nrelease=r3="));
    EXPECT_EQ(std::string::npos, record.find("r2"));
}

// Holds the tree named by OMBRIX_TEST_HOLD_TREE until it is killed: the other process of the
// test below (skipped when run on its own).
TEST(PackReleases, HolderProcess) {
    const std::wstring tree = update_harness::Env(L"OMBRIX_TEST_HOLD_TREE");
    if (tree.empty()) GTEST_SKIP() << "started by LockOfAnEndedRunIsTakenOver";
    TreeLock lock;
    std::wstring error;
    ASSERT_TRUE(lock.Acquire(tree, L"holder", &error));
    ::Sleep(60000);
}

TEST(PackReleases, LockOfAnEndedRunIsTakenOver) {
    TempFolder work;
    const std::wstring tree = work.path() + L"tree\\";
    const std::wstring lockFile = tree + L"tree.lock";
    const std::wstring prune = L"--cdn " + Quote(tree) + L" --prune --keep 2";
    ASSERT_EQ(0, PublishRelease(tree, L"r1", SmallGame(1)));
    // The file of a run that could not remove it (the machine stopped): nobody holds it.
    ASSERT_TRUE(Write(lockFile, "process=4\r\nsince=2026-01-01T00:00:00Z\r\nrun=publish r9\r\n"));
    EXPECT_EQ(0, Pack(prune));
    EXPECT_FALSE(FileExists(lockFile));

    // A run killed while it holds the tree: refused while it runs, taken over once it is gone.
    ::SetEnvironmentVariableW(L"OMBRIX_TEST_HOLD_TREE", tree.c_str());
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command =
        L"\"" + std::wstring(self) + L"\" --gtest_filter=PackReleases.HolderProcess";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const BOOL started = ::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &process);
    ::SetEnvironmentVariableW(L"OMBRIX_TEST_HOLD_TREE", nullptr);
    ASSERT_TRUE(started);
    ombrix::ScopedKernelHandle child(process.hProcess);
    ombrix::ScopedKernelHandle thread(process.hThread);
    bool holding = false;  // the holder wrote who it is into the lock file
    for (int i = 0; i < 300 && !holding; ++i) {
        ombrix::ScopedFileHandle file(::CreateFileW(
            lockFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, 0, nullptr));
        char text[256] = {};
        DWORD got = 0;
        holding = file && ::ReadFile(file.Get(), text, sizeof(text) - 1, &got, nullptr) &&
                  std::string(text).find("run=holder") != std::string::npos;
        if (!holding) ::Sleep(100);
    }
    EXPECT_TRUE(holding);
    EXPECT_EQ(1, Pack(prune));
    ::TerminateProcess(child.Get(), 9);
    ::WaitForSingleObject(child.Get(), 10000);
    EXPECT_EQ(0, Pack(prune));
    EXPECT_FALSE(FileExists(lockFile));
}

TEST(PackReleases, WhatTheToolDoesNotUnderstandNeitherBlocksNorGoes) {
    TempFolder work;
    const std::wstring tree = work.path() + L"tree\\";
    ASSERT_EQ(0, PublishRelease(tree, L"r1", SmallGame(1)));               // pkg/0001
    ASSERT_EQ(0, PublishRelease(tree, L"r2", {{L"z.dat", "z release"}}));  // pkg/0002
    const Files pristine = Snapshot(tree);
    const std::string r1 = pristine.at(L"config\\r1.txt");
    const struct {
        const char* what;
        std::wstring file;  // written into the tree before
        std::string content;
        std::vector<std::wstring> kept;  // after a publish of r3 and a cleanup keeping 1
        std::vector<std::wstring> gone;
        const wchar_t* served;  // the release the notice answer names before the cleanup
    } cases[] = {
        {"upper-case configuration",
         L"config\\HAND.TXT",
         r1,
         {L"config\\HAND.TXT", L"pkg\\0001\\qz_game.qzpkg"},
         {L"config\\r1.txt", L"pkg\\0002\\qz_game.qzpkg"},
         L"HAND"},
        {"recorded configuration the launcher stops reading",
         L"config\\r1.txt",
         r1.substr(0, r1.find("\r\n") + 2) + " \r\n" + r1.substr(r1.find("\r\n") + 2),
         {L"config\\r1.txt", L"pkg\\0001\\qz_game.qzpkg"},
         {L"config\\r2.txt", L"pkg\\0002\\qz_game.qzpkg"},
         nullptr},
        {"configuration that is not UTF-8",
         L"config\\odd.txt",
         r1 + "\xFF\xFE=x\r\n",
         {L"config\\odd.txt", L"pkg\\0001\\qz_game.qzpkg"},
         {L"config\\r1.txt", L"config\\r2.txt"},
         nullptr},
        {"leftover package with a damaged contents list",
         L"pkg\\0009\\contents.txt",
         "x=1",
         {L"pkg\\0010\\qz_game.qzpkg"},
         {L"pkg\\0009\\contents.txt", L"pkg\\0001\\qz_game.qzpkg"},
         nullptr},
    };
    for (const auto& c : cases) {
        testing_tree::RemoveTree(tree);
        update_harness::WriteTree(tree, pristine);
        ASSERT_TRUE(Write(tree + c.file, c.content));
        if (c.file.find(L"pkg") == 0) Write(tree + L"pkg\\0009\\qz_game.qzpkg", "partial");
        EXPECT_EQ(0, PublishRelease(tree, L"r3", {{L"y.dat", "y release"}})) << c.what;
        if (c.served != nullptr) {
            const std::wstring answer = work.path() + L"notice.json";
            ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --notice " + Quote(answer) +
                              L" --release " + c.served + L" --url http://h/"));
            EXPECT_NE(std::string::npos, Read(answer).find("/config/HAND.TXT\""));
        }
        EXPECT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --prune --keep 1")) << c.what;
        EXPECT_TRUE(FileExists(tree + L"config\\r3.txt")) << c.what;
        for (const std::wstring& path : c.kept) EXPECT_TRUE(FileExists(tree + path)) << c.what;
        for (const std::wstring& path : c.gone) EXPECT_FALSE(FileExists(tree + path)) << c.what;
    }
}

TEST(PackReleases, UnchangedFilesAreTakenByTheirStampsUnlessRehashed) {
    TempFolder work;
    const std::wstring game = work.path() + L"game\\";
    const std::wstring tree = work.path() + L"tree\\";
    update_harness::WriteTree(game, SmallGame(1));
    const std::wstring publish =
        L"--game " + Quote(game) + L" --cdn " + Quote(tree) + L" --release ";
    ASSERT_EQ(0, Pack(publish + L"r1"));
    // b.dat: other bytes of the same size, with its write time set back.
    {
        ombrix::ScopedFileHandle b(::CreateFileW((game + L"b.dat").c_str(),
                                                 GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
        FILETIME written;
        ASSERT_TRUE(::GetFileTime(b.Get(), nullptr, nullptr, &written));
        const std::string other = RandomBytes(7000, 8);
        DWORD n = 0;
        ASSERT_TRUE(::WriteFile(b.Get(), other.data(), 7000, &n, nullptr));
        ASSERT_TRUE(::SetFileTime(b.Get(), nullptr, nullptr, &written));
    }
    {
        // While d\c.dat cannot be opened, only a publish that does not read it succeeds.
        ombrix::ScopedFileHandle locked(::CreateFileW((game + L"d\\c.dat").c_str(), GENERIC_READ, 0,
                                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked.IsValid());
        EXPECT_EQ(0, Pack(publish + L"r2"));
        EXPECT_EQ(1, Pack(publish + L"r3 --rehash"));
    }
    EXPECT_EQ(Read(tree + L"config\\r1.txt"), Read(tree + L"config\\r2.txt"));
    ASSERT_EQ(0, Pack(publish + L"r3 --rehash"));
    EXPECT_NE(std::string::npos,
              Read(tree + L"config\\r3.txt")
                  .find("b.dat=" + BytesToHex(Md5Digest(Read(game + L"b.dat")))));
}

TEST(PackReleases, NoticeAnswerNamesTheReleaseAndSwitchesBack) {
    TempFolder work;
    const std::wstring tree = work.path() + L"tree\\";
    const std::wstring file = work.path() + L"notice.json";
    ASSERT_EQ(0, PublishRelease(tree, L"r1", SmallGame(1)));
    ASSERT_EQ(0, PublishRelease(tree, L"r2", SmallGame(2)));
    const std::wstring notice = L"--cdn " + Quote(tree) + L" --notice " + Quote(file);
    const struct {
        std::wstring arguments;
        const char* url;
        const char* code;
    } steps[] = {
        {L" --release r2 --url http://127.0.0.1:81/game --code-list \"cdn-a|cdn-b\"",
         "http://127.0.0.1:81/game/config/r2.txt", "cdn-a|cdn-b"},
        {L" --release r1", "http://127.0.0.1:81/game/config/r1.txt", "cdn-a|cdn-b"},
        {L" --release r2 --code-list \"\"", "http://127.0.0.1:81/game/config/r2.txt", ""},
        {L" --release r1", "http://127.0.0.1:81/game/config/r1.txt", ""},
    };
    for (const auto& step : steps) {
        ASSERT_EQ(0, Pack(notice + step.arguments));
        Json::Value root;
        ASSERT_TRUE(Json::Reader().parse(Read(file), root));
        EXPECT_EQ(step.url, root["PCPackageURL"].asString());
        EXPECT_EQ(step.code, root["Code"].asString());
    }
    // Players are back on r1: a cleanup keeping the newest release keeps r1 as well, whole.
    const std::string record = Read(tree + L"notice-record.txt");
    EXPECT_EQ(0u, record.find("served=r1="));
    EXPECT_EQ(1u, std::count(record.begin(), record.end(), '\n'));
    ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --prune --keep 1"));
    EXPECT_TRUE(FileExists(tree + L"config\\r1.txt"));
    EXPECT_TRUE(FileExists(tree + L"config\\r2.txt"));
    const std::wstring againR1 = L"--game " + Quote(work.path() + L"g") + L" --cdn " + Quote(tree);
    update_harness::WriteTree(work.path() + L"g\\", SmallGame(1));
    ASSERT_EQ(0, Pack(againR1 + L" --release r3"));  // the tree loads: r1's packages are whole
    EXPECT_EQ(Read(tree + L"config\\r1.txt"), Read(tree + L"config\\r3.txt"));
}

TEST(PackReleases, OptionFormsAndDigests) {
    const struct {
        std::vector<std::wstring> args;
        bool ok;
        PackMode mode;
    } forms[] = {
        {{L"--game", L"g", L"--cdn", L"t", L"--release", L"r"}, true, PackMode::Publish},
        {{L"--cdn", L"t", L"--prune", L"--keep", L"2"}, true, PackMode::Prune},
        {{L"--cdn", L"t", L"--notice", L"f", L"--release", L"r", L"--code-list", L""},
         true,
         PackMode::Notice},
        {{L"--game", L"g", L"--cdn", L"t"}, false, PackMode::Publish},
        {{L"--game", L"g", L"--out", L"o", L"--release", L"r"}, false, PackMode::Publish},
        {{L"--game", L"g", L"--out", L"o", L"--cdn", L"t", L"--release", L"r"},
         false,
         PackMode::Publish},
        {{L"--cdn", L"t", L"--prune", L"--keep", L"0"}, false, PackMode::Prune},
        {{L"--cdn", L"t", L"--prune"}, false, PackMode::Prune},
        {{L"--cdn", L"t", L"--prune", L"--keep", L"1", L"--release", L"r"}, false, PackMode::Prune},
        {{L"--cdn", L"t", L"--notice", L"f"}, false, PackMode::Notice},
    };
    for (const auto& form : forms) {
        PackOptions options;
        std::wstring error;
        EXPECT_EQ(form.ok, ParsePackOptions(form.args, &options, &error)) << form.args.size();
        EXPECT_TRUE(!form.ok || form.mode == options.mode);
    }
}
