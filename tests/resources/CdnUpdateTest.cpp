// Whole updates through the resource manager against a real CDN (nginx on 127.0.0.1) serving
// what the package tool published.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "UpdateHarness.h"
#include "app/TextConvert.h"
#include "download/DownloadPauses.h"
#include "resources/ManifestText.h"
#include "resources/ResourceHash.h"

using namespace update_harness;
using testing_tree::RandomBytes;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

namespace {

class CdnUpdate : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Env(L"OMBRIX_TEST_CDN_URL").empty()) GTEST_SKIP() << "run through run-with-cdn.sh";
    }
    // Retries of failed ranges follow each other without the product's 5 s pause.
    ScopedDownloadPauses pauses_{5, 0};
};

Files GameFiles() {
    Files files;
    for (int i = 0; i < 24; ++i) {
        files[L"data\\part" + std::to_wstring(i) + L".bin"] =
            RandomBytes(1000 + 37000 * (i % 5), static_cast<unsigned>(i));
    }
    files[L"big.pak"] = RandomBytes(1500000, 99);  // larger than one package
    files[L"empty.txt"] = "";
    files[L"text\\readme.txt"] = std::string(20000, 'r');
    files[L"\u89D2\u8272\\\u5730\u56FE.dat"] = RandomBytes(5000, 77);
    return files;
}

void ExpectInstalled(const std::wstring& dir, const Files& files) {
    for (const auto& file : files) {
        EXPECT_TRUE(Read(dir + file.first) == file.second) << "content of " << file.first.size();
        EXPECT_FALSE(FileExists(dir + file.first + L".t"));
    }
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::vector<int> kConfigStates = {1, 2, 3, 4, 5, 6};

// One update by OmbrixUpdate.exe; its output goes to output. Returns its exit status.
int RunUpdateProgram(const std::wstring& root, const std::wstring& url, const wchar_t* options,
                     std::string* output) {
    const std::wstring outputPath = root + L"update-output.txt";
    // Without its last "\", which would escape the closing quote.
    const std::wstring rootArgument = root.substr(0, root.size() - 1);
    const int code = RunProgram(
        L"OmbrixUpdate.exe",
        L"--root \"" + rootArgument + L"\" --config " + url + L" --retry-pause-ms 5 " + options,
        outputPath);
    *output = Read(outputPath);
    ::DeleteFileW(outputPath.c_str());
    return code;
}

// A figure OmbrixUpdate printed ("files_mended 3" gives 3); -1 when it printed none.
long long Figure(const std::string& output, const std::string& name) {
    const size_t at = output.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::atoll(output.c_str() + at + name.size() + 2);
}

size_t LineCount(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Byte ranges per package, adjacent and overlapping ones joined.
using Ranges = std::map<std::string, std::map<int64_t, int64_t>>;  // package -> first -> last

void AddRange(Ranges* ranges, const std::string& package, int64_t first, int64_t last) {
    std::map<int64_t, int64_t>& spans = (*ranges)[package];
    auto next = spans.upper_bound(first);
    if (next != spans.begin() && std::prev(next)->second + 1 >= first) {
        --next;
        first = next->first;
        last = std::max(last, next->second);
        next = spans.erase(next);
    }
    while (next != spans.end() && next->first <= last + 1) {
        last = std::max(last, next->second);
        next = spans.erase(next);
    }
    spans[first] = last;
}

// The package ranges of tree that the CDN served from log line `from` on.
Ranges FetchedRanges(const std::wstring& tree, size_t from) {
    const std::string log = Read(Env(L"OMBRIX_TEST_CDN_LOG"));
    const std::string prefix = "GET /" + TextToUtf8Exact(tree) + "/";
    Ranges ranges;
    size_t line = 0;
    for (size_t at = 0; at < log.size(); ++line) {
        size_t end = log.find('\n', at);
        if (end == std::string::npos) end = log.size();
        const std::string text = log.substr(at, end - at);
        at = end + 1;
        const size_t get = text.find(prefix);
        const size_t package = text.find("/qz_game.qzpkg");
        const size_t range = text.rfind("\"bytes=");
        if (line < from || get == std::string::npos || package == std::string::npos ||
            range == std::string::npos) {
            continue;
        }
        const long long first = std::atoll(text.c_str() + range + 7);
        const long long last = std::atoll(text.c_str() + text.find('-', range) + 1);
        AddRange(&ranges, text.substr(get + prefix.size(), package - get - prefix.size()), first,
                 last);
    }
    return ranges;
}

// The ranges that hold the named files of tree.
Ranges RangesOf(const std::wstring& tree, const std::vector<std::wstring>& names) {
    Ranges ranges;
    for (const ResoureConfigInfo& info : ReadConfig(tree)) {
        if (std::find(names.begin(), names.end(), info.name) == names.end()) continue;
        AddRange(&ranges, TextToUtf8Exact(info.packageDir), info.offset,
                 info.offset + info.length - 1);
    }
    return ranges;
}

uint64_t WriteTimeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
           data.ftLastWriteTime.dwLowDateTime;
}

// Inverts one byte in the middle of the file and sets its write time back: size and time stay.
bool ChangeInPlace(const std::wstring& path) {
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    FILETIME written{};
    LARGE_INTEGER size{};
    if (!file || !::GetFileTime(file.Get(), nullptr, nullptr, &written) ||
        !::GetFileSizeEx(file.Get(), &size)) {
        return false;
    }
    LARGE_INTEGER middle{};
    middle.QuadPart = size.QuadPart / 2;
    char byte = 0;
    DWORD done = 0;
    if (!::SetFilePointerEx(file.Get(), middle, nullptr, FILE_BEGIN) ||
        !::ReadFile(file.Get(), &byte, 1, &done, nullptr) || done != 1) {
        return false;
    }
    byte = static_cast<char>(~byte);
    return ::SetFilePointerEx(file.Get(), middle, nullptr, FILE_BEGIN) &&
           ::WriteFile(file.Get(), &byte, 1, &done, nullptr) && done == 1 &&
           ::SetFileTime(file.Get(), nullptr, nullptr, &written);
}

}  // namespace

TEST_F(CdnUpdate, FreshInstallationGetsEveryFileAndVersionList) {
    const Files game = GameFiles();
    const std::wstring url = Publish(L"fresh", game);
    ASSERT_FALSE(url.empty());
    TempFolder root;
    const UpdateRun run = RunUpdate(root.path(), url);
    EXPECT_EQ(Concat(kConfigStates, {7, 11, 19}), run.states);
    int64_t total = 0;
    for (const ResoureConfigInfo& info : ReadConfig(L"fresh")) total += info.length;
    EXPECT_EQ(total, run.totalNotice);
    EXPECT_EQ(total, run.lastDownloaded);
    EXPECT_GT(run.progressReports, 0);
    ExpectInstalled(root.path() + L"game\\", game);
    EXPECT_EQ(ExpectedVersionText(ReadConfig(L"fresh")), Read(root.path() + L"version.txt"));
    EXPECT_FALSE(FileExists(root.path() + L"version.txt.new"));
    CResourceManager& manager = CResourceManager::GetInstance();
    EXPECT_EQ(ComputeResourceHash(root.path() + L"version.txt"), manager.GetResourceHash());
    EXPECT_EQ(32u, manager.GetResourceHash().size());

    // Nothing left to do: straight from the configuration to state 19, without state 7.
    const UpdateRun again = RunUpdate(root.path(), url);
    EXPECT_EQ(Concat(kConfigStates, {19}), again.states);
}

TEST_F(CdnUpdate, IncrementalUpdateFetchesAndDeletesExactlyWhatChanged) {
    Files v1 = GameFiles();
    const std::wstring url1 = Publish(L"inc1", v1);
    ASSERT_FALSE(url1.empty());
    TempFolder root;
    ASSERT_EQ(19, RunUpdate(root.path(), url1).finalState);

    Files v2 = v1;
    v2[L"data\\part3.bin"] = RandomBytes(4321, 1234);  // changed
    v2.erase(L"data\\part4.bin");                      // removed from the CDN list
    const std::wstring url2 = Publish(L"inc2", v2);
    ASSERT_TRUE(::DeleteFileW((root.path() + L"game\\text\\readme.txt").c_str()));  // missing

    const UpdateRun run = RunUpdate(root.path(), url2);
    EXPECT_EQ(Concat(kConfigStates, {7, 11, 19}), run.states);
    CResourceManager& manager = CResourceManager::GetInstance();
    std::vector<std::wstring> fetched;
    for (const ResourceUpdateInfo& item : manager.resourceDownloads) fetched.push_back(item.name);
    EXPECT_EQ((std::vector<std::wstring>{L"data\\part3.bin", L"text\\readme.txt"}), fetched);
    ASSERT_EQ(1u, manager.resourceRemovals.size());
    EXPECT_EQ(L"data\\part4.bin", manager.resourceRemovals[0].name);
    int64_t total = 0;
    for (const ResourceUpdateInfo& item : manager.resourceDownloads) total += item.length;
    EXPECT_EQ(total, run.totalNotice);

    ExpectInstalled(root.path() + L"game\\", v2);
    EXPECT_FALSE(FileExists(root.path() + L"game\\data\\part4.bin"));
    EXPECT_EQ(ExpectedVersionText(ReadConfig(L"inc2")), Read(root.path() + L"version.txt"));
}

TEST_F(CdnUpdate, LauncherBatchBuildsTheBundleAndLeavesResourcesAlone) {
    Files launcher;
    launcher[L"x.dll"] = "MZ";
    launcher[L"bin\\tool.exe"] = RandomBytes(70000, 5);
    const Files game = GameFiles();
    const std::wstring url = Publish(L"launcher", game, launcher);
    ASSERT_FALSE(url.empty());
    TempFolder root;
    const UpdateRun run = RunUpdate(root.path(), url);
    EXPECT_EQ(Concat(kConfigStates, {7, 13, 18}), run.states);

    // Flag 1, one record per launcher file, then the new launcher list.
    const std::string bundle = Read(root.path() + L"launcher.tmp");
    ASSERT_FALSE(bundle.empty());
    EXPECT_EQ('\x01', bundle[0]);
    std::map<std::string, std::string> records;
    std::vector<std::string> order;
    size_t pos = 1;
    auto u32 = [&bundle](size_t at) {
        uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bundle[at + i]);
        return v;
    };
    while (pos + 4 <= bundle.size()) {
        const uint32_t nameLength = u32(pos);
        const std::string name = bundle.substr(pos + 4, nameLength);
        const uint32_t contentLength = u32(pos + 4 + nameLength);
        records[name] = bundle.substr(pos + 8 + nameLength, contentLength);
        order.push_back(name);
        pos += 8 + nameLength + contentLength;
    }
    EXPECT_EQ(bundle.size(), pos);
    ASSERT_EQ(3u, order.size());
    EXPECT_EQ("launcher_manifest.txt", order.back());
    EXPECT_EQ("MZ", records["x.dll"]);
    EXPECT_EQ(launcher[L"bin\\tool.exe"], records["bin\\tool.exe"]);
    std::wstring manifest;
    for (const ResoureConfigInfo& info : ReadConfig(L"launcher")) {
        if (IsLauncherCategory(info.category)) manifest += info.name + L"=" + info.md5 + L"\r\n";
    }
    EXPECT_EQ(TextToUtf8Exact(manifest), records["launcher_manifest.txt"]);
    // No resource batch ran.
    EXPECT_FALSE(DirectoryExists(root.path() + L"game"));
    EXPECT_FALSE(FileExists(root.path() + L"version.txt"));

    // The entrance could not install this bundle and recorded its list: the launcher does not
    // fetch it again but goes on to the game's files with its old ones.
    ::DeleteFileW((root.path() + L"launcher.tmp").c_str());
    Write(root.path() + L"launcher_failed.txt", records["launcher_manifest.txt"]);
    const UpdateRun gaveUp = RunUpdate(root.path(), url);
    EXPECT_EQ(Concat(kConfigStates, {7, 11, 19}), gaveUp.states);
    EXPECT_FALSE(FileExists(root.path() + L"launcher.tmp"));
    ExpectInstalled(root.path() + L"game\\", game);
}

// The saves of "version.txt" around a batch. A range answering 404 fails the batch with 476,
// and what did arrive before is recorded (also within the last save interval). A list whose
// every entry is obsolete is written empty. A list that cannot be saved before the batch stops
// the update: nothing is deleted, replaced or recorded.
TEST_F(CdnUpdate, RangeAnswering404FailsTheBatchWith476AndSavesKeepTheListHonest) {
    // "notfound": a.dat sound, b.dat in a package that does not exist; "allgone": only b.dat.
    for (const wchar_t* tree : {L"notfound", L"allgone"}) {
        Files game;
        if (std::wstring(tree) == L"notfound") game[L"a.dat"] = RandomBytes(3000, 1);
        game[L"b.dat"] = RandomBytes(3000, 2);
        ASSERT_FALSE(Publish(tree, game).empty());
        std::string config = Read(ConfigPath(tree));
        const size_t b = config.find("b.dat=");
        const size_t dir = config.find("pkg/000", b);
        config.replace(dir, 8, "pkg/nope");
        ASSERT_TRUE(Write(ConfigPath(tree), config));
    }
    std::string aLine;
    for (const ResoureConfigInfo& info : ReadConfig(L"notfound")) {
        if (info.name == L"a.dat") aLine = "a.dat=" + TextToUtf8Exact(info.md5) + "\r\n";
    }
    const std::string staleList = "a.dat=00000000000000000000000000000000\r\ngone.dat=1\r\n";
    struct Case {
        const char* what;
        const wchar_t* tree;
        std::string localList;  // "version.txt" before the run ("" for none)
        bool saveBlocked;       // "version.txt" cannot be written
        std::vector<int> states;
        int32_t errorCode;
        std::string listAfter;  // "version.txt" after the run
        bool goneKept;          // game\gone.dat still there
    };
    const Case cases[] = {
        {"fresh", L"notfound", "", false, Concat(kConfigStates, {7, 11, 12}), 476, aLine, true},
        {"every entry obsolete", L"allgone", "gone.dat=1\r\n", false,
         Concat(kConfigStates, {7, 11, 12}), 404, "", false},
        // The check reads a.dat first: no stamp vouches for it (states 21).
        {"no save before the batch", L"notfound", staleList, true,
         Concat(kConfigStates, {21, 21, 12}), CResourceManager::kSaveFailedCode, staleList, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder root;
        ASSERT_TRUE(Write(root.path() + L"game\\gone.dat", "gone"));
        ASSERT_TRUE(Write(root.path() + L"game\\a.dat", "old"));
        if (!c.localList.empty()) {
            ASSERT_TRUE(Write(root.path() + L"version.txt", c.localList));
        }
        // A folder where the save writes its new file.
        if (c.saveBlocked) {
            ASSERT_TRUE(::CreateDirectoryW((root.path() + L"version.txt.new").c_str(), nullptr));
        }
        const UpdateRun run =
            RunUpdate(root.path(), Env(L"OMBRIX_TEST_CDN_URL") + c.tree + L"/config/resources.txt");
        EXPECT_EQ(c.states, run.states);
        EXPECT_EQ(c.errorCode, run.errorCode);
        EXPECT_TRUE(FileExists(root.path() + L"version.txt"));
        EXPECT_EQ(c.listAfter, Read(root.path() + L"version.txt"));
        EXPECT_EQ(c.goneKept, FileExists(root.path() + L"game\\gone.dat"));
        if (c.saveBlocked) {
            EXPECT_EQ("old", Read(root.path() + L"game\\a.dat"));
        }
    }
}

TEST_F(CdnUpdate, BytesThatAreNotThePublishedFileAreFetchedAgainThenFail) {
    // A damaged gzip range, and a sound one whose content is not what the digest names (the
    // CDN serves another file's bytes): both are fetched again, then the batch fails, and the
    // list never names the file.
    for (const bool damagedRange : {true, false}) {
        SCOPED_TRACE(damagedRange ? "damaged range" : "other content");
        const std::wstring tree = damagedRange ? L"damaged" : L"othercontent";
        Files game;
        game[L"good.dat"] = RandomBytes(3000, 1);
        game[L"bad.dat"] = RandomBytes(50000, 2);
        ASSERT_FALSE(Publish(tree, game).empty());
        for (const ResoureConfigInfo& info : ReadConfig(tree)) {
            if (info.name != L"bad.dat") continue;
            std::string package = Read(PackagePath(tree, info.packageDir));
            if (damagedRange) {
                package[static_cast<size_t>(info.offset + info.length / 2)] ^= 0x5A;
                ASSERT_TRUE(Write(PackagePath(tree, info.packageDir), package));
            } else {
                std::string config = Read(ConfigPath(tree));
                const std::string digest = TextToUtf8Exact(info.md5);
                config.replace(config.find(digest), digest.size(), std::string(32, 'A'));
                ASSERT_TRUE(Write(ConfigPath(tree), config));
            }
        }
        TempFolder root;
        const UpdateRun run =
            RunUpdate(root.path(), Env(L"OMBRIX_TEST_CDN_URL") + tree + L"/config/resources.txt");
        EXPECT_EQ(Concat(kConfigStates, {7, 11, 12}), run.states);
        EXPECT_NE(200, run.errorCode);
        // Every attempt asked for the range again.
        const std::string log = Read(Env(L"OMBRIX_TEST_CDN_LOG"));
        const std::string path = "/" + TextToUtf8Exact(tree) + "/pkg/";
        size_t requests = 0;
        for (size_t at = log.find(path); at != std::string::npos; at = log.find(path, at + 1)) {
            ++requests;
        }
        EXPECT_GE(requests, 2u);
        EXPECT_EQ(std::string::npos, Read(root.path() + L"version.txt").find("bad.dat"));
        EXPECT_FALSE(FileExists(root.path() + L"game\\bad.dat"));
    }
}

TEST_F(CdnUpdate, UnreachableCdnReportsConnectFailure) {
    TempFolder root;
    const UpdateRun run =
        RunUpdate(root.path(), Env(L"OMBRIX_TEST_DEAD_URL") + L"x/config/resources.txt");
    EXPECT_EQ(Concat({1, 2, 3, 4, 5}, {8}), run.states);
}

TEST_F(CdnUpdate, ConfigurationInUtf8WithAndWithoutMarkAndInAnsiCodePage) {
    Files game;
    game[L"\u6570\u636E\\\u89D2\u8272.dat"] = RandomBytes(9000, 1);
    game[L"\u5730\u56FE.bin"] = RandomBytes(100, 2);
    game[L"plain.txt"] = "plain";
    ASSERT_FALSE(Publish(L"enc", game).empty());
    const std::string utf8 = Read(ConfigPath(L"enc"));
    const std::wstring text = Utf8ToTextExact(utf8);
    const std::vector<std::pair<const char*, std::string>> variants = {
        {"utf8", utf8}, {"utf8bom", "\xEF\xBB\xBF" + utf8}, {"ansi", TextToNarrow(text)}};
    for (const auto& variant : variants) {
        ASSERT_TRUE(Write(ConfigPath(L"enc"), variant.second));
        TempFolder root;
        const UpdateRun run =
            RunUpdate(root.path(), Env(L"OMBRIX_TEST_CDN_URL") + L"enc/config/resources.txt");
        EXPECT_EQ(19, run.finalState) << variant.first;
        ExpectInstalled(root.path() + L"game\\", game);
        EXPECT_EQ(ExpectedVersionText(ReadConfig(L"enc")), Read(root.path() + L"version.txt"))
            << variant.first;
    }
}

TEST_F(CdnUpdate, NamesReachingOutsideAreNeverWrittenNorDeleted) {
    Files game;
    game[L"a.dat"] = RandomBytes(1000, 1);
    ASSERT_FALSE(Publish(L"escape", game).empty());
    const std::string good = Read(ConfigPath(L"escape"));
    const size_t eq = good.find('=');
    TempFolder root;
    const std::wstring url = Env(L"OMBRIX_TEST_CDN_URL") + L"escape/config/resources.txt";
    for (const char* evil : {"..\\evil.dat", "..\\..\\evil.dat", "C:\\evil.dat", "a.dat:evil"}) {
        ASSERT_TRUE(Write(ConfigPath(L"escape"), good + evil + good.substr(eq)));
        const UpdateRun run = RunUpdate(root.path(), url);
        EXPECT_EQ(Concat({1, 2, 3, 4, 5}, {10}), run.states) << evil;
    }
    EXPECT_FALSE(FileExists(root.path() + L"evil.dat"));
    EXPECT_FALSE(FileExists(root.path() + L"game\\a.dat"));

    // An empty answer is no list of files: nothing is removed.
    ASSERT_TRUE(Write(ConfigPath(L"escape"), ""));
    ASSERT_TRUE(Write(root.path() + L"game\\kept.dat", "kept"));
    ASSERT_TRUE(Write(root.path() + L"version.txt", "kept.dat=1\r\n"));
    EXPECT_EQ(10, RunUpdate(root.path(), url).finalState);
    EXPECT_EQ("kept", Read(root.path() + L"game\\kept.dat"));

    // A local list naming a file outside the game folder: ignored, the file stays.
    ASSERT_TRUE(Write(ConfigPath(L"escape"), good));
    ASSERT_TRUE(Write(root.path() + L"outside.dat", "mine"));
    ASSERT_TRUE(Write(root.path() + L"version.txt", "..\\outside.dat=1\r\nkept.dat=1\r\n"));
    const UpdateRun run = RunUpdate(root.path(), url);
    EXPECT_EQ(19, run.finalState);
    EXPECT_EQ("mine", Read(root.path() + L"outside.dat"));
    EXPECT_FALSE(FileExists(root.path() + L"game\\kept.dat"));  // a real, listed removal
    EXPECT_EQ(ExpectedVersionText(ReadConfig(L"escape")), Read(root.path() + L"version.txt"));
}

TEST_F(CdnUpdate, QuickCheckMendsChangedSizesAndTimesFullCheckEverythingElse) {
    Files game;
    game[L"data\\truncated.bin"] = RandomBytes(30000, 1);
    game[L"data\\emptied.bin"] = RandomBytes(20000, 2);
    game[L"data\\same-size.bin"] = RandomBytes(25000, 3);
    game[L"deleted.bin"] = RandomBytes(12000, 4);
    game[L"intact.bin"] = RandomBytes(15000, 5);
    game[L"sub\\intact.bin"] = RandomBytes(9000, 6);
    const std::wstring url = Publish(L"verify", game);
    ASSERT_FALSE(url.empty());
    TempFolder root;
    const std::wstring dir = root.path() + L"game\\";
    std::string output;
    ASSERT_EQ(0, RunUpdateProgram(root.path(), url, L"", &output)) << output;
    const std::string version = Read(root.path() + L"version.txt");
    ASSERT_EQ(ExpectedVersionText(ReadConfig(L"verify")), version);

    // What happens to each file, and which check finds it.
    enum class Harm { Truncate, Empty, ChangeKeepingSizeAndTime, Delete };
    const struct {
        const wchar_t* name;
        Harm harm;
        bool quickFinds;
    } harms[] = {{L"data\\truncated.bin", Harm::Truncate, true},
                 {L"data\\emptied.bin", Harm::Empty, true},
                 {L"data\\same-size.bin", Harm::ChangeKeepingSizeAndTime, false},
                 {L"deleted.bin", Harm::Delete, true}};
    std::vector<std::wstring> quickFinds;
    std::vector<std::wstring> fullFinds;
    for (const auto& harm : harms) {
        const std::wstring path = dir + harm.name;
        const std::string bytes = game[harm.name];
        bool done = false;
        switch (harm.harm) {
            case Harm::Truncate:
                done = Write(path, bytes.substr(0, bytes.size() / 2));
                break;
            case Harm::Empty:
                done = Write(path, "");
                break;
            case Harm::ChangeKeepingSizeAndTime:
                done = ChangeInPlace(path);
                break;
            case Harm::Delete:
                done = ::DeleteFileW(path.c_str()) != FALSE;
                break;
        }
        ASSERT_TRUE(done);
        (harm.quickFinds ? quickFinds : fullFinds).push_back(harm.name);
    }
    // Files of the player's that no list names.
    const Files extras = {{L"settings.cfg", "mine"}, {L"data\\screenshot.png", "picture"}};
    WriteTree(dir, extras);
    std::map<std::wstring, uint64_t> extraTimes;
    for (const auto& extra : extras) extraTimes[extra.first] = WriteTimeOf(dir + extra.first);

    const struct {
        const char* check;
        const wchar_t* options;
        long long read;  // files read and digested
        const std::vector<std::wstring>& mended;
    } runs[] = {{"quick", L"", 2, quickFinds}, {"full", L"--verify", 6, fullFinds}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.check);
        const size_t logLines = LineCount(Read(Env(L"OMBRIX_TEST_CDN_LOG")));
        ASSERT_EQ(0, RunUpdateProgram(root.path(), url, run.options, &output)) << output;
        EXPECT_EQ(run.read, Figure(output, "files_checked")) << output;
        EXPECT_EQ(static_cast<long long>(run.mended.size()), Figure(output, "files_damaged"));
        EXPECT_EQ(static_cast<long long>(run.mended.size()), Figure(output, "files_mended"));
        EXPECT_EQ(RangesOf(L"verify", run.mended), FetchedRanges(L"verify", logLines));
        for (const std::wstring& name : run.mended) EXPECT_TRUE(Read(dir + name) == game[name]);
        EXPECT_EQ(version, Read(root.path() + L"version.txt"));
        for (const auto& extra : extras) {
            EXPECT_EQ(extra.second, Read(dir + extra.first));
            EXPECT_EQ(extraTimes[extra.first], WriteTimeOf(dir + extra.first));
        }
    }
    ExpectInstalled(dir, game);

    // Intact: no package request, neither list written again, nothing read.
    const uint64_t versionTime = WriteTimeOf(root.path() + L"version.txt");
    const uint64_t stampsTime = WriteTimeOf(root.path() + L"version.stamps");
    ASSERT_NE(0u, stampsTime);
    const size_t logLines = LineCount(Read(Env(L"OMBRIX_TEST_CDN_LOG")));
    ASSERT_EQ(0, RunUpdateProgram(root.path(), url, L"", &output)) << output;
    EXPECT_EQ(0, Figure(output, "files_checked"));
    EXPECT_TRUE(FetchedRanges(L"verify", logLines).empty());
    EXPECT_EQ(versionTime, WriteTimeOf(root.path() + L"version.txt"));
    EXPECT_EQ(stampsTime, WriteTimeOf(root.path() + L"version.stamps"));
}
