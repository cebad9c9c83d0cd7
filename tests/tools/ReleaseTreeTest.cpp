// Releases in one tree, without a server: what is refused leaves the tree as it was, package
// numbers are never used twice, a cleanup takes only what no kept release names, and the
// notice answer names a release.
#include <gtest/gtest.h>
#include <json/json.h>

#include <functional>

#include "PackHarness.h"
#include "PackOptions.h"
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
    };
    update_harness::WriteTree(work.path() + L"game\\", SmallGame(1));
    ASSERT_EQ(0, PublishRelease(tree, L"r1", SmallGame(1)));
    // A second release, so that a cleanup keeping one would have work.
    ASSERT_EQ(0, PublishRelease(tree, L"r0", SmallGame(3)));
    const Files pristine = Snapshot(tree);
    for (const auto& c : cases) {
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
    };
    for (const auto& step : steps) {
        ASSERT_EQ(0, Pack(notice + step.arguments));
        Json::Value root;
        ASSERT_TRUE(Json::Reader().parse(Read(file), root));
        EXPECT_EQ(step.url, root["PCPackageURL"].asString());
        EXPECT_EQ(step.code, root["Code"].asString());
    }
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
