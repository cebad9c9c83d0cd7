#include "PublishRelease.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "ConfigLine.h"
#include "FilePipeline.h"
#include "PackageWriter.h"
#include "SourceStamps.h"
#include "app/FileServices.h"
#include "app/TextConvert.h"
#include "app/TextFormat.h"

namespace {

// Content is found by its size and digest.
std::string ContentKey(int64_t size, const std::string& md5Hex) {
    return md5Hex + ":" + std::to_string(size);
}

bool WriteConfig(const std::wstring& path, const std::wstring& text, std::wstring* error) {
    const std::wstring beside = path + L".new";
    if (!WriteFileBytes(beside.c_str(), TextToUtf8Exact(text)) ||
        !::MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        ::DeleteFileW(beside.c_str());
        *error = path + L": cannot write the configuration";
        return false;
    }
    return true;
}

}  // namespace

bool PublishRelease(CdnTree* tree, const std::wstring& release,
                    const std::vector<PublishInput>& inputs, int64_t packageLimit, int threads,
                    bool rehash, PublishStats* stats, std::wstring* error) {
    // What the tree stores already: the streams of the packages its configurations name.
    std::unordered_map<std::string, PackedEntry> stored;
    for (const auto& config : tree->configs) {
        for (const ResoureConfigInfo& line : config.second) {
            const TreePackage& package = tree->packages[std::stoi(line.packageDir.substr(4))];
            const auto stream = std::lower_bound(
                package.streams.begin(), package.streams.end(), line.offset,
                [](const StoredStream& s, int64_t offset) { return s.offset < offset; });
            PackedEntry entry;  // LoadCdnTree found the stream that starts at the offset
            entry.packageDir = line.packageDir;
            entry.offset = stream->offset;
            entry.length = stream->length;
            entry.inputSize = stream->size;
            stored.emplace(ContentKey(stream->size, stream->md5), entry);
        }
    }

    PackageWriter writer(tree->root, tree->lastPackage + 1, packageLimit);
    GzipCompressor large;  // for files too large to hold, compressed on this thread
    std::unordered_map<std::string, PackedEntry> added;  // new content of this release
    std::vector<std::wstring> paths;
    for (const PublishInput& input : inputs) paths.push_back(input.file.path);
    std::wstring config;
    *stats = PublishStats();
    ULONGLONG lastReport = ::GetTickCount64();

    const SourceStamps previous = rehash ? SourceStamps() : ReadSourceStamps(tree->root);
    SourceStamps stamps;
    const auto stamped = [&previous, &inputs](size_t i, FileDigest* digest) {
        const SourceFile& file = inputs[i].file;
        const auto stamp = previous.find({inputs[i].launcher, file.name});
        if (stamp == previous.end() || stamp->second.size != file.size ||
            stamp->second.writeTime != file.writeTime || file.writeTime == 0) {
            return false;
        }
        digest->size = stamp->second.size;
        digest->md5 = stamp->second.md5;
        return true;
    };
    const auto isKnown = [&stored](const FileDigest& digest) {
        return stored.count(ContentKey(digest.size, BytesToHex(digest.md5))) > 0;
    };
    const auto take = [&](size_t i, PreparedFile* file) {
        if (!file->error.empty()) {
            *error = file->error;
            return false;
        }
        PackedEntry entry;
        const std::string key = ContentKey(file->digest.size, BytesToHex(file->digest.md5));
        const auto old = stored.find(key);
        const auto twin = added.find(key);
        if (old != stored.end()) {
            entry = old->second;
            ++stats->reusedFiles;
            stats->reusedBytes += entry.length;
        } else if (twin != added.end()) {
            entry = twin->second;  // the same content twice in this release: stored once
        } else {
            const bool ok = file->whole
                                ? writer.AddStream(file->gz, file->digest, &entry, error)
                                : writer.AddFile(paths[i], &large, &entry, error);
            if (!ok) return false;
            added.emplace(ContentKey(entry.inputSize, BytesToHex(entry.md5)), entry);
        }
        // A file streamed into the packages was hashed again as it was compressed.
        if (file->whole || entry.md5.empty()) entry.md5 = file->digest.md5;
        config += FormatConfigLine(inputs[i].file.name, entry, inputs[i].launcher);
        ++stats->files;
        if (inputs[i].launcher) ++stats->launcherFiles;
        if (file->read) ++stats->readFiles;
        // A file that changed between listing and reading gets no stamp: it is read next time.
        if (file->digest.size == inputs[i].file.size) {
            stamps[{inputs[i].launcher, inputs[i].file.name}] =
                SourceStamp{inputs[i].file.size, inputs[i].file.writeTime, entry.md5};
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

    const bool packed = RunFilePipeline(paths, threads, stamped, isKnown, take) && writer.Close(error);
    stats->newPackages = writer.Packages();
    stats->newBytes = writer.BytesWritten();
    if (!packed) {
        writer.RemoveOutput();
        return false;
    }
    // The record first (the numbers of the new packages are used from now on), the
    // configuration last.
    CdnTree next = *tree;
    next.lastPackage += static_cast<int32_t>(stats->newPackages.size());
    for (auto it = next.releases.begin(); it != next.releases.end(); ++it) {
        if (it->name == release) {
            next.releases.erase(it);
            break;
        }
    }
    next.releases.push_back(TreeRelease{release, UtcNowText()});
    const std::wstring configDir = tree->root + L"config\\";
    if (!CreateDirectories(configDir) && !DirectoryExists(configDir)) {
        *error = configDir + L": cannot create the folder";
        writer.RemoveOutput();
        return false;
    }
    if (!WriteReleaseRecord(next, error) ||
        !WriteConfig(ConfigPathOf(next, release), config, error)) {
        writer.RemoveOutput();
        return false;
    }
    *tree = next;
    // Only a help for the next release: a stale or missing file means reading everything.
    WriteSourceStamps(tree->root, stamps);
    return true;
}
