// OmbrixPack: publishes the CDN trees that the launcher installs from.
//   OmbrixPack --game DIR [--launcher DIR] --out DIR [--package-mib N]
//   OmbrixPack --game DIR [--launcher DIR] --cdn TREE --release NAME [--package-mib N]
//              [--rehash]
//   OmbrixPack --cdn TREE --prune --keep N
//   OmbrixPack --cdn TREE --notice FILE --release NAME [--code-list "a|b"] [--url BASE]
//   OmbrixPack --new-key FILE
// Publish and notice take [--key FILE [--expires-days N]]: every configuration written is then
// signed, and a notice switch re-issues the release's records under a new serial.
// A release's configuration is TREE\config\NAME.txt (--out: config\resources.txt); the
// launcher finds the packages one folder above the configuration's folder. Everything is
// checked before anything is written or deleted.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CdnTree.h"
#include "FilePipeline.h"
#include "NoticeFile.h"
#include "NoticeRecord.h"
#include "PackOptions.h"
#include "PruneTree.h"
#include "PublishRelease.h"
#include "PublishableName.h"
#include "SourceList.h"
#include "SourceTree.h"
#include "TreeLock.h"
#include "TreeSigning.h"
#include "app/FileServices.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"
#include "ConfigLine.h"

namespace {

const wchar_t kOutRelease[] = L"resources";

void Print(FILE* stream, const std::wstring& text) {
    const std::string bytes = TextToNarrow(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

int Fail(const std::wstring& message) {
    Print(stderr, L"OmbrixPack: " + message + L"\n");
    return 1;
}

bool IsEmptyOrMissingFolder(const std::wstring& dir) {
    if (!DirectoryExists(dir)) {
        return !FileExists(dir) && ::GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES;
    }
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool empty = true;
    do {
        const std::wstring entry = data.cFileName;
        if (entry != L"." && entry != L"..") empty = false;
    } while (empty && ::FindNextFileW(find, &data));
    ::FindClose(find);
    return empty;
}

std::wstring Bytes(int64_t bytes) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%lld bytes (%.1f MiB)", static_cast<long long>(bytes),
                  static_cast<double>(bytes) / 1048576.0);
    return text;
}

// Takes the tree's lock for this run; the tree's folder must exist.
bool LockTree(const std::wstring& given, const std::wstring& run, TreeLock* lock,
              std::wstring* error) {
    const std::wstring root = FullDirectoryPath(given);
    if (root.empty() || !DirectoryExists(root)) {
        *error = L"the tree " + given + L" is not a folder";
        return false;
    }
    if (!lock->Acquire(root, run, error)) return false;
    if (!lock->TakenOver().empty()) {
        Print(stdout, L"OmbrixPack: took over the tree's lock, left by a run that has ended (" +
                          lock->TakenOver() + L")\n");
    }
    return true;
}

// Loads the tree named by --cdn (or --out), refusing one that is not a folder, and prints
// what the load set aside.
bool LoadTree(const std::wstring& given, CdnTree* tree, std::wstring* error) {
    const std::wstring root = FullDirectoryPath(given);
    if (root.empty() || (!DirectoryExists(root) && FileExists(root))) {
        *error = L"the tree " + given + L" is not a folder";
        return false;
    }
    if (!LoadCdnTree(root, tree, error)) return false;
    for (const std::wstring& note : tree->notes) Print(stdout, L"OmbrixPack: " + note + L"\n");
    return true;
}

// A folder this run created, removed again (when still empty) unless the run succeeded.
class CreatedFolder {
  public:
    explicit CreatedFolder(const std::wstring& dir)
        : dir_(dir), created_(!DirectoryExists(dir) && CreateDirectories(dir)) {}
    ~CreatedFolder() {
        if (created_ && !keep_) ::RemoveDirectoryW(dir_.c_str());
    }
    CreatedFolder(const CreatedFolder&) = delete;
    CreatedFolder& operator=(const CreatedFolder&) = delete;
    void Keep() { keep_ = true; }

  private:
    std::wstring dir_;
    bool created_;
    bool keep_ = false;
};

int Publish(const PackOptions& options) {
    std::wstring error;
    const std::wstring gameDir = FullDirectoryPath(options.gameDir);
    const std::wstring launcherDir =
        options.launcherDir.empty() ? std::wstring() : FullDirectoryPath(options.launcherDir);
    const std::wstring& treeGiven = options.outDir.empty() ? options.cdnDir : options.outDir;
    const std::wstring treeDir = FullDirectoryPath(treeGiven);
    const std::wstring release = options.outDir.empty() ? options.release : kOutRelease;
    if (gameDir.empty() || !DirectoryExists(gameDir)) {
        return Fail(L"the game folder " + options.gameDir + L" does not exist");
    }
    if (!options.launcherDir.empty() && (launcherDir.empty() || !DirectoryExists(launcherDir))) {
        return Fail(L"the launcher folder " + options.launcherDir + L" does not exist");
    }
    if (treeDir.empty()) return Fail(L"the output folder " + treeGiven + L" is not valid");
    for (const std::wstring& input : {gameDir, launcherDir}) {
        if (!input.empty() && (IsSameOrBelow(treeDir, input) || IsSameOrBelow(input, treeDir))) {
            return Fail(L"the output folder and " + input + L" must not contain each other");
        }
    }
    if (!options.outDir.empty() && !IsEmptyOrMissingFolder(treeDir)) {
        return Fail(L"the output folder " + treeDir + L" is not empty (or is a file)");
    }
    if (!IsValidReleaseName(release)) {
        return Fail(L"the release name " + release +
                    L" is not valid: 1 to 64 letters, digits, '.', '_' or '-', starting with a "
                    L"letter or digit");
    }
    // The tree is held from before it is read until its configuration is in place.
    CreatedFolder treeFolder(treeDir);
    TreeLock lock;
    if (!LockTree(treeDir, L"publish " + release, &lock, &error)) return Fail(error);
    // The input folders are listed while the tree and the stamps of the last publish are read.
    SourceList inputs;
    SourceStamps stamps;
    std::wstring listError;
    bool listed = false;
    std::thread lister([&] {
        listed = inputs.AddFolder(gameDir, false, &listError) &&
                 (launcherDir.empty() || inputs.AddFolder(launcherDir, true, &listError));
    });
    CdnTree tree;
    const bool loaded = LoadTree(treeDir, &tree, &error);
    if (loaded && !options.rehash) stamps = ReadSourceStamps(treeDir);
    lister.join();
    if (!loaded) return Fail(error + L"\nnothing was published");
    SigningKey key;
    if (!options.key.empty() && !ReadSigningKey(options.key, &key, &error)) return Fail(error);
    const SigningKey* signingKey = options.key.empty() ? nullptr : &key;
    if (!CheckSigningKey(tree, ReadTreeSigning(tree.root), signingKey, &error)) {
        return Fail(error);
    }
    if (tree.configs.count(release) || FileExists(ConfigPathOf(tree, release))) {
        return Fail(L"the release " + release + L" exists already in " + tree.root);
    }
    if (!listed) return Fail(listError);
    if (inputs.Size() == 0) return Fail(L"nothing to publish: the input folders hold no file");
    if (!inputs.CheckNames(&error)) return Fail(error);

    if (!CreateDirectories(tree.root) && !DirectoryExists(tree.root)) {
        return Fail(tree.root + L": cannot create the output folder");
    }
    PublishStats stats;
    ChunkSettings chunking;
    chunking.thresholdBytes = options.chunkMiB * 1048576;
    chunking.chunkOnly = options.chunkOnly;
    if (!PublishRelease(&tree, release, inputs, options.packageMiB * 1048576, DefaultThreadCount(),
                        stamps, &stats, &error, signingKey, options.expiresDays, chunking)) {
        return Fail(error + L"\nnothing was published");
    }
    treeFolder.Keep();
    std::wstring packages;
    for (const std::wstring& dir : stats.newPackages) packages += L" " + dir;
    Print(stdout,
          L"OmbrixPack: release " + release + L": " + std::to_wstring(stats.files) + L" files (" +
              std::to_wstring(stats.launcherFiles) + L" of the launcher), " +
              Bytes(stats.inputBytes) + L"; " + std::to_wstring(stats.readFiles) +
              L" read, the others unchanged by their "
              L"size and time\n" +
              L"reused: " + std::to_wstring(stats.reusedFiles) + L" files, " +
              Bytes(stats.reusedBytes) + L" of packages\n" + L"new packages: " +
              std::to_wstring(stats.newPackages.size()) + L", " + Bytes(stats.newBytes) +
              (packages.empty() ? L"" : L":" + packages) + L"\n" +
              (stats.chunkedFiles == 0
                   ? std::wstring()
                   : L"chunked: " + std::to_wstring(stats.chunkedFiles) + L" files, " +
                         std::to_wstring(stats.chunks) + L" chunks, " +
                         std::to_wstring(stats.newChunks) + L" new\n") +
              L"configuration: " + ConfigPathOf(tree, release) +
              (stats.serial != 0 ? L" (signed, serial " + std::to_wstring(stats.serial) + L")"
                                 : std::wstring()) +
              L"\n");
    return 0;
}

int Prune(const PackOptions& options) {
    std::wstring error;
    TreeLock lock;
    if (!LockTree(options.cdnDir, L"prune --keep " + std::to_wstring(options.keep), &lock,
                  &error)) {
        return Fail(error);
    }
    CdnTree tree;
    std::vector<ServedRelease> served;
    if (!LoadTree(options.cdnDir, &tree, &error) || !ReadNoticeRecord(tree.root, &served, &error)) {
        return Fail(error + L"\nnothing was deleted");
    }
    if (served.empty()) {
        Print(stdout,
              L"OmbrixPack: no notice answer is recorded for this tree (--notice records "
              L"the release it serves)\n");
    }
    PruneResult result;
    const bool ok = PruneTree(&tree, static_cast<size_t>(options.keep), served, &result, &error);
    for (const KeptConfig& kept : result.kept) {
        Print(stdout, L"kept " + kept.file + L": " + kept.reason + L"\n");
    }
    for (const std::wstring& note : result.notes) Print(stdout, L"OmbrixPack: " + note + L"\n");
    for (const std::wstring& path : result.deleted) Print(stdout, L"deleted " + path + L"\n");
    if (!ok) return Fail(error);
    std::wstring kept;
    for (const TreeRelease& release : tree.releases) kept += L" " + release.name;
    Print(stdout, L"OmbrixPack: " + std::to_wstring(result.deleted.size()) + L" files deleted, " +
                      Bytes(result.freedBytes) + L" freed; releases kept:" + kept + L"\n");
    return 0;
}

// The notice file's full path, as the tree's notice record keeps it.
std::wstring FullFilePath(const std::wstring& path) {
    wchar_t full[MAX_PATH * 4];
    const DWORD n = ::GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    return n > 0 && n < MAX_PATH * 4 ? std::wstring(full, n) : path;
}

int Notice(const PackOptions& options) {
    std::wstring error;
    TreeLock lock;
    if (!LockTree(options.cdnDir, L"notice " + options.release, &lock, &error)) {
        return Fail(error);
    }
    CdnTree tree;
    std::vector<ServedRelease> served;
    if (!LoadTree(options.cdnDir, &tree, &error) || !ReadNoticeRecord(tree.root, &served, &error)) {
        return Fail(error + L"\nnothing was written");
    }
    const auto opaque = tree.opaqueConfigs.find(options.release);
    if (opaque != tree.opaqueConfigs.end()) {
        return Fail(L"config\\" + opaque->second.file + L" is not understood (" +
                    opaque->second.reason + L"): players are not sent to it");
    }
    if (!tree.configs.count(options.release)) {
        return Fail(L"the tree " + tree.root + L" has no release " + options.release);
    }
    SigningKey key;
    if (!options.key.empty() && !ReadSigningKey(options.key, &key, &error)) return Fail(error);
    const SigningKey* signingKey = options.key.empty() ? nullptr : &key;
    if (!CheckSigningKey(tree, ReadTreeSigning(tree.root), signingKey, &error)) {
        return Fail(error);
    }
    NoticeRequest request;
    request.file = options.noticeFile;
    request.release = options.release;
    request.configFile = ConfigFileOf(tree, options.release);
    request.baseUrl = options.url;
    request.codeList = options.codeList;
    request.codeListGiven = options.codeListGiven;
    std::string answer;
    if (!PrepareNoticeAnswer(request, &answer, &error)) return Fail(error);
    const auto issued = tree.signedParts.find(options.release);
    const bool newest = issued != tree.signedParts.end() &&
                        issued->second.serial + 1 == NextSerial(tree, ReadTreeSigning(tree.root));
    if (signingKey != nullptr && (!newest || options.expiresDays > 0)) {
        // The release's records again, under a serial above every one the tree issued: players
        // that accepted a newer release accept this one too (with --expires-days: a fresh
        // expiry for the release served). No package is touched.
        ResoureConfigList lines;
        if (!ReadConfigRecords(tree, options.release, &lines, &error)) return Fail(error);
        std::wstring records;
        for (ResoureConfigInfo info : lines) {
            if (!IsSha256DigestText(info.sha256)) {
                const std::string sha =
                    PackageRangeSha256(tree, info.packageDir, info.offset, info.length);
                if (sha.size() != 32) return Fail(L"cannot read the package " + info.packageDir);
                const std::string hex = BytesToHex(sha);
                info.sha256.assign(hex.begin(), hex.end());
            }
            records += FormatConfigLine(info);
        }
        uint64_t serial = 0;
        if (!WriteConfiguration(&tree, options.release, records, signingKey, options.expiresDays,
                                true, &serial, &error, tree.chunkLines[options.release])) {
            return Fail(error);
        }
        Print(stdout, L"OmbrixPack: " + ConfigPathOf(tree, options.release) +
                          L" re-issued (signed, serial " + std::to_wstring(serial) + L")\n");
    }
    // The record lists the release before the answer names it, and both releases while the
    // answer is switched: a cleanup never deletes what players may be sent to.
    const ServedRelease entry{options.release, UtcNowText(), FullFilePath(options.noticeFile)};
    if (!WriteNoticeRecord(tree.root, RecordServing(served, entry, true), &error)) {
        return Fail(error + L"\nnothing was written");
    }
    if (!WriteNoticeAnswerText(request.file, answer, &error)) {
        std::wstring ignored;
        WriteNoticeRecord(tree.root, served, &ignored);
        return Fail(error);
    }
    if (!WriteNoticeRecord(tree.root, RecordServing(served, entry, false), &error)) {
        Print(stderr, L"OmbrixPack: " + error +
                          L" (the record still lists the release served before as well)\n");
    }
    Print(stdout,
          L"OmbrixPack: " + options.noticeFile + L" names the release " + options.release + L"\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    PackOptions options;
    std::wstring error;
    if (!ParsePackOptions(args, &options, &error)) return Fail(error + L"\n" + kPackUsage);
    switch (options.mode) {
        case PackMode::NewKey:
            if (!WriteNewKey(options.newKey, &error)) return Fail(error);
            Print(stdout, L"OmbrixPack: private key " + options.newKey + L", public key " +
                              options.newKey + L".pub\n");
            return 0;
        case PackMode::Prune:
            return Prune(options);
        case PackMode::Notice:
            return Notice(options);
        default:
            return Publish(options);
    }
}
