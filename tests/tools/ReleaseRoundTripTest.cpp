// Releases of one tree installed through the launcher's update path (OmbrixUpdate against
// nginx on 127.0.0.1): every release installs byte for byte, from an empty installation and
// from the previous release, also after later releases and cleanups; an update fetches only
// the ranges of the files that changed.
#include <gtest/gtest.h>

#include "PackHarness.h"
#include "resources/ManifestText.h"

using namespace pack_harness;
using testing_tree::RandomBytes;
using testing_tree::Read;
using testing_tree::TempFolder;
using update_harness::Env;
using update_harness::Files;

namespace {

class PackReleaseRoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Env(L"OMBRIX_TEST_CDN_URL").empty()) GTEST_SKIP() << "run through run-with-cdn.sh";
    }
};

const wchar_t kTree[] = L"releases";

// Installs release NAME into root with OmbrixUpdate; true when it ended with state 19 and the
// game folder holds exactly the files.
bool Installs(const std::wstring& root, const std::wstring& release, const Files& files) {
    const std::wstring url = Env(L"OMBRIX_TEST_CDN_URL") + kTree + L"/config/" + release + L".txt";
    if (update_harness::RunProgram(L"OmbrixUpdate.exe", L"--root " + Quote(root) + L" --config " +
                                                            url + L" --retry-pause-ms 0") != 0) {
        return false;
    }
    return Snapshot(root + L"game\\") == files;
}

ResoureConfigList ConfigOf(const std::wstring& release) {
    ResoureConfigList list;
    ParseManifestText(Utf8ToTextExact(Read(Env(L"OMBRIX_TEST_CDN_ROOT") + kTree + L"\\config\\" +
                                           release + L".txt")),
                      &list);
    return list;
}

// Bytes the CDN sent for package requests, by its log from byte `from` on.
int64_t PackageBytesSent(size_t from) {
    int64_t sent = 0;
    const std::string log = Read(Env(L"OMBRIX_TEST_CDN_LOG"));
    for (size_t at = from; at < log.size();) {
        const size_t end = log.find('\n', at);
        const std::string line = log.substr(at, end - at);
        at = end == std::string::npos ? log.size() : end + 1;
        const size_t get = line.find("\"GET /");
        const size_t path = get + 5;
        const size_t pathEnd = line.find_first_of("? ", path);
        if (get == std::string::npos || line.find("/pkg/", path) > pathEnd) continue;
        // ... HTTP/1.1" STATUS BYTES
        const size_t quote = line.find('"', pathEnd);
        const size_t bytes = line.find(' ', quote + 2) + 1;
        sent += std::stoll(line.substr(bytes));
    }
    return sent;
}

}  // namespace

TEST_F(PackReleaseRoundTrip, ReleasesOfOneTreeInstallByteForByte) {
    const std::wstring tree = Env(L"OMBRIX_TEST_CDN_ROOT") + kTree + L"\\";
    Files r1;
    for (int i = 0; i < 30; ++i) {
        r1[L"data\\f" + std::to_wstring(i) + L".bin"] =
            RandomBytes(500 + 9000 * (i % 7), static_cast<unsigned>(i));
    }
    r1[L"big.pak"] = RandomBytes(1500000, 99);  // larger than a package
    r1[L"empty.txt"] = "";
    r1[L"huge.bin"] = RandomBytes(9 << 20, 7);  // too large to hold: streamed into a package
    ASSERT_EQ(0, PublishRelease(tree, L"r1", r1));
    TempFolder fromR1;
    ASSERT_TRUE(Installs(fromR1.path(), L"r1", r1));

    Files r2 = r1;
    r2[L"data\\f3.bin"] = RandomBytes(4321, 1234);     // changed
    r2[L"big.pak"][700000] ^= 0x55;                    // changed
    r2[L"new\\added.bin"] = RandomBytes(20000, 555);   // added
    r2[L"new\\same-as-f5.bin"] = r1[L"data\\f5.bin"];  // added, content stored already
    r2.erase(L"data\\f4.bin");                         // removed
    const Files before = Snapshot(tree);
    ASSERT_EQ(0, PublishRelease(tree, L"r2", r2));
    // No configuration or package of release 1 was rewritten (only the record at the root).
    const Files after = Snapshot(tree);
    for (const auto& file : before) {
        const bool atRoot = file.first.find(L'\\') == std::wstring::npos;
        EXPECT_TRUE(atRoot || after.at(file.first) == file.second);
    }

    // Only the changed and added files are packed again (same-as-f5.bin has f5.bin's range)
    // and only their ranges are fetched by an update from release 1.
    std::map<std::wstring, std::wstring> digests1;
    for (const ResoureConfigInfo& line : ConfigOf(L"r1")) digests1[line.name] = line.md5;
    size_t packedAgain = 0;
    int64_t changedBytes = 0;
    for (const ResoureConfigInfo& line : ConfigOf(L"r2")) {
        packedAgain += before.count(L"pkg\\" + line.packageDir.substr(4) + L"\\qz_game.qzpkg") == 0;
        if (digests1[line.name] != line.md5) changedBytes += line.length;
    }
    EXPECT_EQ(3u, packedAgain);
    const size_t logFrom = Read(Env(L"OMBRIX_TEST_CDN_LOG")).size();
    ASSERT_TRUE(Installs(fromR1.path(), L"r2", r2));
    EXPECT_EQ(changedBytes, PackageBytesSent(logFrom));

    // From nothing, each release, also once release 2 was published, and after cleanups.
    const struct {
        const wchar_t* prune;  // before the installs, when not empty
        std::vector<std::pair<std::wstring, const Files*>> installs;
    } stages[] = {
        {L"", {{L"r2", &r2}, {L"r1", &r1}}},
        {L"2", {{L"r1", &r1}, {L"r2", &r2}}},
        {L"1", {{L"r2", &r2}}},
    };
    for (const auto& stage : stages) {
        if (*stage.prune) {
            ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --prune --keep " + stage.prune));
        }
        for (const auto& install : stage.installs) {
            TempFolder root;
            EXPECT_TRUE(Installs(root.path(), install.first, *install.second))
                << install.first.size() << " after keeping " << stage.prune[0];
        }
    }
    EXPECT_FALSE(FileExists(tree + L"config\\r1.txt"));
}
