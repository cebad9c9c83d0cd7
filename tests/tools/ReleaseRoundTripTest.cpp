// Releases of one tree installed through the launcher's update path (OmbrixUpdate against
// nginx on 127.0.0.1): every release installs byte for byte, from an empty installation and
// from the previous release, also after later releases and cleanups; an update fetches only
// the ranges of the files that changed.
#include <gtest/gtest.h>

#include <set>

#include "PackHarness.h"
#include "TreeSigning.h"
#include "app/Crypto.h"
#include "app/EcdsaP256.h"
#include "app/Sha256.h"
#include "resources/ContentChunker.h"
#include "resources/ManifestText.h"
#include "resources/SignedConfig.h"

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
bool Installs(const std::wstring& root, const std::wstring& release, const Files& files,
              const std::wstring& tree = kTree) {
    const std::wstring url = Env(L"OMBRIX_TEST_CDN_URL") + tree + L"/config/" + release + L".txt";
    if (update_harness::RunProgram(L"OmbrixUpdate.exe", L"--root " + Quote(root) + L" --config " +
                                                            url + L" --retry-pause-ms 0") != 0) {
        return false;
    }
    return Snapshot(root + L"game\\") == files;
}

ResoureConfigList ConfigOf(const std::wstring& release, const std::wstring& tree = kTree) {
    ResoureConfigList list;
    ParseManifestText(Utf8ToTextExact(Read(Env(L"OMBRIX_TEST_CDN_ROOT") + tree + L"\\config\\" +
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

// OmbrixUpdate with --publisher-key on a configuration of the tree: its output.
std::string CheckedUpdate(const std::wstring& root, const std::wstring& tree,
                          const std::wstring& config, const std::wstring& key) {
    TempFolder out;
    const std::wstring path = out.path() + L"out.txt";
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::wstring commandLine = L"\"" + update_harness::ProgramDir() +
                               L"OmbrixUpdate.exe\" --root " + Quote(root) + L" --config " +
                               Env(L"OMBRIX_TEST_CDN_URL") + tree + L"/config/" + config +
                               L".txt --retry-pause-ms 0 --publisher-key " + Quote(key + L".pub");
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file.Get();
    startup.hStdError = file.Get();
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return std::string();
    }
    ::WaitForSingleObject(process.hProcess, 120000);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
    file.Reset();
    return Read(path);
}

// A configuration's records and signed part signed by hand (an expiry in the past, a foreign
// key, records the tool would never write).
std::string SignByHand(const std::string& records, uint64_t serial, int64_t expiresAt,
                       const SigningKey& key) {
    SignedPart part;
    part.release = "s2";
    part.serial = serial;
    part.signedAt = 1700000000;
    part.expiresAt = expiresAt;
    const std::string text = records + FormatSignedFields(part);
    std::string signature;
    SignP256(key.privateKey, Sha256Digest(text), &signature);
    return text + FormatSignatureLine(signature);
}

std::string RecordsOf(const std::string& config) {
    return config.substr(0, FindSignedPartStart(config));
}

}  // namespace

// The tool signs every configuration it writes under a growing serial, refuses to write one
// without the tree's key, and re-issues an older release when the notice switches back to it;
// a launcher carrying the key (OmbrixUpdate --publisher-key) refuses every configuration that is
// not genuine, current and unexpired before it requests any package or changes any file.
TEST_F(PackReleaseRoundTrip, SignedReleasesAreCheckedBeforeAnythingIsFetched) {
    const std::wstring cdn = Env(L"OMBRIX_TEST_CDN_ROOT");
    const std::wstring tree = cdn + L"signed\\";
    TempFolder keys;
    const std::wstring key = keys.path() + L"publisher.key";
    const std::wstring other = keys.path() + L"other.key";
    ASSERT_EQ(0, Pack(L"--new-key " + Quote(key)));
    ASSERT_EQ(0, Pack(L"--new-key " + Quote(other)));
    EXPECT_EQ(1, Pack(L"--new-key " + Quote(key)));  // a key is never replaced
    SigningKey genuine;
    SigningKey foreign;
    std::wstring error;
    ASSERT_TRUE(ReadSigningKey(key, &genuine, &error));
    ASSERT_TRUE(ReadSigningKey(other, &foreign, &error));

    Files s1;
    for (int i = 0; i < 12; ++i) {
        s1[L"data\\f" + std::to_wstring(i) + L".bin"] = RandomBytes(3000 + 5000 * i, i);
    }
    Files s2 = s1;
    s2[L"data\\f3.bin"] = RandomBytes(7777, 33);
    const auto publish = [&tree](const std::wstring& release, const Files& files,
                                 const std::wstring& options) {
        TempFolder source;
        update_harness::WriteTree(source.path(), files);
        return Pack(L"--game " + Quote(source.path()) + L" --cdn " + Quote(tree) + L" --release " +
                    release + L" --package-mib 1" + options);
    };
    ASSERT_EQ(0, publish(L"s1", s1, L" --key " + Quote(key)));
    const Files signedTree = Snapshot(tree);
    EXPECT_EQ(1, publish(L"s2", s2, L""));                        // the tree signs
    EXPECT_EQ(1, publish(L"s2", s2, L" --key " + Quote(other)));  // with its own key
    EXPECT_EQ(1, Pack(L"--cdn " + Quote(tree) + L" --notice " + Quote(keys.path() + L"n.json") +
                      L" --release s1 --url http://127.0.0.1/signed/"));
    EXPECT_EQ(signedTree, Snapshot(tree));
    ASSERT_EQ(0, publish(L"s2", s2, L" --key " + Quote(key) + L" --expires-days 30"));
    const std::string config1 = Read(tree + L"config\\s1.txt");
    const std::string config2 = Read(tree + L"config\\s2.txt");
    SignedPart part1;
    SignedPart part2;
    ASSERT_TRUE(ParseSignedPart(config1, &part1));
    ASSERT_TRUE(ParseSignedPart(config2, &part2));
    EXPECT_EQ(1u, part1.serial);
    EXPECT_EQ(2u, part2.serial);
    EXPECT_EQ(0, part1.expiresAt);
    EXPECT_EQ(30 * 86400, part2.expiresAt - part2.signedAt);
    EXPECT_TRUE(VerifyP256(genuine.publicKey, Sha256Digest(config2.substr(0, part2.signedLength)),
                           part2.signature));

    TempFolder root;
    EXPECT_NE(std::string::npos, CheckedUpdate(root.path(), L"signed", L"s1", key)
                                     .find("signature accepted release=s1 serial=1"));
    const std::string accepted = CheckedUpdate(root.path(), L"signed", L"s2", key);
    EXPECT_NE(std::string::npos, accepted.find("signature accepted release=s2 serial=2"));
    EXPECT_NE(std::string::npos, accepted.find("state 19"));
    EXPECT_EQ(s2, Snapshot(root.path() + L"game\\"));

    const std::string records2 = RecordsOf(config2);
    std::string changed = config2;
    changed[changed.find('=') + 1] ^= 1;  // one digit of the first record's MD5
    // A record whose range matches its MD5 but not the SHA-256 signed for it.
    ResoureConfigList lines;
    ParseManifestText(Utf8ToTextExact(records2), &lines);
    const std::string extra =
        records2 + "zz.bin=" + TextToUtf8Exact(lines[0].md5) + "=" +
        TextToUtf8Exact(lines[0].packageDir) + "=" + std::to_string(lines[0].offset) + "=" +
        std::to_string(lines[0].length) + "=game=" + std::string(64, '0') + "\r\n";
    // The same records, the first without its SHA-256 (six fields).
    const size_t firstEnd = records2.find('\r');
    const std::string bare =
        records2.substr(0, records2.rfind('=', firstEnd)) + records2.substr(firstEnd);
    const struct {
        const char* name;
        std::string config;
        const char* check;
        const char* state;
    } cases[] = {
        {"unsigned", records2, "signature unsigned", "state 10"},
        {"changed", changed, "signature bad-signature", "state 10"},
        {"foreign", SignByHand(records2, 40, 0, foreign), "signature bad-signature", "state 10"},
        {"rollback", config1, "signature older-serial", "state 10"},
        {"expired", SignByHand(records2, 41, 1700000060, genuine), "signature expired", "state 10"},
        {"no-sha256", SignByHand(bare, 42, 0, genuine), "signature no-sha256", "state 10"},
        {"sha256", SignByHand(extra, 50, 0, genuine), "signature accepted release=s2 serial=50",
         "state 12"},
    };
    for (const auto& item : cases) {
        const std::wstring name = L"h-" + Utf8ToTextExact(item.name);
        testing_tree::Write(tree + L"config\\" + name + L".txt", item.config);
        const Files before = Snapshot(root.path());
        const size_t logFrom = Read(Env(L"OMBRIX_TEST_CDN_LOG")).size();
        const std::string output = CheckedUpdate(root.path(), L"signed", name, key);
        EXPECT_NE(std::string::npos, output.find(item.check)) << item.name << "\n" << output;
        EXPECT_NE(std::string::npos, output.find(item.state)) << item.name << "\n" << output;
        Files after = Snapshot(root.path());
        Files unchanged = before;
        if (std::string(item.state) == "state 10") {
            EXPECT_EQ(std::string::npos, Read(Env(L"OMBRIX_TEST_CDN_LOG")).find("/pkg/", logFrom))
                << item.name;
        } else {  // accepted, its serial recorded, the range fetched and refused
            after.erase(L"release_serial.txt");
            unchanged.erase(L"release_serial.txt");
        }
        EXPECT_EQ(unchanged, after) << item.name;
        if (std::string(item.name) != "sha256") {
            ::DeleteFileW((tree + L"config\\" + name + L".txt").c_str());
        }
    }

    // Switching the notice back to s1 re-issues its records above every serial issued, without
    // touching a package; the installation that accepted serial 50 takes it.
    Files packages = Snapshot(tree + L"pkg\\");
    ASSERT_EQ(0, Pack(L"--cdn " + Quote(tree) + L" --notice " + Quote(keys.path() + L"n.json") +
                      L" --release s1 --url http://127.0.0.1/signed/ --key " + Quote(key)));
    const std::string reissued = Read(tree + L"config\\s1.txt");
    SignedPart part;
    ASSERT_TRUE(ParseSignedPart(reissued, &part));
    EXPECT_EQ(51u, part.serial);
    EXPECT_EQ("s1", part.release);
    EXPECT_EQ(RecordsOf(config1), RecordsOf(reissued));
    EXPECT_EQ(packages, Snapshot(tree + L"pkg\\"));
    const std::string back = CheckedUpdate(root.path(), L"signed", L"s1", key);
    EXPECT_NE(std::string::npos, back.find("signature accepted release=s1 serial=51")) << back;
    EXPECT_NE(std::string::npos, back.find("state 19"));
    EXPECT_EQ(s1, Snapshot(root.path() + L"game\\"));
}

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

namespace {

// Bytes of the chunks of content that from does not hold (what an update from `from` fetches).
int64_t NewChunkBytes(const std::string& from, const std::string& content) {
    const auto cut = [](const std::string& bytes) {
        std::set<std::string> chunks;
        for (size_t at = 0; at < bytes.size();) {
            const size_t size =
                ContentChunker::NextCut(reinterpret_cast<const unsigned char*>(bytes.data()) + at,
                                        std::min(bytes.size() - at, ContentChunker::kMaxSize));
            chunks.insert(bytes.substr(at, size));
            at += size;
        }
        return chunks;
    };
    const std::set<std::string> have = cut(from);
    int64_t missing = 0;
    for (const std::string& chunk : cut(content)) {
        if (!have.count(chunk)) missing += static_cast<int64_t>(chunk.size());
    }
    return missing;
}

// Starts OmbrixUpdate on release of tree and kills it as soon as `appears` exists; false when
// the update ended before.
bool KilledWhenItAppears(const std::wstring& root, const std::wstring& tree,
                         const std::wstring& release, const std::wstring& appears) {
    std::wstring commandLine = L"\"" + update_harness::ProgramDir() +
                               L"OmbrixUpdate.exe\" --root " + Quote(root) + L" --config " +
                               Env(L"OMBRIX_TEST_CDN_URL") + tree + L"/config/" + release + L".txt";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return false;
    }
    ombrix::ScopedKernelHandle processHandle(process.hProcess);
    ombrix::ScopedKernelHandle threadHandle(process.hThread);
    while (::WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
        if (::GetFileAttributesW(appears.c_str()) != INVALID_FILE_ATTRIBUTES) {
            ::TerminateProcess(process.hProcess, 9);
            ::WaitForSingleObject(process.hProcess, 10000);
            return true;
        }
    }
    return false;
}

std::string Edited(std::string bytes, const std::vector<std::pair<size_t, int>>& edits) {
    for (const auto& edit : edits) {
        for (size_t i = 0; i < 100; ++i) bytes[edit.first + i] ^= static_cast<char>(edit.second);
    }
    return bytes;
}

}  // namespace

// A large file published in chunks (--chunk-mib 1) and edited in many ways between releases:
// an update from the previous release ends byte for byte equal, with "version.txt" exact, and
// fetches from the packages no more than the chunks the copy on disk lacks; a file that became
// small, or has no copy on disk, comes whole from its range.
TEST_F(PackReleaseRoundTrip, LargeFilesUpdateFromTheChunksTheyLack) {
    const std::wstring name = L"chunked";
    const std::wstring tree = Env(L"OMBRIX_TEST_CDN_ROOT") + name + L"\\";
    const auto publish = [&tree](const std::wstring& release, const Files& game) {
        TempFolder source;
        update_harness::WriteTree(source.path(), game);
        return Pack(L"--game " + Quote(source.path()) + L" --cdn " + Quote(tree) + L" --release " +
                    release + L" --package-mib 4 --chunk-mib 1");
    };
    const std::string base = RandomBytes(3 << 20, 31);
    const std::string middle = base.substr(0, base.size() / 2);
    const std::string rest = base.substr(base.size() / 2);
    Files r0{{L"data\\big.pak", base}, {L"small.txt", "small"}};
    ASSERT_EQ(0, publish(L"c0", r0));
    const struct {
        const char* label;
        std::string content;
        std::vector<std::pair<size_t, int>> damage;  // of the copy on disk, before the update
        bool removeCopy;
        bool whole;   // fetched as the whole range
        bool killed;  // a first run is killed while the new file is assembled beside the old
    } cases[] = {
        {"changed in place",
         Edited(base, {{100000, 1}, {900000, 2}, {1800000, 3}, {3000000, 4}}),
         {},
         false,
         false},
        {"inserted", middle + RandomBytes(200000, 5) + rest, {}, false, false},
        {"removed", middle.substr(0, middle.size() - 300000) + rest, {}, false, false},
        {"appended", base + RandomBytes(500000, 6), {}, false, false},
        {"smaller than the threshold", base.substr(0, 600000), {}, false, true},
        {"copy damaged", Edited(base, {{1000000, 7}}), {{50000, 8}, {2500000, 9}}, false, false},
        {"no copy", Edited(base, {{1000000, 10}}), {}, true, true},
    };
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::wstring release = L"c" + std::to_wstring(++index);
        Files next = r0;
        next[L"data\\big.pak"] = c.content;
        ASSERT_EQ(0, publish(release, next));
        TempFolder root;
        ASSERT_TRUE(Installs(root.path(), L"c0", r0, name));
        const std::wstring copy = root.path() + L"game\\data\\big.pak";
        const std::string onDisk = Edited(base, c.damage);
        if (!c.damage.empty()) testing_tree::Write(copy, onDisk);
        if (c.removeCopy) ::DeleteFileW(copy.c_str());
        if (c.killed) {
            ASSERT_TRUE(KilledWhenItAppears(root.path(), name, release, copy + L".t"));
            // The old file is intact; "version.txt" names no content that is not on disk.
            EXPECT_EQ(base, Read(copy));
            const std::string version = Read(root.path() + L"version.txt");
            EXPECT_TRUE(version.find("big.pak=\r\n") != std::string::npos ||
                        version.find("big.pak") == std::string::npos ||
                        update_harness::ExpectedVersionText(ConfigOf(L"c0", name)) == version)
                << version;
        }
        const size_t logFrom = Read(Env(L"OMBRIX_TEST_CDN_LOG")).size();
        EXPECT_TRUE(Installs(root.path(), release, next, name));
        EXPECT_EQ(update_harness::ExpectedVersionText(ConfigOf(release, name)),
                  Read(root.path() + L"version.txt"));
        int64_t wholeRange = 0;
        for (const ResoureConfigInfo& line : ConfigOf(release, name)) {
            if (line.name == L"data\\big.pak") wholeRange = line.length;
        }
        const int64_t fetched = PackageBytesSent(logFrom);
        if (c.whole) {
            EXPECT_EQ(wholeRange, fetched);
        } else {
            const int64_t lacking = NewChunkBytes(onDisk, c.content);
            EXPECT_LE(fetched, lacking + lacking / 50 + 4096) << lacking;
            EXPECT_LT(fetched, wholeRange / 2);
        }
    }
}

namespace {

// MD5 of a file read in pieces (empty when it cannot be read).
std::string FileMd5(const std::wstring& path) {
    ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return std::string();
    Md5Hasher md5;
    std::vector<char> buffer(4 << 20);
    DWORD got = 0;
    while (
        ::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
        got > 0) {
        md5.Update(buffer.data(), got);
    }
    return md5.Finish();
}

}  // namespace

// A file beyond 4 GiB (sparse: random bytes at its start, in its middle and at its end, zeros
// between) is published in chunks only and installs byte for byte from them.
TEST_F(PackReleaseRoundTrip, FilesBeyondFourGiBInstallFromTheirChunks) {
    const std::wstring name = L"huge";
    const std::wstring tree = Env(L"OMBRIX_TEST_CDN_ROOT") + name + L"\\";
    TempFolder source;
    const std::wstring path = source.path() + L"huge.pak";
    {
        ombrix::ScopedFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr,
                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid());
        const int64_t at[] = {0, int64_t(2) << 30, (int64_t(4) << 30) + (int64_t(15) << 20)};
        for (int k = 0; k < 3; ++k) {
            const std::string bytes = RandomBytes(1 << 20, 40 + k);
            LARGE_INTEGER position;
            position.QuadPart = at[k];
            DWORD written = 0;
            ASSERT_TRUE(::SetFilePointerEx(file.Get(), position, nullptr, FILE_BEGIN));
            ASSERT_TRUE(::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                    &written, nullptr));
        }
    }
    // Minutes, not seconds: every byte is read and hashed on both sides.
    const DWORD kMs = 600000;
    ASSERT_EQ(0, update_harness::RunProgram(L"OmbrixPack.exe",
                                            L"--game " + Quote(source.path()) + L" --cdn " +
                                                Quote(tree) + L" --release h1",
                                            std::wstring(), kMs));
    const ResoureConfigList config = ConfigOf(L"h1", name);
    ASSERT_EQ(1u, config.size());
    EXPECT_EQ(L"chunks", config[0].packageDir);  // no range could describe it
    EXPECT_EQ(0, config[0].length);
    TempFolder root;
    const std::wstring url = Env(L"OMBRIX_TEST_CDN_URL") + name + L"/config/h1.txt";
    ASSERT_EQ(0, update_harness::RunProgram(L"OmbrixUpdate.exe",
                                            L"--root " + Quote(root.path()) + L" --config " + url,
                                            std::wstring(), kMs));
    const std::wstring installed = root.path() + L"game\\huge.pak";
    EXPECT_EQ(FileMd5(path), FileMd5(installed));
    EXPECT_EQ(update_harness::ExpectedVersionText(config), Read(root.path() + L"version.txt"));
    ::DeleteFileW(installed.c_str());
    ::DeleteFileW(path.c_str());
}
