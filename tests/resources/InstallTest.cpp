// The on-disk procedures: unpacking, temporary download files, the launcher bundle, the local
// manifest files and the resource hash.
#include <gtest/gtest.h>

#include "TestTree.h"
#include "app/Crypto.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "resources/FileDigests.h"
#include "resources/FolderListing.h"
#include "resources/GunzipFile.h"
#include "resources/LauncherBundle.h"
#include "resources/ManifestFile.h"
#include "resources/ResourceHash.h"
#include "framework/ScopedHandle.h"

using testing_tree::Gzip;
using testing_tree::RandomBytes;
using testing_tree::Read;
using testing_tree::TempFolder;
using testing_tree::Write;

TEST(GunzipFile, UnpacksGzipAndPassesPlainDataThrough) {
    TempFolder dir;
    const std::string content = RandomBytes(300000, 1);
    ASSERT_TRUE(Write(dir.path() + L"in.gz", Gzip(content)));
    ASSERT_TRUE(GunzipFile(dir.path() + L"in.gz", dir.path() + L"\u89D2\u8272.dat"));
    EXPECT_EQ(content, Read(dir.path() + L"\u89D2\u8272.dat"));

    ASSERT_TRUE(Write(dir.path() + L"plain", "plain bytes, no gzip header"));
    ASSERT_TRUE(GunzipFile(dir.path() + L"plain", dir.path() + L"out"));
    EXPECT_EQ("plain bytes, no gzip header", Read(dir.path() + L"out"));

    EXPECT_FALSE(GunzipFile(dir.path() + L"missing", dir.path() + L"out2"));
}

TEST(GunzipFile, RefusesDamagedOrTruncatedStreams) {
    TempFolder dir;
    const std::string packed = Gzip(RandomBytes(5000, 2));
    std::string damaged = packed;
    damaged[damaged.size() - 6] ^= 0x01;  // inside the CRC-32 of the trailer
    ASSERT_TRUE(Write(dir.path() + L"crc.gz", damaged));
    EXPECT_FALSE(GunzipFile(dir.path() + L"crc.gz", dir.path() + L"out"));

    damaged = packed;
    damaged[packed.size() / 2] ^= 0x55;  // inside the deflate data
    ASSERT_TRUE(Write(dir.path() + L"body.gz", damaged));
    EXPECT_FALSE(GunzipFile(dir.path() + L"body.gz", dir.path() + L"out"));

    // A stream cut short reads as a plain end of data; only its close reports the loss.
    ASSERT_TRUE(Write(dir.path() + L"short.gz", packed.substr(0, packed.size() - 100)));
    EXPECT_FALSE(GunzipFile(dir.path() + L"short.gz", dir.path() + L"out"));
}

TEST(LauncherBundle, LayoutOfAFilledAndCompletedBundle) {
    TempFolder dir;
    const std::wstring bundle = dir.path() + L"launcher.tmp";
    ASSERT_TRUE(Write(bundle, "previous bundle"));
    ResetBundle(bundle);
    EXPECT_EQ(std::string(1, '\0'), Read(bundle));
    AppendBundleRecord(bundle, "x.dll", "MZ");
    EXPECT_EQ('\0', Read(bundle)[0]);  // still being filled
    AppendBundleRecord(bundle, "launcher_manifest.txt", "x.dll=1\r\n");
    SetBundleFlag(bundle, 1);
    const std::string expected = std::string("\x01", 1) + std::string("\x05\0\0\0", 4) + "x.dll" +
                                 std::string("\x02\0\0\0", 4) + "MZ" +
                                 std::string("\x15\0\0\0", 4) + "launcher_manifest.txt" +
                                 std::string("\x09\0\0\0", 4) + "x.dll=1\r\n";
    EXPECT_EQ(expected, Read(bundle));
    DeleteBundle(bundle);
    EXPECT_FALSE(FileExists(bundle));
    EXPECT_EQ(std::string("\x04\x03\x02\x01", 4), EncodeUInt32LE(0x01020304u));
}

TEST(ManifestFile, ReadsBomZeroAndShortFiles) {
    TempFolder dir;
    ResoureConfigList list;
    EXPECT_FALSE(ReadManifestFile(dir.path() + L"missing.txt", &list));
    EXPECT_TRUE(list.empty());

    ASSERT_TRUE(Write(dir.path() + L"bom.txt",
                      "\xEF\xBB\xBF"
                      "a=1\r\n"));
    ASSERT_TRUE(ReadManifestFile(dir.path() + L"bom.txt", &list));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ(L"a", list[0].name);

    // EF 41 42 is no byte-order mark: the bytes stay part of the first name.
    list.clear();
    ASSERT_TRUE(Write(dir.path() + L"nobom.txt",
                      "\xEF"
                      "AB=1"));
    ASSERT_TRUE(ReadManifestFile(dir.path() + L"nobom.txt", &list));
    ASSERT_EQ(1u, list.size());
    EXPECT_NE(L"AB", list[0].name);

    list.clear();
    ASSERT_TRUE(Write(dir.path() + L"zero.txt", std::string("a=1\r\nb=2\0\r\nc=3", 14)));
    ASSERT_TRUE(ReadManifestFile(dir.path() + L"zero.txt", &list));
    EXPECT_EQ(2u, list.size());

    list.clear();
    ASSERT_TRUE(Write(dir.path() + L"short.txt", "a="));
    EXPECT_TRUE(ReadManifestFile(dir.path() + L"short.txt", &list));
    EXPECT_TRUE(list.empty());
}

TEST(ManifestFile, WriteReplacesWholeFileAndLeavesNoStagingFile) {
    TempFolder dir;
    const std::wstring path = dir.path() + L"new\\version.txt";
    ASSERT_TRUE(WriteManifestFile(path, L"a=1\r\nb=2\r\n"));
    EXPECT_EQ("a=1\r\nb=2\r\n", Read(path));
    ASSERT_TRUE(WriteManifestFile(path, L"\u89D2=3\r\n"));
    EXPECT_EQ("\xE8\xA7\x92=3\r\n", Read(path));
    EXPECT_FALSE(FileExists(path + L".new"));

    // When the new text cannot be staged, the previous content stays whole.
    ASSERT_TRUE(CreateDirectories(path + L".new\\"));
    EXPECT_FALSE(WriteManifestFile(path, L"c=4\r\n"));
    EXPECT_EQ("\xE8\xA7\x92=3\r\n", Read(path));
}

// A text written in slices: a file holding exactly its bytes is not touched (its write time,
// set back first, stays); any difference, wherever it lies, replaces the whole file.
TEST(ManifestFile, SlicedWriteLeavesEqualFilesAndReplacesAnyOther) {
    const std::string text = RandomBytes(200000, 7);
    const auto flipped = [&text](size_t at) {
        std::string other = text;
        other[at] ^= 1;
        return other;
    };
    const std::string start = flipped(0), middle = flipped(100000), end = flipped(199999);
    const std::string part = text.substr(0, 150000);
    // Same; differing at the start, middle, end; longer; shorter; emptied; empty and empty; a
    // new file; nothing where nothing was.
    const struct {
        bool hasOld;
        std::string old;
        std::string text;
        bool written;
    } cases[] = {
        {true, text, text, false}, {true, start, text, true}, {true, middle, text, true},
        {true, end, text, true},   {true, part, text, true},  {true, text, part, true},
        {true, text, "", true},    {true, "", "", false},     {false, "", text, true},
        {false, "", "", false},
    };
    const FILETIME old{0x10000000, 0x01C00000};
    for (size_t row = 0; row < sizeof(cases) / sizeof(cases[0]); ++row) {
        for (size_t slice : {size_t(1000), size_t(1) << 20}) {
            const auto& c = cases[row];
            SCOPED_TRACE(std::to_string(row) + " " + std::to_string(slice));
            TempFolder dir;
            const std::wstring path = dir.path() + L"version.txt";
            if (c.hasOld) {
                ASSERT_TRUE(Write(path, c.old));
                ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                                            nullptr, OPEN_EXISTING, 0, nullptr));
                ASSERT_TRUE(::SetFileTime(file.Get(), nullptr, nullptr, &old));
            }
            size_t at = 0;
            ASSERT_TRUE(WriteManifestSlices(path, [&](std::string* bytes) {
                *bytes = c.text.substr(at, slice);
                at += bytes->size();
                return at == c.text.size();
            }));
            EXPECT_FALSE(FileExists(path + L".new"));
            EXPECT_EQ(c.hasOld || c.written, FileExists(path));
            EXPECT_TRUE(c.text == Read(path));
            WIN32_FILE_ATTRIBUTE_DATA data{};
            if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
                EXPECT_EQ(c.written, ::CompareFileTime(&data.ftLastWriteTime, &old) != 0);
            }
        }
    }
}

TEST(ResourceHash, SortsByNameAndHashesTheDigests) {
    TempFolder dir;
    EXPECT_EQ(L"", ComputeResourceHash(dir.path() + L"version.txt"));

    ASSERT_TRUE(Write(dir.path() + L"v1.txt", "b=22\r\na=11\r\n"));
    ASSERT_TRUE(Write(dir.path() + L"v2.txt", "a=11\r\nb=22\r\n"));
    const std::string expected = BytesToHex(Md5Digest("1122"));
    EXPECT_EQ(std::wstring(expected.begin(), expected.end()),
              ComputeResourceHash(dir.path() + L"v1.txt"));
    EXPECT_EQ(ComputeResourceHash(dir.path() + L"v1.txt"),
              ComputeResourceHash(dir.path() + L"v2.txt"));

    // Lines sharing a name keep their order (a stable sort).
    ASSERT_TRUE(Write(dir.path() + L"dup.txt", "a=2\r\na=1\r\n"));
    const std::string dup = BytesToHex(Md5Digest("21"));
    EXPECT_EQ(std::wstring(dup.begin(), dup.end()), ComputeResourceHash(dir.path() + L"dup.txt"));

    ASSERT_TRUE(Write(dir.path() + L"none.txt", "no valid line"));
    const std::string empty = BytesToHex(Md5Digest(""));
    EXPECT_EQ(std::wstring(empty.begin(), empty.end()),
              ComputeResourceHash(dir.path() + L"none.txt"));
}

TEST(FolderListing, EveryFileOfAFolderWhateverTheBlockAndTheNames) {
    TempFolder dir;
    // More entries than one block holds, names up to the longest a file system takes, letter
    // case of the file system's own, a folder among the files.
    std::vector<std::wstring> names;
    for (int i = 0; i < 40; ++i) names.push_back(L"d\\f" + std::to_wstring(i) + L".dat");
    names.push_back(L"d\\" + std::wstring(255, L'n'));
    names.push_back(L"d\\" + std::wstring(84, L'\u89D2') + L"x");
    names.push_back(L"d\\\u00C6r\u00F8.dat");  // letters with case beyond ASCII
    names.push_back(L"Top.DAT");
    for (size_t i = 0; i < names.size(); ++i) {
        ASSERT_TRUE(Write(L"\\\\?\\" + dir.path() + names[i], std::string(i * 7, 'x'))) << i;
    }
    ASSERT_TRUE(CreateDirectories(dir.path() + L"d\\sub.dat\\"));
    std::vector<const std::wstring*> wanted;
    for (const std::wstring& name : names) wanted.push_back(&name);
    const std::wstring sub = L"d\\sub.dat";
    const std::wstring gone = L"d\\gone.dat";
    // The folder d named again in another case and with "/": listed once all the same.
    const std::wstring again = L"D/f3.dat";
    wanted.push_back(&sub);
    wanted.push_back(&gone);
    wanted.push_back(&again);

    const struct {
        size_t block;
        unsigned threads;
    } cases[] = {{0, 1},
                 {700, 2},
                 {FolderListing::kDefaultBlockBytes, 1},
                 {FolderListing::kDefaultBlockBytes, 2},
                 {FolderListing::kDefaultBlockBytes, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.block << " " << c.threads);
        FolderListing listing(c.block, c.threads);
        listing.ListFoldersOf(dir.path(), wanted);
        EXPECT_EQ(names.size(), listing.size());
        for (size_t i = 0; i < names.size(); ++i) {
            WIN32_FILE_ATTRIBUTE_DATA data;
            ASSERT_TRUE(::GetFileAttributesExW((L"\\\\?\\" + dir.path() + names[i]).c_str(),
                                               GetFileExInfoStandard, &data));
            const ListedFile* listed = listing.Find(names[i]);
            ASSERT_NE(nullptr, listed) << i;
            EXPECT_EQ(i * 7, listed->size) << i;
            const uint64_t time =
                (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                data.ftLastWriteTime.dwLowDateTime;
            EXPECT_EQ(time, listed->writeTime) << i;
        }
        EXPECT_NE(nullptr, listing.Find(L"D/F1.DAT"));
        EXPECT_NE(nullptr, listing.Find(L"top.dat"));
        EXPECT_EQ(listing.Find(names[names.size() - 2]), listing.Find(L"d/\u00E6R\u00D8.DAT"));
        EXPECT_EQ(nullptr, listing.Find(sub));
        EXPECT_EQ(nullptr, listing.Find(gone));
    }
}

TEST(FileDigests, WholeContentWhateverTheListedSize) {
    TempFolder dir;
    const std::string small = RandomBytes(3000, 1);
    const std::string large = RandomBytes(3 * 1024 * 1024 + 5, 2);
    const auto digestOf = [](const std::string& bytes) {
        const std::string hex = BytesToHex(Md5Digest(bytes));
        return std::wstring(hex.begin(), hex.end());
    };
    ASSERT_TRUE(Write(dir.path() + L"small", small));
    ASSERT_TRUE(Write(dir.path() + L"large", large));
    ASSERT_TRUE(Write(dir.path() + L"empty", ""));
    const struct {
        const wchar_t* name;
        uint64_t listedSize;  // the file changed size between listing and reading
        std::wstring digest;
        bool matches;
    } cases[] = {
        {L"small", small.size(), digestOf(small), true},
        {L"small", small.size() - 1000, digestOf(small), true},  // grew
        {L"small", small.size() + 1000, digestOf(small), true},  // shrank
        {L"small", 0, digestOf(small), true},
        {L"small", small.size(), digestOf(small.substr(0, 2999)), false},
        {L"large", large.size(), digestOf(large), true},
        {L"large", 1024 * 1024 - 1, digestOf(large), true},
        {L"large", large.size(), digestOf(large + "x"), false},
        {L"empty", 0, digestOf(""), true},
        {L"empty", 10, digestOf(""), true},
        {L"gone", 10, digestOf(""), false},
    };
    std::vector<DigestJob> jobs;
    for (const auto& c : cases) {
        DigestJob job;
        job.path = dir.path() + c.name;
        job.digest = c.digest;
        job.size = c.listedSize;
        jobs.push_back(job);
    }
    DigestFiles(&jobs, nullptr);
    for (size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(cases[i].matches, jobs[i].matches) << i;
}
