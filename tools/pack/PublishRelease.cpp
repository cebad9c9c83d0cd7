#include "PublishRelease.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "ChunkedFile.h"
#include "ConfigLine.h"
#include "FilePipeline.h"
#include "PackageWriter.h"
#include "ReleaseRecords.h"
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

}  // namespace

bool PublishRelease(CdnTree* tree, const std::wstring& release, const SourceList& inputs,
                    int64_t packageLimit, int threads, const SourceStamps& previous,
                    PublishStats* stats, std::wstring* error, const SigningKey* signingKey,
                    int64_t expiresDays, const ChunkSettings& chunking) {
    // What the tree stores already: the streams of the packages its configurations name (those
    // LoadCdnTree checked), found in the tree's own lists.
    struct StreamRef {
        int32_t package;
        uint32_t stream;
    };
    std::unordered_map<ContentKey, StreamRef, ContentKeyHash> stored;
    size_t streams = 0;
    for (const auto& item : tree->packages) streams += item.second.streams.size();
    stored.reserve(streams);
    for (const auto& item : tree->packages) {
        const TreePackage& package = item.second;
        if (!package.named) continue;
        for (size_t k = 0; k < package.streams.size(); ++k) {
            const StoredStream& stream = package.streams[k];
            stored.emplace(KeyOf(stream.size, stream.Md5Bytes()),
                           StreamRef{item.first, static_cast<uint32_t>(k)});
        }
    }
    // A stored stream as an entry; its SHA-256 is read from the package when its contents
    // list lacks it (older packages), once.
    const auto storedEntry = [tree](const StreamRef& ref, PackedEntry* entry,
                                    std::wstring* message) {
        TreePackage& package = tree->packages[ref.package];
        StoredStream& stream = package.streams[ref.stream];
        if (!stream.hasSha256) {
            const std::string sha =
                PackageRangeSha256(*tree, package.dir, stream.offset, stream.length);
            if (sha.size() != 32) {
                *message = L"cannot read the package " + package.dir;
                return false;
            }
            std::memcpy(stream.sha256, sha.data(), sizeof(stream.sha256));
            stream.hasSha256 = true;
        }
        entry->packageDir = package.dir;
        entry->offset = stream.offset;
        entry->length = stream.length;
        entry->md5 = stream.Md5Bytes();
        entry->inputSize = stream.size;
        entry->sha256 = stream.Sha256Bytes();
        return true;
    };

    PackageWriter writer(tree->root, tree->lastPackage + 1, packageLimit);
    GzipCompressor large;  // for files too large to hold, compressed on this thread
    ReleaseRecords records(inputs.Size());
    std::string chunkLines;  // the lines naming the chunk lists, after the records
    *stats = PublishStats();
    ULONGLONG lastReport = ::GetTickCount64();

    size_t cursor = 0;  // walks the previous stamps beside the inputs (both in input order)
    // The stamp file i is settled by, when its size and time are unchanged.
    const auto stamped = [&previous, &inputs, &cursor](size_t i, size_t* found) {
        const bool launcher = inputs.IsLauncher(i);
        const auto before = [&](size_t k) {
            return previous.IsLauncher(k) != launcher ? !previous.IsLauncher(k)
                                                      : inputs.CompareName(i, previous.Name(k)) > 0;
        };
        while (cursor < previous.Size() && before(cursor)) ++cursor;
        if (cursor == previous.Size()) return false;
        if (previous.IsLauncher(cursor) != launcher ||
            inputs.CompareName(i, previous.Name(cursor)) != 0 ||
            previous.FileSize(cursor) != inputs.FileSize(i) ||
            previous.WriteTime(cursor) != inputs.WriteTime(i) || inputs.WriteTime(i) == 0) {
            return false;
        }
        *found = cursor;
        return true;
    };
    const auto isKnown = [&stored](const FileDigest& digest) {
        return stored.count(KeyOf(digest.size, digest.md5)) > 0;
    };
    ChunkStore chunkStore;
    chunkStore.find = [&](int64_t size, const std::string& md5, PackedEntry* entry, bool* found,
                          std::wstring* message) {
        const ContentKey key = KeyOf(size, md5);
        const auto old = stored.find(key);
        uint32_t twin = 0;
        const bool isTwin = records.FindContent(size, md5, &twin);
        *found = old != stored.end() || isTwin;
        if (isTwin) {
            *entry = records.EntryOf(twin);
            return true;
        }
        return old == stored.end() || storedEntry(old->second, entry, message);
    };
    chunkStore.added = [&records](const PackedEntry& entry) {
        uint32_t twin = 0;
        if (!records.FindContent(entry.inputSize, entry.md5, &twin)) {
            records.AddContent(records.AddPlacement(entry));
        }
    };
    const auto take = [&](size_t i, PreparedFile* file) {
        if (!file->error.empty()) {
            *error = file->error;
            return false;
        }
        const ContentKey key = KeyOf(file->digest.size, file->digest.md5);
        const auto old = stored.find(key);
        uint32_t twin = 0;
        const bool isTwin = records.FindContent(file->digest.size, file->digest.md5, &twin);
        // Launcher files travel in the bundle, whole.
        const bool chunked = !inputs.IsLauncher(i) && chunking.thresholdBytes > 0 &&
                             file->digest.size >= chunking.thresholdBytes;
        const bool chunkOnly =
            chunked && (chunking.chunkOnly || file->digest.size >= ChunkSettings::kChunkOnlySize);
        ChunkReference reference;
        if (chunked) {
            ChunkedStats chunkStats;
            if (!PublishChunkedFile(tree->root, inputs.Path(i), file->digest.md5, &writer,
                                    chunkStore, &reference, &chunkStats, error)) {
                return false;
            }
            chunkLines += FormatChunkReference(TextToUtf8Exact(inputs.Name(i)), reference);
            ++stats->chunkedFiles;
            stats->chunks += chunkStats.chunks;
            stats->newChunks += chunkStats.newChunks;
        }
        uint32_t placement = 0;
        int64_t inputSize = file->digest.size;
        if (chunkOnly) {
            PackedEntry entry;
            entry.packageDir = kChunkListFolder;
            entry.md5 = file->digest.md5;
            entry.inputSize = file->digest.size;
            entry.sha256 = reference.listSha256;
            placement = records.AddPlacement(entry);
        } else if (old != stored.end()) {
            PackedEntry entry;
            if (!storedEntry(old->second, &entry, error)) return false;
            placement = records.AddPlacement(entry);
            inputSize = entry.inputSize;
            ++stats->reusedFiles;
            stats->reusedBytes += entry.length;
        } else if (isTwin) {
            placement = twin;  // the same content twice in this release: stored once
        } else {
            PackedEntry entry;
            const bool ok = file->whole ? writer.AddStream(file->gz, file->digest, file->gzSha256,
                                                           &entry, error)
                                        : writer.AddFile(inputs.Path(i), &large, &entry, error);
            if (!ok) return false;
            // A file streamed into the packages was hashed again as it was compressed: its
            // placement carries the digest of the bytes stored.
            placement = records.AddPlacement(entry);
            records.AddContent(placement);
            inputSize = entry.inputSize;
        }
        // A file that changed between listing and reading gets no stamp: it is read next time.
        records.SetFile(i, placement, file->digest.size == inputs.FileSize(i));
        ++stats->files;
        if (inputs.IsLauncher(i)) ++stats->launcherFiles;
        stats->inputBytes += inputSize;
        const ULONGLONG now = ::GetTickCount64();
        if (now - lastReport >= 1000) {
            lastReport = now;
            const std::string line = "OmbrixPack: " + std::to_string(i + 1) + "/" +
                                     std::to_string(inputs.Size()) + " files\n";
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
        return true;
    };

    // Files whose stamps give content the tree stores are settled without reading them (their
    // digest waits in the records); the others go through the pipeline, and everything is
    // taken in the inputs' order.
    std::vector<uint32_t> toRead;
    for (size_t i = 0; i < inputs.Size(); ++i) {
        size_t stamp = 0;
        FileDigest digest;
        const bool found = stamped(i, &stamp);
        if (found) {
            digest.size = previous.FileSize(stamp);
            digest.md5 = previous.Md5(stamp);
        }
        if (found && isKnown(digest)) {
            records.Hold(i, static_cast<uint32_t>(stamp));
        } else {
            toRead.push_back(static_cast<uint32_t>(i));
        }
    }
    stats->readFiles = toRead.size();
    size_t nextInput = 0;
    const auto takeSettled = [&](size_t end) {
        for (; nextInput < end; ++nextInput) {
            PreparedFile file;
            file.digest.size = inputs.FileSize(nextInput);
            file.digest.md5 = previous.Md5(records.Held(nextInput));
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
    const auto pathOf = [&inputs, &toRead](size_t j) { return inputs.Path(toRead[j]); };
    const bool packed = RunFilePipeline(toRead.size(), pathOf, threads, isKnown, takeRead) &&
                        takeSettled(inputs.Size()) && writer.Close(error);
    // What only the packing needed goes before the configuration is written.
    std::vector<uint32_t>().swap(toRead);
    stored = decltype(stored)();
    stats->newPackages = writer.Packages();
    stats->newBytes = writer.BytesWritten();
    if (!packed) {
        writer.RemoveOutput();
        return false;
    }
    // The record first (the numbers of the new packages are used from now on), the
    // configuration last, its records formatted a piece at a time as they are written.
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
    size_t nextRecord = 0;
    const auto nextRecords = [&records, &inputs, &nextRecord](std::string* piece) {
        return records.NextConfigLines(inputs, &nextRecord, piece);
    };
    if (!WriteReleaseRecord(tree->root, lastPackage, releases, error) ||
        !WriteConfiguration(tree, release, nextRecords, signingKey, expiresDays, false,
                            &stats->serial, error, chunkLines)) {
        writer.RemoveOutput();
        return false;
    }
    tree->lastPackage = lastPackage;
    tree->releases = releases;
    // Only a help for the next release: a stale or missing file means reading everything.
    records.WriteStamps(inputs, tree->root);
    return true;
}
