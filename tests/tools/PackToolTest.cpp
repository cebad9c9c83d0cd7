// The package tool: what it publishes unpacks to exactly its input, and what the launcher could
// not install is refused before anything is published.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "../resources/UpdateHarness.h"
#include "ConfigLine.h"
#include "FilePipeline.h"
#include "PackOptions.h"
#include "PublishableName.h"
#include "ReleaseRecords.h"
#include "SourceStamps.h"
#include "app/Crypto.h"
#include "app/TextFormat.h"
#include "resources/GunzipFile.h"
#include "resources/ManifestText.h"

using namespace update_harness;
using testing_tree::RandomBytes;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

namespace {

int Pack(const std::wstring& arguments) {
    return RunProgram(L"OmbrixPack.exe", arguments);
}

std::wstring Quote(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

bool IsEmptyFolder(const std::wstring& dir) {
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::wstring entry = data.cFileName;
        if (entry != L"." && entry != L"..") empty = false;
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
    return empty;
}

}  // namespace

TEST(PackTool, PublishedTreeUnpacksToExactlyTheInput) {
    TempFolder work;
    Files game;
    for (int i = 0; i < 9; ++i) {
        game[L"d\\f" + std::to_wstring(i) + L".bin"] =
            RandomBytes(300000, static_cast<unsigned>(i));
    }
    game[L"big.bin"] = RandomBytes(1300000, 50);
    game[L"empty.txt"] = "";
    game[L"\u89D2\u8272\\a b.txt"] = std::string(10000, 'z');
    game[L"B.bin"] = "upper case before lower";
    game[L"a.bin"] = "lower case after upper";
    Files launcher;
    launcher[L"launcher.exe"] = "MZ launcher";
    WriteTree(work.path() + L"game\\", game);
    WriteTree(work.path() + L"launcher\\", launcher);
    ASSERT_EQ(0, Pack(L"--game " + Quote(work.path() + L"game") + L" --launcher " +
                      Quote(work.path() + L"launcher") + L" --out " + Quote(work.path() + L"out") +
                      L" --package-mib 1"));

    std::string body = Read(work.path() + L"out\\config\\resources.txt");
    ResoureConfigList list;
    ASSERT_TRUE(ParseManifestText(Utf8ToTextExact(body), &list));
    ASSERT_EQ(game.size() + launcher.size(), list.size());
    std::map<std::wstring, int64_t> packageEnds;  // offsets run back to back per package
    for (const ResoureConfigInfo& info : list) {
        const bool isLauncher = IsLauncherCategory(info.category);
        const Files& source = isLauncher ? launcher : game;
        ASSERT_EQ(1u, source.count(info.name)) << info.name.size();
        const std::string& content = source.at(info.name);
        EXPECT_EQ(BytesToHex(Md5Digest(content)), std::string(info.md5.begin(), info.md5.end()));
        EXPECT_EQ(32u, info.md5.size());
        EXPECT_EQ(0u, info.packageDir.find(L"pkg/"));

        const std::string package = Read(work.path() + L"out\\" + info.packageDir.substr(0, 3) +
                                         L"\\" + info.packageDir.substr(4) + L"\\qz_game.qzpkg");
        EXPECT_EQ(packageEnds[info.packageDir], info.offset);
        packageEnds[info.packageDir] = info.offset + info.length;
        ASSERT_LE(static_cast<size_t>(info.offset + info.length), package.size());
        Write(work.path() + L"range.gz",
              package.substr(static_cast<size_t>(info.offset), static_cast<size_t>(info.length)));
        ASSERT_TRUE(GunzipFile(work.path() + L"range.gz", work.path() + L"range.out"));
        EXPECT_TRUE(Read(work.path() + L"range.out") == content);
    }
    // The game's files first, then the launcher's, each in ordinal order of the names.
    std::vector<std::wstring> expected;
    for (const Files* set : {&game, &launcher}) {
        for (const auto& file : *set) expected.push_back(file.first);
    }
    std::vector<std::wstring> names;
    for (const ResoureConfigInfo& info : list) names.push_back(info.name);
    EXPECT_EQ(expected, names);
    // Packages close before they pass 1 MiB, unless one file alone is larger.
    EXPECT_GE(packageEnds.size(), 3u);
    for (const auto& end : packageEnds) {
        const bool single =
            end.second > 1048576 &&
            std::count_if(list.begin(), list.end(), [&end](const ResoureConfigInfo& info) {
                return info.packageDir == end.first;
            }) == 1;
        EXPECT_TRUE(end.second <= 1048576 || single);
    }
}

TEST(PackTool, RefusesWhatTheLauncherCouldNotInstall) {
    TempFolder work;
    const std::wstring game = work.path() + L"game\\";
    Write(game + L"a.dat", "a");

    // An output folder that is not empty.
    Write(work.path() + L"full\\other.txt", "x");
    EXPECT_NE(0, Pack(L"--game " + Quote(game) + L" --out " + Quote(work.path() + L"full")));
    EXPECT_FALSE(FileExists(work.path() + L"full\\config\\resources.txt"));

    // Output inside the input, a missing input, bad options.
    EXPECT_NE(0, Pack(L"--game " + Quote(game) + L" --out " + Quote(game + L"out")));
    EXPECT_NE(0, Pack(L"--game " + Quote(work.path() + L"nope") + L" --out " +
                      Quote(work.path() + L"o1")));
    EXPECT_NE(0, Pack(L"--game " + Quote(game)));
    EXPECT_NE(0, Pack(L"--game " + Quote(game) + L" --out " + Quote(work.path() + L"o2") +
                      L" --package-mib 0"));

    // Names the launcher would refuse or a configuration line could not carry.
    const std::vector<std::wstring> badNames = {L"x=y.dat", L"\u0E01.dat", L"x.dat.t",
                                                L"X.DAT.T\\z.dat"};
    for (const std::wstring& bad : badNames) {
        TempFolder tree;
        Write(tree.path() + L"x.dat", "x");
        Write(tree.path() + bad, "bad");
        const std::wstring out = work.path() + L"bad-out\\";
        EXPECT_NE(0, Pack(L"--game " + Quote(tree.path()) + L" --out " + Quote(out)));
        EXPECT_TRUE(IsEmptyFolder(out));
    }
    TempFolder launcher;
    Write(launcher.path() + L"version.txt", "v");
    EXPECT_NE(0, Pack(L"--game " + Quote(game) + L" --launcher " + Quote(launcher.path()) +
                      L" --out " + Quote(work.path() + L"o3")));

    // An input file that cannot be read: nothing is published.
    {
        ombrix::ScopedFileHandle locked(::CreateFileW((game + L"a.dat").c_str(), GENERIC_READ, 0,
                                                      nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(locked.IsValid());
        EXPECT_NE(0, Pack(L"--game " + Quote(game) + L" --out " + Quote(work.path() + L"o4")));
    }
    EXPECT_TRUE(IsEmptyFolder(work.path() + L"o4\\"));
}

TEST(FilePipeline, HandsEveryResultOverInOrderPastItsWindow) {
    TempFolder work;
    // The read buffer starts small and grows: a file filling it exactly, one past it.
    const std::vector<std::string> contents = {"one", std::string(5000, 'x'), "",
                                               RandomBytes(65536, 1), RandomBytes(300001, 2)};
    const size_t kinds = contents.size();
    for (size_t k = 0; k < kinds; ++k) Write(work.path() + std::to_wstring(k), contents[k]);
    const auto pathOf = [&](size_t i) { return work.path() + std::to_wstring(i % kinds); };
    const auto isKnown = [](const FileDigest& digest) {
        return digest.size == 3 || digest.size > 5000;
    };
    const size_t count = 3000;  // many more files than results may wait to be taken
    size_t next = 0;
    bool right = true;
    EXPECT_TRUE(RunFilePipeline(count, pathOf, 2, isKnown, [&](size_t i, PreparedFile* file) {
        const std::string& content = contents[i % kinds];
        right = right && i == next++ && file->error.empty() && file->whole &&
                file->digest.size == static_cast<int64_t>(content.size()) &&
                file->digest.md5 == Md5Digest(content) &&
                file->known == (content.size() == 3 || content.size() > 5000) &&
                file->gz.empty() == file->known;
        return true;
    }));
    EXPECT_TRUE(right);
    EXPECT_EQ(count, next);
    // A taker that refuses ends the run there.
    next = 0;
    EXPECT_FALSE(RunFilePipeline(count, pathOf, 2, isKnown,
                                 [&next](size_t, PreparedFile*) { return ++next < 1500; }));
    EXPECT_EQ(1500u, next);
}

// New content is found again by its size and MD5 in the release's open table, also after the
// table has grown many times; content of another size is not the same content.
TEST(ReleaseRecords, FindsEachContentItIndexed) {
    const uint32_t count = 5000;
    ReleaseRecords records(count);
    const auto entryOf = [](uint32_t k) {
        PackedEntry entry;
        entry.packageDir = k % 2 ? L"pkg/0002" : L"pkg/0001";
        entry.offset = int64_t(k) << 20;
        entry.length = static_cast<int32_t>(k + 1);
        entry.md5 = Md5Digest(std::to_string(k / 2));  // pairs share a digest, not a size
        entry.inputSize = k;
        if (k % 3 != 0) entry.sha256 = std::string(32, static_cast<char>(k));
        return entry;
    };
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t found = 0;
        ASSERT_FALSE(records.FindContent(k, entryOf(k).md5, &found)) << k;
        ASSERT_EQ(k, records.AddPlacement(entryOf(k)));
        records.AddContent(k);
    }
    for (uint32_t k = 0; k < count; ++k) {
        const PackedEntry expected = entryOf(k);
        uint32_t found = count;
        ASSERT_TRUE(records.FindContent(k, expected.md5, &found)) << k;
        ASSERT_EQ(k, found);
        EXPECT_FALSE(records.FindContent(int64_t(k) + count, expected.md5, &found)) << k;
        const PackedEntry entry = records.EntryOf(k);
        ASSERT_TRUE(entry.packageDir == expected.packageDir && entry.offset == expected.offset &&
                    entry.length == expected.length && entry.md5 == expected.md5 &&
                    entry.inputSize == expected.inputSize && entry.sha256 == expected.sha256)
            << k;
    }
}

// The stamps are read a piece at a time: whatever the piece size, every whole line is read (one
// cut by a piece's end, one past the ASCII range, the last one without its line end) and a
// damaged line is skipped.
TEST(SourceStamps, ReadsEveryWholeLineAtAnyPieceSize) {
    struct Row {
        bool launcher;
        std::wstring name;
        int64_t size;
        uint64_t time;
        std::string md5;
    };
    const std::string a = BytesToHex(Md5Digest("a"));
    const std::string b = BytesToHex(Md5Digest("b"));
    const std::vector<Row> rows = {{false, L"a.dat", 5, 7, a},
                                   {false, L"\u89D2\\d.dat", 12, 133444555666777888ull, b},
                                   {true, L"e.exe", 0, 1, a}};
    TempFolder work;
    Write(work.path() + kSourceStampsName,
          "game=a.dat=5=7=" + a + "\r\ngame=b.dat=x=7=" + a + "\r\nother=c.dat=5=7=" + a +
              "\r\ngame=d.dat=5=7=" + a.substr(1) +
              "\r\ngame=\xE8\xA7\x92\\d.dat=12=133444555666777888=" + b +
              "\r\nlauncher=e.exe=0=1=" + a);
    for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(64), size_t(1) << 20}) {
        const SourceStamps stamps = ReadSourceStamps(work.path(), piece);
        ASSERT_EQ(rows.size(), stamps.Size()) << piece;
        for (size_t k = 0; k < rows.size(); ++k) {
            EXPECT_TRUE(stamps.IsLauncher(k) == rows[k].launcher &&
                        stamps.Name(k) == rows[k].name && stamps.FileSize(k) == rows[k].size &&
                        stamps.WriteTime(k) == rows[k].time &&
                        BytesToHex(stamps.Md5(k)) == rows[k].md5)
                << piece << " " << k;
        }
    }
    EXPECT_EQ(0u, ReadSourceStamps(work.path() + L"missing\\").Size());
}

TEST(PackOptions, ParsesAndRefuses) {
    PackOptions options;
    std::wstring error;
    ASSERT_TRUE(ParsePackOptions({L"--game", L"g", L"--out", L"o", L"--launcher", L"l",
                                  L"--package-mib", L"12", L"--chunk-mib", L"3", L"--chunk-only"},
                                 &options, &error));
    EXPECT_EQ(L"g", options.gameDir);
    EXPECT_EQ(L"l", options.launcherDir);
    EXPECT_EQ(L"o", options.outDir);
    EXPECT_EQ(12, options.packageMiB);
    EXPECT_EQ(3, options.chunkMiB);
    EXPECT_TRUE(options.chunkOnly);
    PackOptions signing;
    ASSERT_TRUE(ParsePackOptions({L"--cdn", L"t", L"--notice", L"n", L"--release", L"r", L"--key",
                                  L"k", L"--expires-days", L"30"},
                                 &signing, &error));
    EXPECT_EQ(L"k", signing.key);
    EXPECT_EQ(30, signing.expiresDays);
    ASSERT_TRUE(ParsePackOptions({L"--new-key", L"k"}, &signing, &error));
    EXPECT_EQ(PackMode::NewKey, signing.mode);
    for (const std::vector<std::wstring>& bad : std::vector<std::vector<std::wstring>>{
             {L"--new-key", L"k", L"--cdn", L"t"},
             {L"--game", L"g", L"--out", L"o", L"--expires-days", L"3"},  // without --key
             {L"--game", L"g", L"--out", L"o", L"--key", L"k", L"--expires-days", L"0"},
             {L"--cdn", L"t", L"--prune", L"--keep", L"1", L"--key", L"k"},
             {L"--game", L"g"},
             {L"--game", L"g", L"--out"},
             {L"--game", L"g", L"--out", L"o", L"--x", L"1"},
             {L"--game", L"g", L"--game", L"h", L"--out", L"o"},
             {L"--game", L"g", L"--out", L"o", L"--package-mib", L"2048"},
             {L"--game", L"g", L"--out", L"o", L"--chunk-mib", L"0"},
             {L"--cdn", L"t", L"--prune", L"--keep", L"1", L"--chunk-only"}}) {
        PackOptions other;
        EXPECT_FALSE(ParsePackOptions(bad, &other, &error));
        EXPECT_FALSE(error.empty());
    }
}

TEST(PublishableName, ChecksSingleNamesAndSets) {
    std::wstring reason;
    EXPECT_TRUE(IsPublishableName(L"d\\\u89D2\u8272.dat", false, &reason));
    EXPECT_TRUE(IsPublishableName(L"game.dat", true, &reason));
    for (const wchar_t* bad : {L"a=b", L" a", L"a ", L"..\\a", L"a/b", L"\u0E01", L"d.\\a"}) {
        EXPECT_FALSE(IsPublishableName(bad, false, &reason)) << bad;
    }
    for (const wchar_t* bad : {L"VERSION.txt", L"launcher.tmp", L"game\\x.dat"}) {
        EXPECT_FALSE(IsPublishableName(bad, true, &reason)) << bad;
        EXPECT_TRUE(IsPublishableName(bad, false, &reason)) << bad;
    }
    std::wstring error;
    EXPECT_FALSE(CheckPublishableSet({{L"A.dat", L"p1"}, {L"a.DAT", L"p2"}}, false, &error));
    EXPECT_FALSE(CheckPublishableSet({{L"a.dat", L"p1"}, {L"a.dat.t", L"p2"}}, false, &error));
    EXPECT_TRUE(CheckPublishableSet({{L"a.dat", L"p1"}, {L"b.dat.t", L"p2"}}, false, &error));
    for (const auto& pair :
         {std::make_pair(L"\u0160.dat", L"\u0161.dat"), std::make_pair(L"\u0152", L"\u0153"),
          std::make_pair(L"\u017D", L"\u017E"), std::make_pair(L"\u0178", L"\u00FF"),
          std::make_pair(L"\u2160", L"\u2170"), std::make_pair(L"a", L"A\\b")}) {
        EXPECT_FALSE(
            CheckPublishableSet({{pair.first, L"p1"}, {pair.second, L"p2"}}, false, &error))
            << pair.second;
    }
    EXPECT_FALSE(CheckPublishableSet({{L"version.txt.new", L"p1"}}, true, &error));
    EXPECT_FALSE(CheckPublishableSet({{L"Game", L"p1"}}, true, &error));
    // More names than one slice of folding holds: the last meets the first.
    std::vector<SourceFile> many;
    for (int i = 0; i < 10000; ++i) many.push_back({L"d\\f" + std::to_wstring(i) + L".dat", L"p"});
    EXPECT_TRUE(CheckPublishableSet(many, false, &error));
    many.push_back({L"D\\F0.DAT", L"p"});
    EXPECT_FALSE(CheckPublishableSet(many, false, &error));

    PackedEntry entry;
    entry.packageDir = L"pkg/0002";
    entry.offset = 4096;
    entry.length = 5321;
    entry.md5 = std::string(16, '\x01');
    entry.sha256 = std::string(32, '\x02');
    std::wstring sha;
    for (int i = 0; i < 32; ++i) sha += L"02";
    EXPECT_EQ(L"a\\b=01010101010101010101010101010101=pkg/0002=4096=5321=launcher=" + sha + L"\r\n",
              FormatConfigLine(L"a\\b", entry, true));
    EXPECT_EQ(L"a=01010101010101010101010101010101=pkg/0002=4096=5321=game=" + sha + L"\r\n",
              FormatConfigLine(L"a", entry, false));
}
