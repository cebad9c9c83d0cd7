// The CDN downloader's pieces that need no server: configuration decoding, the file sink,
// task URLs, and the resource manager's comparison and base address.
#include <gtest/gtest.h>

#include <vector>

#include "TestTree.h"
#include "app/TextConvert.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNResourceDataProcessor.h"
#include "resources/CDNResourceDownloader.h"
#include "resources/ResourceManager.h"

using testing_tree::Gzip;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

TEST(CDNConfigText, DecodesUtf8AndAnsiAndRefusesUnsafeOrEmptyLists) {
    const std::wstring name = L"\u6570\u636E\\\u89D2\u8272.dat";  // in code page 936
    const std::wstring line = name + L"=abc=pkg/0001=0=10\r\n";
    for (const std::string& body : {TextToUtf8Exact(line), TextToNarrow(line)}) {
        ResoureConfigList list;
        ASSERT_EQ(CDNDownloadSuccess, ParseCDNConfigText(body, &list));
        ASSERT_EQ(1u, list.size());
        EXPECT_EQ(name, list[0].name);
        EXPECT_EQ(10, list[0].length);
    }
    ResoureConfigList list;
    EXPECT_EQ(CDNDownloadParseFailed, ParseCDNConfigText("", &list));
    EXPECT_EQ(CDNDownloadParseFailed, ParseCDNConfigText("<html>not a list</html>", &list));
    EXPECT_EQ(CDNDownloadParseFailed,
              ParseCDNConfigText("a=1=p=0=1\r\n..\\..\\evil.exe=2=p=1=1\r\n", &list));
    EXPECT_EQ(CDNDownloadParseFailed, ParseCDNConfigText("C:\\evil.exe=2=p=1=1\r\n", &list));
    EXPECT_EQ(CDNDownloadParseFailed, ParseCDNConfigText("a.dat:ads=2=p=1=1\r\n", &list));
    EXPECT_TRUE(list.empty());
}

TEST(CDNConfigText, RefusesRangesOutsideAPackage) {
    ResoureConfigList list;
    // A negative offset would fetch the whole package into a.dat and into its neighbour b.dat.
    EXPECT_EQ(CDNDownloadParseFailed,
              ParseCDNConfigText("a.dat=1=p=-10=10\r\nb.dat=2=p=0=100\r\n", &list));
    EXPECT_EQ(CDNDownloadParseFailed, ParseCDNConfigText("a.dat=1=p=0=-1\r\n", &list));
    EXPECT_EQ(CDNDownloadParseFailed,
              ParseCDNConfigText("a.dat=1=p=9223372036854775807=5\r\n", &list));
    EXPECT_TRUE(list.empty());
    // The last byte of the 64-bit range, and lines without range fields, are still accepted.
    EXPECT_EQ(CDNDownloadSuccess,
              ParseCDNConfigText("a.dat=1=p=9223372036854775806=1\r\nb.dat=2\r\n", &list));
    EXPECT_EQ(2u, list.size());
}

TEST(CDNResourceDataProcessor, RetriedAttemptCountsBytesOnceAndInstalls) {
    TempFolder dir;
    DownloadTaskInfo task;
    task.name = L"sub\\f.dat";
    CDNResourceDataProcessor sink(task, dir.path());
    std::vector<int64_t> deltas;
    sink.onBytesWritten = [&deltas](int64_t delta) { deltas.push_back(delta); };

    const std::string junk(600, 'j');
    ASSERT_TRUE(sink.OnBegin(0));
    EXPECT_FALSE(sink.OnBegin(0));  // an attempt is already open
    ASSERT_TRUE(sink.OnData(junk.data(), 600));
    EXPECT_FALSE(sink.OnFinish() && Read(dir.path() + L"sub\\f.dat") == "content");

    const std::string content = testing_tree::RandomBytes(5000, 4);
    const std::string packed = Gzip(content);
    ASSERT_GT(packed.size(), 600u);
    ASSERT_TRUE(sink.OnBegin(0));
    for (size_t i = 0; i < packed.size(); i += 100) {
        const std::string piece = packed.substr(i, 100);
        ASSERT_TRUE(sink.OnData(piece.data(), static_cast<uint32_t>(piece.size())));
    }
    ASSERT_TRUE(sink.OnFinish());
    EXPECT_EQ(content, Read(dir.path() + L"sub\\f.dat"));
    EXPECT_FALSE(FileExists(dir.path() + L"sub\\f.dat.t"));
    int64_t sum = 0;
    for (int64_t d : deltas) sum += d;
    EXPECT_EQ(static_cast<int64_t>(packed.size()), sum);  // never counted twice
    ASSERT_FALSE(deltas.empty());
    EXPECT_EQ(600, deltas[0]);

    std::string out;
    ASSERT_TRUE(sink.GetContent(out));
    EXPECT_EQ(content, out);
}

TEST(CDNResourceDataProcessor, EmptyBodyFailsAndFinishWithoutBodyKeepsStatus) {
    TempFolder dir;
    DownloadTaskInfo task;
    task.name = L"e.dat";
    CDNResourceDataProcessor sink(task, dir.path());
    EXPECT_TRUE(sink.OnFinish());  // an attempt that failed before its body
    EXPECT_FALSE(FileExists(dir.path() + L"e.dat"));
    ASSERT_TRUE(sink.OnBegin(0));
    EXPECT_FALSE(sink.OnFinish());
    EXPECT_TRUE(FileExists(dir.path() + L"e.dat.t"));
    std::string content = "untouched";
    EXPECT_TRUE(sink.GetContent(content));  // no installed file: out stays
    EXPECT_EQ("untouched", content);

    task.name = L"..\\outside.dat";
    CDNResourceDataProcessor unsafe(task, dir.path());
    EXPECT_FALSE(unsafe.OnBegin(0));
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

}  // namespace

TEST(ResourceManager, CompareFindsAddedChangedMissingAndRemovedFiles) {
    TempFolder root;
    CResourceManager& manager = CResourceManager::GetInstance();
    manager.gameDir = root.path();
    ASSERT_TRUE(Write(root.path() + L"same.dat", "x"));
    ASSERT_TRUE(Write(root.path() + L"changed.dat", "x"));
    ASSERT_TRUE(Write(root.path() + L"gone.dat", "x"));

    ResoureConfigMap local;
    ResoureConfigMap cdn;
    Put(&local, Record(L"same.dat", L"abc"));
    Put(&local, Record(L"changed.dat", L"ABC"));
    Put(&local, Record(L"missing.dat", L"m"));  // listed, but no file on disk
    Put(&local, Record(L"gone.dat", L"g"));
    Put(&cdn, Record(L"same.dat", L"abc", 1));
    Put(&cdn, Record(L"changed.dat", L"abc", 2));  // case counts
    Put(&cdn, Record(L"missing.dat", L"m", 4));
    Put(&cdn, Record(L"new.dat", L"n", 8));

    ResourceUpdateList downloads;
    ResourceUpdateList removals;
    ASSERT_EQ(1, manager.CompareManifests(&local, &cdn, &downloads, &removals, true));
    ASSERT_EQ(3u, downloads.size());  // key order: changed, missing, new
    EXPECT_EQ(L"changed.dat", downloads[0].name);
    EXPECT_EQ(UpdateTypeChanged, downloads[0].updateType);
    EXPECT_EQ(L"ABC", downloads[0].localMd5);
    EXPECT_EQ(L"abc", downloads[0].remoteMd5);
    EXPECT_EQ(L"missing.dat", downloads[1].name);
    EXPECT_EQ(UpdateTypeChanged, downloads[1].updateType);
    EXPECT_EQ(L"", local[L"missing.dat"].md5);
    EXPECT_EQ(L"new.dat", downloads[2].name);
    EXPECT_EQ(UpdateTypeAdded, downloads[2].updateType);
    EXPECT_EQ(L"pkg/0001", downloads[2].packageDir);
    EXPECT_EQ(10, downloads[2].offset);
    EXPECT_EQ(8, downloads[2].length);
    ASSERT_EQ(1u, removals.size());
    EXPECT_EQ(L"gone.dat", removals[0].name);
    EXPECT_EQ(UpdateTypeRemoved, removals[0].updateType);
    EXPECT_EQ(L"g", removals[0].remoteMd5);

    // Without the existence check a missing file with a matching digest is not fetched.
    ResoureConfigMap launcherLocal;
    Put(&launcherLocal, Record(L"absent.dll", L"d"));
    ResoureConfigMap launcherCdn;
    Put(&launcherCdn, Record(L"absent.dll", L"d"));
    downloads.clear();
    removals.clear();
    manager.CompareManifests(&launcherLocal, &launcherCdn, &downloads, &removals, false);
    EXPECT_TRUE(downloads.empty());

    // An empty local list fetches everything.
    ResoureConfigMap none;
    downloads.clear();
    manager.CompareManifests(&none, &cdn, &downloads, &removals, true);
    EXPECT_EQ(4u, downloads.size());
    EXPECT_EQ(0, manager.CompareManifests(nullptr, &cdn, &downloads, &removals, true));
}
