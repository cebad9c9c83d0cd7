#include "PublishRelease.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "ChunkedFile.h"
#include "ConfigLine.h"
#include "FilePipeline.h"
#include "PackageWriter.h"
#include "SourceStamps.h"
#include "app/FileServices.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"

namespace {

// Content is found by its size and digest.
struct ContentKey {
    uint64_t low = 0;
    uint64_t high = 0;
    int64_t size = 0;
    bool operator==(const ContentKey& other) const {
        return low == other.low && high == other.high && size == other.size;
    }
};

struct ContentKeyHash {
    size_t operator()(const ContentKey& key) const {
        return static_cast<size_t>(key.low ^ (key.high * 0x9E3779B97F4A7C15ull) ^
                                   static_cast<uint64_t>(key.size));
    }
};

// md5: the 16 bytes of the digest.
ContentKey KeyOf(int64_t size, const std::string& md5) {
    ContentKey key;
    key.size = size;
    if (md5.size() == 16) {
        std::memcpy(&key.low, md5.data(), 8);
        std::memcpy(&key.high, md5.data() + 8, 8);
    }
    return key;
}

std::string HexToBytes(const std::string& hex) {
    std::string bytes(hex.size() / 2, '\0');
    for (size_t i = 0; i < hex.size(); ++i) {
        const char c = hex[i];
        const int v = c <= '9' ? c - '0' : c - 'A' + 10;
        bytes[i / 2] = static_cast<char>(bytes[i / 2] << 4 | v);
    }
    return bytes;
}

}  // namespace

bool PublishRelease(CdnTree* tree, const std::wstring& release,
                    const std::vector<PublishInput>& inputs, int64_t packageLimit, int threads,
                    const SourceStamps& previous, PublishStats* stats, std::wstring* error,
                    const SigningKey* signingKey, int64_t expiresDays,
                    const ChunkSettings& chunking) {
    // What the tree stores already: the streams of the packages its configurations name (those
    // LoadCdnTree checked).
    std::unordered_map<ContentKey, PackedEntry, ContentKeyHash> stored;
    size_t streams = 0;
    for (const auto& item : tree->packages) streams += item.second.streams.size();
    stored.reserve(streams);
    for (const auto& item : tree->packages) {
        const TreePackage& package = item.second;
        if (!package.named) continue;
        for (const StoredStream& stream : package.streams) {
            PackedEntry entry;
            entry.packageDir = package.dir;
            entry.offset = stream.offset;
            entry.length = stream.length;
            entry.inputSize = stream.size;
            entry.sha256 = HexToBytes(stream.sha256);  // empty for older packages: read later
            stored.emplace(KeyOf(stream.size, HexToBytes(stream.md5)), entry);
        }
    }

    PackageWriter writer(tree->root, tree->lastPackage + 1, packageLimit);
    GzipCompressor large;  // for files too large to hold, compressed on this thread
    std::unordered_map<ContentKey, PackedEntry, ContentKeyHash>
        added;  // new content of this release
    std::wstring config;
    std::string chunkLines;  // the lines naming the chunk lists, after the records
    *stats = PublishStats();
    ULONGLONG lastReport = ::GetTickCount64();

    SourceStamps stamps;
    stamps.reserve(inputs.size());
    size_t cursor = 0;  // walks the previous stamps beside the inputs (both in input order)
    const auto stamped = [&previous, &inputs, &cursor](size_t i, FileDigest* digest) {
        const SourceFile& file = inputs[i].file;
        const auto before = [&](const SourceStamp& s) {
            return s.launcher != inputs[i].launcher ? !s.launcher : s.name < file.name;
        };
        while (cursor < previous.size() && before(previous[cursor])) ++cursor;
        if (cursor == previous.size()) return false;
        const SourceStamp& stamp = previous[cursor];
        if (stamp.launcher != inputs[i].launcher || stamp.name != file.name ||
            stamp.size != file.size || stamp.writeTime != file.writeTime || file.writeTime == 0) {
            return false;
        }
        digest->size = stamp.size;
        digest->md5 = stamp.md5;
        return true;
    };
    const auto isKnown = [&stored](const FileDigest& digest) {
        return stored.count(KeyOf(digest.size, digest.md5)) > 0;
    };
    ChunkStore chunkStore;
    chunkStore.find = [&](int64_t size, const std::string& md5, PackedEntry* entry, bool* found,
                          std::wstring* message) {
        const ContentKey key = KeyOf(size, md5);
        auto old = stored.find(key);
        const auto twin = added.find(key);
        *found = old != stored.end() || twin != added.end();
        if (twin != added.end()) *entry = twin->second;
        if (twin != added.end() || old == stored.end()) return true;
        if (old->second.sha256.size() != 32) {
            old->second.sha256 = PackageRangeSha256(*tree, old->second.packageDir,
                                                    old->second.offset, old->second.length);
            if (old->second.sha256.size() != 32) {
                *message = L"cannot read the package " + old->second.packageDir;
                return false;
            }
        }
        *entry = old->second;
        return true;
    };
    chunkStore.added = [&added](const PackedEntry& entry) {
        added.emplace(KeyOf(entry.inputSize, entry.md5), entry);
    };
    const auto take = [&](size_t i, PreparedFile* file) {
        if (!file->error.empty()) {
            *error = file->error;
            return false;
        }
        PackedEntry entry;
        const ContentKey key = KeyOf(file->digest.size, file->digest.md5);
        const auto old = stored.find(key);
        const auto twin = added.find(key);
        // Launcher files travel in the bundle, whole.
        const bool chunked = !inputs[i].launcher && chunking.thresholdBytes > 0 &&
                             file->digest.size >= chunking.thresholdBytes;
        const bool chunkOnly =
            chunked && (chunking.chunkOnly || file->digest.size >= ChunkSettings::kChunkOnlySize);
        ChunkReference reference;
        if (chunked) {
            ChunkedStats chunkStats;
            if (!PublishChunkedFile(tree->root, inputs[i].file.path, file->digest.md5, &writer,
                                    chunkStore, &reference, &chunkStats, error)) {
                return false;
            }
            chunkLines += FormatChunkReference(TextToUtf8Exact(inputs[i].file.name), reference);
            ++stats->chunkedFiles;
            stats->chunks += chunkStats.chunks;
            stats->newChunks += chunkStats.newChunks;
        }
        if (chunkOnly) {
            entry.packageDir = kChunkListFolder;
            entry.md5 = file->digest.md5;
            entry.inputSize = file->digest.size;
            entry.sha256 = reference.listSha256;
        } else if (old != stored.end()) {
            if (old->second.sha256.size() != 32) {
                old->second.sha256 = PackageRangeSha256(*tree, old->second.packageDir,
                                                        old->second.offset, old->second.length);
                if (old->second.sha256.size() != 32) {
                    *error = L"cannot read the package " + old->second.packageDir;
                    return false;
                }
            }
            entry = old->second;
            ++stats->reusedFiles;
            stats->reusedBytes += entry.length;
        } else if (twin != added.end()) {
            entry = twin->second;  // the same content twice in this release: stored once
        } else {
            const bool ok =
                file->whole
                    ? writer.AddStream(file->gz, file->digest, file->gzSha256, &entry, error)
                    : writer.AddFile(inputs[i].file.path, &large, &entry, error);
            if (!ok) return false;
            added.emplace(KeyOf(entry.inputSize, entry.md5), entry);
        }
        // A file streamed into the packages was hashed again as it was compressed.
        if (chunkOnly) entry.md5 = file->digest.md5;
        if (file->whole || entry.md5.empty()) entry.md5 = file->digest.md5;
        config += FormatConfigLine(inputs[i].file.name, entry, inputs[i].launcher);
        ++stats->files;
        if (inputs[i].launcher) ++stats->launcherFiles;
        // A file that changed between listing and reading gets no stamp: it is read next time.
        if (file->digest.size == inputs[i].file.size) {
            stamps.push_back(SourceStamp{inputs[i].launcher, inputs[i].file.name,
                                         inputs[i].file.size, inputs[i].file.writeTime, entry.md5});
        }
        stats->inputBytes += entry.inputSize;
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastReport >= 1000) {
            lastReport = now;
            const std::string line = "OmbrixPack: " + std::to_string(i + 1) + "/" +
                                     std::to_string(inputs.size()) + " files\n";
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
        return true;
    };

    // Files whose stamps give content the tree stores are settled without reading them; the
    // others go through the pipeline, and everything is taken in the inputs' order.
    std::vector<FileDigest> settled(inputs.size());
    std::vector<size_t> toRead;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!stamped(i, &settled[i]) || !isKnown(settled[i])) toRead.push_back(i);
    }
    std::vector<std::wstring> paths;
    for (size_t i : toRead) paths.push_back(inputs[i].file.path);
    stats->readFiles = toRead.size();
    size_t nextInput = 0;
    const auto takeSettled = [&](size_t end) {
        for (; nextInput < end; ++nextInput) {
            PreparedFile file;
            file.digest = settled[nextInput];
            file.known = true;
            if (!take(nextInput, &file)) return false;
        }
        return true;
    };
    const auto takeRead = [&](size_t j, PreparedFile* file) {
        if (!takeSettled(toRead[j])) return false;
        nextInput = toRead[j] + 1;
        return take(toRead[j], file);
    };
    const bool packed = RunFilePipeline(paths, threads, isKnown, takeRead) &&
                        takeSettled(inputs.size()) && writer.Close(error);
    // What only the pipeline needed goes before the configuration's text is encoded and written.
    std::vector<std::wstring>().swap(paths);
    std::vector<FileDigest>().swap(settled);
    std::vector<size_t>().swap(toRead);
    stored.clear();
    added.clear();
    stats->newPackages = writer.Packages();
    stats->newBytes = writer.BytesWritten();
    if (!packed) {
        writer.RemoveOutput();
        return false;
    }
    // The record first (the numbers of the new packages are used from now on), the
    // configuration last.
    std::vector<TreeRelease> releases;
    for (const TreeRelease& earlier : tree->releases) {
        if (earlier.name != release) releases.push_back(earlier);
    }
    releases.push_back(TreeRelease{release, UtcNowText()});
    const int32_t lastPackage = tree->lastPackage + static_cast<int32_t>(stats->newPackages.size());
    const std::wstring configDir = tree->root + L"config\\";
    if (!CreateDirectories(configDir) && !DirectoryExists(configDir)) {
        *error = configDir + L": cannot create the folder";
        writer.RemoveOutput();
        return false;
    }
    if (!WriteReleaseRecord(tree->root, lastPackage, releases, error) ||
        !WriteConfiguration(tree, release, config, signingKey, expiresDays, false, &stats->serial,
                            error, chunkLines)) {
        writer.RemoveOutput();
        return false;
    }
    tree->lastPackage = lastPackage;
    tree->releases = releases;
    // Only a help for the next release: a stale or missing file means reading everything.
    WriteSourceStamps(tree->root, stamps);
    return true;
}
