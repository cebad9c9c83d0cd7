// The CDN downloader's pieces that need no server: configuration decoding, the file sink,
// task URLs, and the resource manager's comparison and base address.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include "TestTree.h"
#include "app/Crypto.h"
#include "app/Sha256.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNResourceConfigDataProcessor.h"
#include "resources/ChunkList.h"
#include "resources/CDNResourceDataProcessor.h"
#include "resources/CDNResourceDownloader.h"
#include "resources/ConfigNameCollisions.h"
#include "resources/FileBatchPlan.h"
#include "resources/FolderCache.h"
#include "resources/ManifestText.h"
#include "resources/RangeUnpacker.h"
#include "resources/ResourceManager.h"
#include "resources/SignedConfig.h"
#include "framework/CriticalSection.h"

using testing_tree::Gzip;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

namespace {

// The names of a map, in its order.
std::wstring NamesOf(const ResoureConfigMap& map) {
    std::wstring names;
    for (const ResoureConfigEntry& entry : map) names += std::wstring(map.Name(entry)) + L" ";
    return names;
}

// Every field of every entry of the maps, in order.
std::wstring EntriesOf(const CDNConfigMaps& maps) {
    std::wstring text;
    for (const ResoureConfigMap* map : {&maps.resources, &maps.launcherFiles}) {
        for (const ResoureConfigEntry& entry : *map) {
            text += std::wstring(map->Name(entry)) + L"=" + entry.md5.Text() + L"=" + map->Folder(entry) +
                    L"=" + std::to_wstring(entry.offset) + L"=" + std::to_wstring(entry.length) +
                    L"=" + entry.sha256.Text() + L"\n";
        }
        text += L"|";
    }
    return text;
}

// The body through the configuration's sink in blocks of blockSize bytes, arriving in pieces of
// 5, a byte-order mark before it, parsed block by block: the same state, records and SHA-256
// answer as the whole body; the tail is the body from its blank line on, the bytes passed before
// it are the rest, and the signed part checked from them covers exactly the body's signed bytes.
void ExpectSameInBlocks(const std::string& body) {
    CDNConfigMaps whole;
    bool wholeSha = false;
    const CDNDownloadState state = ParseCDNConfig(body, &whole, &wholeSha);
    SignedPart part;
    const bool signedPart = ParseSignedPart(body, &part);
    const size_t start = FindSignedPartStart(body);
    for (size_t blockSize : {1, 2, 3, 7, 64}) {
        SCOPED_TRACE(testing::Message() << "blocks of " << blockSize << ": " << body);
        CDNResourceConfigDataProcessor sink(DownloadTaskInfo(), blockSize);
        ASSERT_TRUE(sink.OnBegin(0));
        const std::string sent = "\xEF\xBB\xBF" + body;
        for (size_t i = 0; i < sent.size(); i += 5) {
            const std::string piece = sent.substr(i, 5);
            ASSERT_TRUE(sink.OnData(piece.data(), static_cast<uint32_t>(piece.size())));
        }
        ASSERT_TRUE(sink.OnFinish());
        ConfigBody blocks = sink.TakeBody();
        std::string leading;
        ConfigTail tail;
        CDNConfigMaps maps;
        bool sha = !wholeSha;
        EXPECT_EQ(state, ParseCDNConfig(&blocks, &maps, &sha, &tail,
                                        [&leading](const char* data, size_t size) {
                                            leading.append(data, size);
                                        }));
        EXPECT_EQ(EntriesOf(whole), EntriesOf(maps));
        if (state == CDNDownloadSuccess) {
            EXPECT_EQ(wholeSha, sha);
        }
        EXPECT_EQ(0u, blocks.size());
        EXPECT_EQ(start, tail.offset);
        EXPECT_EQ(body.substr(0, start), leading);
        EXPECT_EQ(start == std::string::npos ? "" : body.substr(start), tail.text);
        std::string covered;
        const ConfigCheckResult check = CheckSignedPart(
            tail, 0, 0,
            [&](std::string_view signedTail, const std::string& signature) {
                covered = leading + std::string(signedTail);
                return signature == part.signature;
            },
            nullptr);
        EXPECT_EQ(signedPart ? ConfigAccepted : ConfigUnsigned, check);
        if (signedPart) {
            EXPECT_EQ(body.substr(0, part.signedLength), covered);
        }
        EXPECT_EQ(ParseChunkReferences(body).size(), ParseChunkReferences(tail.text).size());
    }
}

}  // namespace

// The list and the two maps of the targets are made with the same checks and results.
TEST(CDNConfigText, DecodesUtf8AndAnsiAndRefusesUnsafeOrEmptyLists) {
    const std::wstring name = L"\u6570\u636E\\\u89D2\u8272.dat";  // in code page 936
    const std::wstring line = name + L"=abc=pkg/0001=0=10\r\n";
    for (const std::string& body : {TextToUtf8Exact(line), TextToNarrow(line)}) {
        ResoureConfigList list;
        ASSERT_EQ(CDNDownloadSuccess, ParseCDNConfigText(body, &list));
        ASSERT_EQ(1u, list.size());
        EXPECT_EQ(name, list[0].name);
        EXPECT_EQ(10, list[0].length);
        CDNConfigMaps maps;
        ASSERT_EQ(CDNDownloadSuccess, ParseCDNConfig(body, &maps));
        EXPECT_EQ(name + L" ", NamesOf(maps.resources));
        EXPECT_EQ(10, maps.resources.begin()->length);
        ExpectSameInBlocks(body);
    }
    const struct {
        std::string body;
        bool accepted;
        const wchar_t* resources;  // names of the maps when accepted
        const wchar_t* launcherFiles;
        bool allCarrySha256;
    } cases[] = {
        {"", false},
        {"<html>not a list</html>", false},
        {"a=1=p=0=1\r\n..\\..\\evil.exe=2=p=1=1\r\n", false},
        {"C:\\evil.exe=2=p=1=1\r\n", false},
        {"a.dat:ads=2=p=1=1\r\n", false},
        // A negative offset would fetch the whole package into a.dat and into its neighbour.
        {"a.dat=1=p=-10=10\r\nb.dat=2=p=0=100\r\n", false},
        {"a.dat=1=p=0=-1\r\n", false},
        {"a.dat=1=p=9223372036854775807=5\r\n", false},
        // The last byte of the 64-bit range, and lines without range fields, are accepted.
        {"a.dat=1=p=9223372036854775806=1\r\nb.dat=2\r\n", true, L"a.dat b.dat ", L"", false},
        // By category, in name order; a name may be a resource and a launcher file at once.
        {"b=1=p=0=1\r\nL.exe=2=p=1=1=Launcher\r\na=3=p=2=1=game\r\nb=4=p=3=1=LAUNCHER\r\n", true,
         L"a b ", L"L.exe b ", false},
        {"a=1=p=0=1=x=" + std::string(64, 'f') + "\r\nb=1=p=0=1=launcher=" + std::string(64, 'A') +
             "\r\n",
         true, L"a ", L"b ", true},
    };
    for (const auto& c : cases) {
        ResoureConfigList list;
        CDNConfigMaps maps;
        bool allCarrySha256 = !c.allCarrySha256;
        const CDNDownloadState expected = c.accepted ? CDNDownloadSuccess : CDNDownloadParseFailed;
        EXPECT_EQ(expected, ParseCDNConfigText(c.body, &list)) << c.body;
        EXPECT_EQ(c.accepted, !list.empty()) << c.body;
        EXPECT_EQ(expected, ParseCDNConfig(c.body, &maps, &allCarrySha256)) << c.body;
        ExpectSameInBlocks(c.body);
        if (!c.accepted) continue;
        EXPECT_EQ(c.resources, NamesOf(maps.resources)) << c.body;
        EXPECT_EQ(c.launcherFiles, NamesOf(maps.launcherFiles)) << c.body;
        EXPECT_EQ(c.allCarrySha256, allCarrySha256) << c.body;
    }
}

namespace {

std::wstring Md5Text(const std::string& bytes) {
    const std::string hex = BytesToHex(Md5Digest(bytes));
    return std::wstring(hex.begin(), hex.end());
}

std::wstring ToLowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 32);
    }
    return text;
}

// Feeds one attempt in pieces of `piece` bytes; the result of OnFinish.
bool Attempt(CDNResourceDataProcessor& sink, const std::string& body, size_t piece = 1024) {
    EXPECT_TRUE(sink.OnBegin(0));
    for (size_t i = 0; i < body.size(); i += piece) {
        const std::string part = body.substr(i, piece);
        if (!sink.OnData(part.data(), static_cast<uint32_t>(part.size()))) break;
    }
    return sink.OnFinish();
}

}  // namespace

TEST(CDNConfigText, RefusesNamesThatMeetOnOneFile) {
    struct Case {
        const char* body;
        bool refused;
    } cases[] = {
        {"a.dat=1=p=0=1\r\nA.DAT=2=p=1=1\r\n", true},  // case only
        {"d\\x=1=p=0=1\r\nD/X=2=p=1=1\r\n", true},     // separator and case
        {"x=1=p=0=1\r\nx.T=2=p=1=1\r\n", true},        // beside its temporary name
        {"a.=1=p=0=1\r\n", true},                      // trailing dot
        {"dir \\a=1=p=0=1\r\n", true},                 // trailing blank
        {"version.txt=1=p=0=1=launcher\r\n", true},    // the launcher's own files
        {"Launcher.tmp=1=p=0=1=launcher\r\n", true},
        {"version.stamps=1=p=0=1=launcher\r\n", true},
        {"release_serial.txt=1=p=0=1=launcher\r\n", true},
        {"launcher_failed.txt=1=p=0=1=launcher\r\n", true},
        {"game\\x.exe=1=p=0=1=launcher\r\n", true},
        {"version.txt=1=p=0=1\r\nversion.txt=1=p=0=1=launcher\r\n", true},
        {"x.dll=1=p=0=1\r\nx.dll=2=p=1=1=launcher\r\n", false},  // two folders
        {"version.txt=1=p=0=1\r\ngame.dat=2=p=1=1=launcher\r\n", false},
        {"\xce\xb1.dat=1=p=0=1\r\n\xce\x91.DAT=2=p=1=1\r\n", true},  // Greek alpha, both cases
        {"a=1=p=0=1\r\nA\\b=2=p=1=1\r\n", true},                     // a file and its folder
        {"Data/X.dat=1=p=0=1\r\ndata\\x.DAT=2=p=1=1\r\n", true},     // ASCII folded
        {"d\\a=1=p=0=1\r\nd/a/b/c=2=p=1=1\r\n", true},
        {"a=1=p=0=1\r\na.t\\b=2=p=1=1\r\n", true},  // a folder on the temporary name
        {"CD=1=p=0=1\r\nab\\x=2=p=1=1\r\ncd\\y=3=p=2=1\r\n", true},  // after a folder as long
        {"a\\b=1=p=0=1\r\na\\c=2=p=1=1\r\nab=3=p=2=1\r\n", false},
        {"version.txt\\x=1=p=0=1=launcher\r\n", true},
        {"a=1=p=0=1\r\nb=2=p=1=1\r\na=3=p=2=1\r\n", true},  // one name twice
        {"d\\a=1=p=0=1\r\nd\\A\\b=2=p=1=1\r\nd\\c=2=p=1=1\r\n", true},
        // A letter pair the Chinese code page keeps and the file system folds: Roman one.
        {"\xe2\x85\xa0=1=p=0=1\r\n\xe2\x85\xb0=2=p=1=1\r\n", true},
    };
    for (const Case& c : cases) {
        ResoureConfigList list;
        const CDNDownloadState expected = c.refused ? CDNDownloadParseFailed : CDNDownloadSuccess;
        EXPECT_EQ(expected, ParseCDNConfigText(c.body, &list)) << c.body;
        CDNConfigMaps maps;  // found through the hashes of the keys
        EXPECT_EQ(expected, ParseCDNConfig(c.body, &maps)) << c.body;
        ExpectSameInBlocks(c.body);
    }
    // Letters the file system folds and a Western code page keeps beyond Latin-1 (S, OE, Z with
    // caron or ligature, Y with diaeresis), checked on wide names whatever the code page.
    for (const auto& pair :
         {std::make_pair(L"\u0160", L"\u0161"), std::make_pair(L"\u0152", L"\u0153"),
          std::make_pair(L"\u017D", L"\u017E"), std::make_pair(L"\u0178", L"\u00FF"),
          std::make_pair(L"\u2160", L"\u2170")}) {
        ResoureConfigList list(2);
        list[0].name = std::wstring(L"D\\") + pair.first;
        list[1].name = std::wstring(L"d\\") + pair.second;
        EXPECT_TRUE(HasCollidingNames(list)) << static_cast<int>(pair.second[0]);
    }
}

// What blocks can cut: a multi-byte character, a CR LF pair, the blank line, the signed part and
// its signature line, a zero byte late in the body, a double-byte character of the ANSI code
// page whose trail byte is a line end.
TEST(CDNConfigText, ReadsABodyCutIntoBlocksAsTheWhole) {
    using namespace std::string_literals;
    SignedPart part;
    part.release = "r1";
    part.serial = 7;
    part.signedAt = 1700000000;
    const std::string records =
        "\xe6\x95\xb0\xe6\x8d\xae\\a.dat=1=p=0=1=game=" + std::string(64, 'a') +
        "\r\nL.exe=2=p=1=1=launcher=" + std::string(64, 'b') + "\r\n";
    ChunkReference reference;
    reference.listPath = "chunks/a.list";
    reference.listSha256 = std::string(32, 'c');
    reference.fileSize = 9;
    const std::string fields = FormatSignedFields(part) +
                               FormatChunkReference("\xe6\x95\xb0\xe6\x8d\xae\\a.dat", reference);
    const std::string signature = FormatSignatureLine(std::string(64, 's'));
    const std::string ansi = TextToNarrow(L"\u6570\u636E=1=p=0=1\r\n");
    for (const std::string& body : {
             records,
             "a=1=p=0=1\r\n\r\nb=2=p=1=1\n\rc=3=p=2=1"s,
             "a=1=p=0=1\r\n \t\r\nb=2=p=1=1\r\n"s,
             "a=1=p=0=1\r\n\xe2\x80\x82\r\nb=2=p=1=1\r\n \r\nc=3=p=2=1\r\n"s,
             records + fields + signature,
             records + fields + signature + "\r\n\r\n",
             records + fields + signature + "x",
             records + fields + "expires=2000-01-01T00:00:00Z\r\n" + signature,
             records + fields,
             records + "c=3=p=\0=2=1\r\nd=4=p=3=1\r\n"s + fields + signature,
             records + fields + "x=\0\r\n"s + signature,
             ansi + "b\x81\nc=2=p=1=1\r\nd\x81\r\ne=3=p=2=1\r\n \r\n" + ansi,
             "a=1=p=0=1\r\n\0 \r\n"s + fields + signature,
         }) {
        ExpectSameInBlocks(body);
    }
}

TEST(CDNResourceDataProcessor, InstallsOnlyCheckedBytes) {
    const std::string content = testing_tree::RandomBytes(70000, 4);
    const std::string packed = Gzip(content);
    const std::string other = testing_tree::RandomBytes(70000, 5);
    const std::string packedSha = BytesToHex(Sha256Digest(packed));
    const std::wstring rangeSha(packedSha.begin(), packedSha.end());
    struct Case {
        const char* what;
        std::string body;
        std::wstring digest;
        bool installed;
        std::string expected;
        std::wstring sha256;  // of the range as stored, when the configuration signs one
    } cases[] = {
        {"gzip, digest of the file", packed, Md5Text(content), true, content},
        {"gzip, MD5 and the range's SHA-256", packed, Md5Text(content), true, content, rangeSha},
        {"gzip, MD5 right but SHA-256 of another range", packed, Md5Text(content), false, "",
         std::wstring(64, L'A')},
        {"not an MD5 digest, SHA-256 still checked", other, L"v2", false, "", rangeSha},
        {"gzip, digest of the stored range", packed, Md5Text(packed), true, content},
        {"gzip, digest in lower case", packed, ToLowerAscii(Md5Text(content)), true, content},
        {"plain, right bytes", content, Md5Text(content), true, content},
        {"plain, wrong bytes", other, Md5Text(content), false, ""},
        {"zeros instead of gzip", std::string(packed.size(), '\0'), Md5Text(content), false, ""},
        {"gzip with a flipped byte",
         packed.substr(0, 500) + char(packed[500] ^ 1) + packed.substr(501), Md5Text(content),
         false, ""},
        {"not an MD5 digest: trusted", other, L"v2", true, other},
    };
    for (const Case& c : cases) {
        TempFolder dir;
        DownloadTaskInfo task;
        task.name = L"sub\\f.dat";
        task.rangeStart = 0;
        task.rangeLength = static_cast<uint32_t>(c.body.size());
        FolderCache folders;
        CDNResourceDataProcessor sink(task, dir.path() + task.name, c.digest, c.sha256, &folders);
        int installs = 0;
        sink.onInstalled = [&installs](const DownloadTaskInfo&, const std::wstring&) {
            ++installs;
        };
        EXPECT_EQ(c.installed, Attempt(sink, c.body)) << c.what;
        EXPECT_EQ(c.installed ? 1 : 0, installs) << c.what;
        EXPECT_EQ(c.installed, FileExists(dir.path() + task.name)) << c.what;
        if (c.installed) {
            EXPECT_EQ(c.expected, Read(dir.path() + task.name)) << c.what;
        }
    }
}

TEST(CDNResourceDataProcessor, RetriesCountBytesOnceAndLeaveAnInstalledFileAlone) {
    TempFolder dir;
    const std::string content = testing_tree::RandomBytes(300000, 6);
    const std::string packed = Gzip(content);
    DownloadTaskInfo task;
    task.name = L"f.dat";
    task.rangeStart = 100;
    task.rangeLength = static_cast<uint32_t>(packed.size());
    CDNResourceDataProcessor sink(task, dir.path() + task.name, Md5Text(content), L"", nullptr);
    int64_t counted = 0;
    sink.onBytesWritten = [&counted](int64_t delta) { counted += delta; };

    EXPECT_TRUE(sink.OnFinish());  // failed before its body: the transfer keeps its status
    ASSERT_TRUE(Write(dir.path() + task.name, "old"));
    EXPECT_FALSE(Attempt(sink, ""));                        // an empty body fails
    EXPECT_FALSE(Attempt(sink, packed.substr(0, 200000)));  // cut short: nothing stays
    EXPECT_FALSE(FileExists(dir.path() + task.name));
    ASSERT_TRUE(Attempt(sink, packed, 100));
    EXPECT_EQ(content, Read(dir.path() + task.name));
    EXPECT_EQ(static_cast<int64_t>(packed.size()), counted);  // never counted twice

    // A later attempt of the same request (a neighbour failed) passes the file by.
    EXPECT_TRUE(Attempt(sink, std::string(packed.size(), 'x')));
    EXPECT_EQ(content, Read(dir.path() + task.name));
    std::string out;
    ASSERT_TRUE(sink.GetContent(out));
    EXPECT_EQ(content, out);
}

TEST(RangeUnpacker, ReadsRangesLikeTheGzipFileReader) {
    const std::string a = testing_tree::RandomBytes(150000, 7);
    const std::string b(90000, 'b');
    const std::string packedA = Gzip(a);
    std::string crc = packedA;
    crc[crc.size() - 6] ^= 1;
    struct Case {
        const char* what;
        std::string range;
        bool ok;
        std::string out;
    } cases[] = {
        {"one member", packedA, true, a},
        {"members back to back", packedA + Gzip(b), true, a + b},
        {"trailing bytes ignored", packedA + "garbage", true, a},
        {"a last lone byte ignored", packedA + "\x1f", true, a},
        {"plain data", b, true, b},
        {"a single byte", "\x1f", true, "\x1f"},
        {"magic's first byte only", std::string("\x1fz") + b, true, std::string("\x1fz") + b},
        {"empty", "", false, ""},
        {"cut short", packedA.substr(0, packedA.size() - 1), false, ""},
        {"damaged trailer", crc, false, ""},
    };
    struct Collect : RangeUnpacker::Output {
        std::string bytes;
        bool Write(const char* data, size_t size) override {
            bytes.append(data, size);
            return true;
        }
    };
    RangeUnpacker unpacker;  // one unpacker for all ranges, as a worker reuses it
    for (const Case& c : cases) {
        for (size_t piece : {size_t(1), size_t(1000), size_t(1) << 20}) {
            unpacker.Reset();
            Collect out;
            bool ok = true;
            for (size_t i = 0; i < c.range.size() && ok; i += piece) {
                ok = unpacker.Feed(c.range.data() + i, std::min(piece, c.range.size() - i), out);
            }
            ok = ok && unpacker.Finish(out);
            EXPECT_EQ(c.ok, ok) << c.what << " in pieces of " << piece;
            if (c.ok) {
                EXPECT_TRUE(c.out == out.bytes) << c.what << " in pieces of " << piece;
            }
        }
    }
}

TEST(CDNResourceDownloader, TaskUrlsAndRequestTime) {
    CCDNResourceDownloader& downloader = CCDNResourceDownloader::GetInstance();
    downloader.baseUrl = L"http://cdn.example/a/";
    downloader.configUrl = L"http://cdn.example/a/b/list.txt";
    EXPECT_EQ(L"http://cdn.example/a/pkg/res/qz_game.qzpkg",
              downloader.MakeTaskUrl(L"pkg/res", DownloadModeResource));
    EXPECT_EQ(L"http://cdn.example/a/qz_game.qzpkg",
              downloader.MakeTaskUrl(L"", DownloadModeLauncher));
    EXPECT_EQ(L"", downloader.MakeTaskUrl(L"p", 7));
    const std::wstring config = downloader.MakeTaskUrl(L"", DownloadModeConfig);
    EXPECT_EQ(0u, config.find(L"http://cdn.example/a/b/list.txt?r="));
    EXPECT_EQ(config.size(), std::wstring(L"http://cdn.example/a/b/list.txt?r=").size() + 14);

    SYSTEMTIME t{};
    t.wYear = 2024;
    t.wMonth = 3;
    t.wDay = 5;
    t.wHour = 7;
    t.wMinute = 8;
    t.wSecond = 9;
    EXPECT_EQ(L"20240305070809", CCDNResourceDownloader::FormatRequestTime(t));
}

// The batch's files as the engine reads them, from the plan's own CDN list: a configuration
// fetched again while the batch runs leaves its names, packages, ranges and digests as they were.
TEST(FileBatchPlan, ReadsThePlannedListWhenTheConfigurationComesAgain) {
    TempFolder root;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.rootDir = manager.launcherDir = root.path();
    manager.gameDir = root.path() + L"game\\";
    {
        ombrix::ScopedLock guard(manager.lock);
        manager.localResources.clear();
        manager.localLauncherFiles.clear();
    }
    const auto line = [](const wchar_t* name, const std::wstring& md5, const wchar_t* dir,
                         int64_t offset, const wchar_t* category = L"") {
        ResoureConfigInfo info;
        info.name = name;
        info.md5 = md5;
        info.packageDir = dir;
        info.offset = offset;
        info.length = 10;
        info.category = category;
        return info;
    };
    const auto maps = [](ResoureConfigList list) {
        CDNConfigMaps result;
        for (ResoureConfigInfo& info : list) {
            (IsLauncherCategory(info.category) ? result.launcherFiles : result.resources)
                .Append(&info);
        }
        result.resources.Sort();
        result.launcherFiles.Sort();
        return result;
    };
    const std::wstring hex(32, L'a');
    CDNConfigMaps first =
        maps({line(L"b\\x", L"first", L"p", 0), line(L"B\\x", hex, L"", 10),
              line(L"a", L"not hex", L"p", 30), line(L"tool.dll", L"t", L"", 40, L"launcher")});
    manager.OnConfigDownloaded(CDNDownloadSuccess, first);
    const FileBatchPlan plan(manager.resourceDownloads, DownloadModeResource,
                             [](const std::wstring& dir) { return L"u/" + dir; });
    CDNConfigMaps second = maps({line(L"b\\x", L"other", L"q", 50)});
    manager.OnConfigDownloaded(CDNDownloadSuccess, second);
    ASSERT_EQ(1u, manager.resourceDownloads.size());
    EXPECT_EQ(L"q", manager.resourceDownloads[0].packageDir);

    ASSERT_EQ(3u, plan.TaskCount());                // key order: B\x, a, b\x
    EXPECT_EQ(plan.TargetOf(1), plan.TargetOf(2));  // one package, one target
    EXPECT_NE(plan.TargetOf(0), plan.TargetOf(1));
    const DownloadTaskInfo task = plan.Task(0);
    EXPECT_EQ(L"B\\x", task.name);
    EXPECT_EQ(L"u/", task.url);
    EXPECT_EQ(DownloadModeResource, task.kind);
    EXPECT_EQ(10, task.rangeStart);
    EXPECT_EQ(L"u/p", plan.Task(2).url);
    EXPECT_EQ(L"p", plan.Task(2).path);
    EXPECT_EQ(0, plan.RangeStart(2));

    std::wstring md5, sha256;
    ASSERT_TRUE(plan.FindDigests(L"B\\x", &md5, &sha256));  // case makes two names
    EXPECT_EQ(hex, md5);
    ASSERT_TRUE(plan.FindDigests(L"b\\x", &md5, &sha256));
    EXPECT_EQ(L"first", md5);
    ASSERT_TRUE(plan.FindDigests(L"a", &md5, &sha256));
    EXPECT_EQ(L"not hex", md5);                                  // kept as text
    EXPECT_FALSE(plan.FindDigests(L"tool.dll", &md5, &sha256));  // the launcher's, not this batch's
    EXPECT_FALSE(plan.FindDigests(L"", &md5, &sha256));
}

TEST(ResourceManager, BaseUrlIsTwoLevelsUp) {
    EXPECT_EQ(L"http://h/a/", CResourceManager::DeriveBaseUrl(L"http://h/a/b/list.txt"));
    EXPECT_EQ(L"http://h/a/", CResourceManager::DeriveBaseUrl(L"http:\\\\h\\a/b/list.txt"));
    EXPECT_EQ(L"list.txt/", CResourceManager::DeriveBaseUrl(L"list.txt"));
}

namespace {

ResoureConfigInfo Record(const wchar_t* name, const wchar_t* md5, int32_t length = 0) {
    ResoureConfigInfo info;
    info.name = name;
    info.md5 = md5;
    info.packageDir = L"pkg/0001";
    info.offset = 10;
    info.length = length;
    return info;
}

void Put(ResoureConfigMap* map, const ResoureConfigInfo& info) {
    map->emplace(info.name, info);
}

void Put(LocalManifestMap* map, const ResoureConfigInfo& info) {
    map->SetDigest(info.name, PackedDigest<16>(info.md5));
}

}  // namespace

TEST(ResourceManager, CompareFindsAddedChangedMissingAndRemovedFiles) {
    TempFolder root;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.gameDir = root.path();
    ASSERT_TRUE(Write(root.path() + L"same.dat", "x"));
    ASSERT_TRUE(Write(root.path() + L"changed.dat", "x"));
    ASSERT_TRUE(Write(root.path() + L"gone.dat", "x"));

    LocalManifestMap local;
    const auto cdn = std::make_shared<ResoureConfigMap>();
    Put(&local, Record(L"same.dat", L"abc"));
    Put(&local, Record(L"changed.dat", L"ABC"));
    Put(&local, Record(L"missing.dat", L"m"));  // listed, but no file on disk
    Put(&local, Record(L"gone.dat", L"g"));
    Put(&local, Record(L"zz.dat", L"z"));  // after the last CDN name
    Put(cdn.get(), Record(L"same.dat", L"abc", 1));
    Put(cdn.get(), Record(L"changed.dat", L"abc", 2));  // case counts
    Put(cdn.get(), Record(L"missing.dat", L"m", 4));
    Put(cdn.get(), Record(L"new.dat", L"n", 8));

    ResourceUpdateList downloads;
    ResourceRemovalList removals;
    ASSERT_EQ(1, manager.CompareManifests(&local, cdn, &downloads, &removals, true));
    ASSERT_EQ(3u, downloads.size());  // key order: changed, missing, new
    EXPECT_EQ(L"changed.dat", downloads[0].name);
    EXPECT_EQ(UpdateTypeChanged, downloads[0].updateType);
    EXPECT_EQ(L"ABC", downloads[0].localMd5);
    EXPECT_EQ(L"abc", downloads[0].remoteMd5);
    EXPECT_EQ(2, downloads[0].length);  // each from its own CDN record
    EXPECT_EQ(L"missing.dat", downloads[1].name);
    EXPECT_EQ(UpdateTypeChanged, downloads[1].updateType);
    EXPECT_EQ(L"", downloads[1].localMd5);
    EXPECT_EQ(4, downloads[1].length);
    EXPECT_EQ(L"", local.find(L"missing.dat")->md5);
    EXPECT_EQ(L"new.dat", downloads[2].name);
    EXPECT_EQ(UpdateTypeAdded, downloads[2].updateType);
    EXPECT_EQ(L"", downloads[2].localMd5);
    EXPECT_EQ(L"pkg/0001", downloads[2].packageDir);
    EXPECT_EQ(10, downloads[2].offset);
    EXPECT_EQ(8, downloads[2].length);
    ASSERT_EQ(2u, removals.size());
    EXPECT_EQ(L"gone.dat", removals[0].name);
    EXPECT_EQ(UpdateTypeRemoved, removals[0].updateType);
    EXPECT_EQ(L"g", removals[0].remoteMd5);
    EXPECT_EQ(L"zz.dat", removals[1].name);
    const ResourceUpdateList handedOn = downloads;

    // Without the existence check a missing file with a matching digest is not fetched.
    LocalManifestMap launcherLocal;
    Put(&launcherLocal, Record(L"absent.dll", L"d"));
    const auto launcherCdn = std::make_shared<ResoureConfigMap>();
    Put(launcherCdn.get(), Record(L"absent.dll", L"d"));
    downloads.clear();
    removals.clear();
    manager.CompareManifests(&launcherLocal, launcherCdn, &downloads, &removals, false);
    EXPECT_TRUE(downloads.empty());

    // An empty local list fetches everything; a plan handed on before keeps its items.
    LocalManifestMap none;
    manager.CompareManifests(&none, cdn, &downloads, &removals, true);
    EXPECT_EQ(4u, downloads.size());
    ASSERT_EQ(3u, handedOn.size());
    EXPECT_EQ(L"missing.dat", handedOn[1].name);
    EXPECT_EQ(0, manager.CompareManifests(nullptr, cdn, &downloads, &removals, true));
}

// Saves while a worker records files (new names and digests of listed ones, in no order): every
// saved list holds each listed name once, in order, and only digests that were recorded; the
// save after the worker's last file holds them all.
TEST(ResourceManager, SavesWhileAWorkerRecordsHoldOnlyTrueRecords) {
    TempFolder root;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.rootDir = root.path();
    const int kFiles = 20000;
    std::map<std::string, std::string> model;  // name (listed "l...", new "n...") to digest
    for (int i = 0; i < kFiles; ++i) {
        const std::string name =
            (i % 2 ? "n" : "l") + std::to_string(i % 40) + "\\f" + std::to_string(i) + ".dat";
        model[name] = std::string(32 - name.size() % 32, 'a') + name.substr(0, name.size() % 32);
    }
    {
        ombrix::ScopedLock guard(manager.lock);
        manager.localResources.clear();
        for (const auto& file : model) {
            if (file.first[0] == 'l')
                manager.localResources.SetDigest(Utf8ToTextExact(file.first), {});
        }
    }
    const std::vector<std::pair<std::string, std::string>> files(model.begin(), model.end());
    std::thread worker([&] {
        for (int i = 0; i < kFiles; ++i) {
            const auto& file = files[i * 7919 % kFiles];
            manager.OnFileInstalled(Utf8ToTextExact(file.first), 1, 2,
                                    Utf8ToTextExact(file.second));
            if (i % 50 == 0) ::Sleep(1);
        }
    });
    std::string expected;
    for (const auto& file : model) expected += file.first + "=" + file.second + "\r\n";
    for (int saves = 0; saves < 1000; ++saves) {
        ASSERT_TRUE(manager.SaveLocalManifest());
        const std::string saved = Read(root.path() + L"version.txt");
        size_t listed = 0;
        std::string previous;
        for (size_t at = 0, end; (end = saved.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            const size_t equals = saved.find('=', at);
            const std::string file = saved.substr(at, equals - at);
            const std::string recorded = saved.substr(equals + 1, end - equals - 1);
            ASSERT_LT(previous, file);
            ASSERT_TRUE(recorded.empty() || recorded == model[file]) << file;
            previous = file;
            listed += file[0] == 'l';
        }
        ASSERT_EQ(size_t(kFiles / 2), listed);
        if (saved.find("=\r\n") == std::string::npos) break;
    }
    worker.join();
    ASSERT_TRUE(manager.SaveLocalManifest());
    EXPECT_EQ(expected, Read(root.path() + L"version.txt"));
    ombrix::ScopedLock guard(manager.lock);
    manager.localResources.clear();
}
