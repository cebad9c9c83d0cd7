// File and disk services, on real files in a temp folder of the test prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include "app/DriveChoice.h"
#include "app/FileServices.h"
#include "tests/app/TestFolder.h"

namespace {

bool WriteRaw(const std::wstring& path, const std::string& bytes) {
    return WriteFileBytes(path.c_str(), bytes);
}

}  // namespace

TEST(FileServices, FileExistsOnlyForOpenableFiles) {
    TestFolder folder(L"exists");
    const std::wstring file = folder.Path() + L"a.txt";
    EXPECT_FALSE(FileExists(file));
    ASSERT_TRUE(WriteRaw(file, "x"));
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(folder.Path()));
    EXPECT_FALSE(FileExists(folder.Path().substr(0, folder.Path().size() - 1)));
    EXPECT_TRUE(DirectoryExists(folder.Path()));
    EXPECT_FALSE(DirectoryExists(file));

    EXPECT_TRUE(DeleteFileIfExists(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(DeleteFileIfExists(file));
    EXPECT_FALSE(DeleteFileIfExists(folder.Path()));
    EXPECT_TRUE(DirectoryExists(folder.Path()));
}

TEST(FileServices, CreateDirectoriesReportsTheLastCreation) {
    TestFolder folder(L"dirs");
    const std::wstring x = folder.Path() + L"x";
    ASSERT_TRUE(::CreateDirectoryW(x.c_str(), nullptr));
    EXPECT_TRUE(CreateDirectories(x + L"\\y"));
    EXPECT_TRUE(DirectoryExists(x + L"\\y"));
    EXPECT_FALSE(CreateDirectories(x + L"\\y"));  // nothing missing
    EXPECT_FALSE(CreateDirectories(x + L"\\y\\"));
    EXPECT_TRUE(CreateDirectories(folder.Path() + L"p\\q\\r\\"));
    EXPECT_TRUE(DirectoryExists(folder.Path() + L"p\\q\\r"));
    EXPECT_FALSE(CreateDirectories(L""));
    // A file in the way: the directory below it cannot be made.
    ASSERT_TRUE(WriteRaw(folder.Path() + L"f", "1"));
    EXPECT_FALSE(CreateDirectories(folder.Path() + L"f\\g"));
}

TEST(FileServices, GetParentDirectory) {
    std::wstring out = L"untouched";
    EXPECT_TRUE(GetParentDirectory(L"C:\\a\\b.txt", &out));
    EXPECT_EQ(L"C:\\a", out);
    EXPECT_TRUE(GetParentDirectory(L"C:\\a\\", &out));
    EXPECT_EQ(L"C:\\a", out);
    out = L"untouched";
    EXPECT_FALSE(GetParentDirectory(L"b.txt", &out));
    EXPECT_EQ(L"untouched", out);
}

TEST(FileServices, ReadTextFileWithAndWithoutByteOrderMark) {
    TestFolder folder(L"text");
    const std::string utf8 = "\xE4\xB8\xAD\xE6\x96\x87 line\r\nnext";
    const std::wstring plain = folder.Path() + L"plain.txt";
    const std::wstring marked = folder.Path() + L"marked.txt";
    ASSERT_TRUE(WriteRaw(plain, utf8));
    ASSERT_TRUE(WriteRaw(marked, "\xEF\xBB\xBF" + utf8));
    std::wstring a, b;
    EXPECT_TRUE(ReadTextFile(plain.c_str(), &a));
    EXPECT_TRUE(ReadTextFile(marked.c_str(), &b));
    EXPECT_EQ(L"\u4E2D\u6587 line\r\nnext", a);
    EXPECT_EQ(a, b);

    // A file holding only the mark, or nothing, reads as empty text.
    ASSERT_TRUE(WriteRaw(marked, "\xEF\xBB\xBF"));
    EXPECT_TRUE(ReadTextFile(marked.c_str(), &b));
    EXPECT_EQ(L"", b);
    ASSERT_TRUE(WriteRaw(plain, ""));
    EXPECT_TRUE(ReadTextFile(plain.c_str(), &a));
    EXPECT_EQ(L"", a);

    EXPECT_FALSE(ReadTextFile(nullptr, &a));
    EXPECT_FALSE(ReadTextFile((folder.Path() + L"missing.txt").c_str(), &a));
    EXPECT_FALSE(ReadTextFile(folder.Path().c_str(), &a));
}

TEST(FileServices, WriteTextFileCreatesFoldersAndWritesUtf8WithoutMark) {
    TestFolder folder(L"write");
    const std::wstring path = folder.Path() + L"deep\\er\\t.txt";
    EXPECT_TRUE(WriteTextFile(path.c_str(), L"\u4E2Dx"));
    std::string bytes;
    EXPECT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ("\xE4\xB8\xADx", bytes);

    EXPECT_TRUE(WriteTextFile(path.c_str(), L"y"));  // truncates
    bytes.clear();
    EXPECT_TRUE(ReadFileBytes(path, &bytes));
    EXPECT_EQ("y", bytes);

    EXPECT_FALSE(WriteTextFile(nullptr, L"y"));
    EXPECT_FALSE(WriteTextFile(folder.Path().c_str(), L"y"));  // a folder cannot be a file
}

TEST(FileServices, ReadFileBytes) {
    TestFolder folder(L"bytes");
    const std::wstring path = folder.Path() + L"b.bin";
    const std::string data("\x00\x01\xFF\x00z", 5);
    ASSERT_TRUE(WriteRaw(path, data));
    std::string out;
    EXPECT_TRUE(ReadFileBytes(path, &out));
    EXPECT_EQ(data, out);

    ASSERT_TRUE(WriteRaw(path, ""));
    out = "kept";
    EXPECT_TRUE(ReadFileBytes(path, &out));
    EXPECT_EQ("kept", out);
    EXPECT_FALSE(ReadFileBytes(folder.Path() + L"missing", &out));
}

TEST(FileServices, GetFileVersion) {
    TestFolder folder(L"version");
    const std::wstring plain = folder.Path() + L"plain.bin";
    ASSERT_TRUE(WriteRaw(plain, "not an executable"));
    uint32_t major = 7, minor = 7, build = 7, revision = 7;
    EXPECT_TRUE(GetFileVersion(plain, &major, &minor, &build, &revision));
    EXPECT_EQ(7u, major);  // no version resource: numbers untouched
    EXPECT_EQ(7u, revision);
    EXPECT_FALSE(GetFileVersion(folder.Path() + L"missing.exe", &major, &minor, &build, &revision));
}

TEST(FileServices, IsWritableDirectoryLeavesNoProbe) {
    TestFolder folder(L"probe");
    const std::wstring dir = folder.Path() + L"made\\here\\";
    EXPECT_TRUE(IsWritableDirectory(dir));
    EXPECT_TRUE(DirectoryExists(dir));
    EXPECT_FALSE(FileExists(dir + L"launcher_test.txt"));
    EXPECT_TRUE(IsWritableDirectory(dir));  // a second probe in the same place
    EXPECT_FALSE(FileExists(dir + L"launcher_test.txt"));

    // Below a file nothing can be created.
    ASSERT_TRUE(WriteRaw(folder.Path() + L"file", "1"));
    EXPECT_FALSE(IsWritableDirectory(folder.Path() + L"file\\sub\\"));
}

TEST(FileServices, OnlyFixedDriveOfThePrefixIsC) {
    std::vector<std::wstring> drives;
    ASSERT_TRUE(ListFixedDrives(&drives));
    for (const std::wstring& root : drives) EXPECT_NE(L"Z:\\", root);
    std::wstring best = L"junk";
    ASSERT_TRUE(FindLargestFreeDrive(&best));
    EXPECT_EQ(L"C:\\", best);
    EXPECT_FALSE(FileExists(L"C:\\launcher_test.txt"));
}

TEST(DriveChoice, MostFreeWritableDriveEarlierWinsTies) {
    auto drive = [](const wchar_t* root, bool writable, bool known, uint64_t free) {
        DriveCandidate d;
        d.root = root;
        d.writable = writable;
        d.spaceKnown = known;
        d.freeBytes = free;
        return d;
    };
    EXPECT_EQ(L"D:\\", ChooseLargestFreeDrive(
                           {drive(L"C:\\", true, true, 10), drive(L"D:\\", true, true, 20)}));
    EXPECT_EQ(L"C:\\", ChooseLargestFreeDrive(
                           {drive(L"C:\\", true, true, 20), drive(L"D:\\", true, true, 20)}));
    EXPECT_EQ(L"C:\\", ChooseLargestFreeDrive({drive(L"C:\\", true, true, 5),
                                               drive(L"D:\\", false, true, 50),
                                               drive(L"E:\\", true, false, 0)}));
    EXPECT_EQ(L"", ChooseLargestFreeDrive({drive(L"C:\\", true, true, 0)}));
    EXPECT_EQ(L"", ChooseLargestFreeDrive({}));
}
