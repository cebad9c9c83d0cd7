#include "resources/LocalFilesCheck.h"

#include <algorithm>
#include <functional>

#include "app/FileServices.h"
#include "resources/FileDigests.h"
#include "resources/FolderListing.h"
#include "resources/ManifestFile.h"
#include "resources/ManifestText.h"
#include "resources/QuickCheck.h"

using ombrix::ScopedLock;

namespace {

const wchar_t kStampsFileName[] = L"version.stamps";

struct RecordedFile {
    std::wstring name;
    std::wstring digest;
};

InstallStamp StampOf(const ListedFile& listed, const std::wstring& digest) {
    InstallStamp stamp;
    stamp.size = listed.size;
    stamp.writeTime = listed.writeTime;
    stamp.digest = digest;
    return stamp;
}

}  // namespace

// What a check reads from the disk before it can judge a file: nothing of it depends on the
// CDN's configuration, so it is read while the configuration is requested.
struct LocalFilesCheck::Prepared {
    std::wstring rootDir;
    std::wstring gameDir;
    uint64_t ms = 0;                     // time taken
    std::vector<RecordedFile> recorded;  // in the order of local
    FolderListing listing;
    size_t stampsHash = 0;  // hash of the stamps list as read from the disk
    InstallStampMap stamps;
};

LocalFilesCheck::LocalFilesCheck() = default;

uint64_t LocalFilesCheck::MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count());
}

LocalFilesCheck::~LocalFilesCheck() {
    if (preparing_.joinable()) preparing_.join();
}

void LocalFilesCheck::ReadDisk(Prepared* prepared, ombrix::CriticalSection& lock,
                               const ResoureConfigMap& local) {
    const auto start = std::chrono::steady_clock::now();
    {
        ScopedLock guard(lock);
        prepared->recorded.reserve(local.size());
        for (const ResoureConfigEntry& entry : local) {
            if (!entry.md5.empty()) prepared->recorded.push_back({entry.name, entry.md5.Text()});
        }
    }
    std::vector<const std::wstring*> names;
    names.reserve(prepared->recorded.size());
    for (const RecordedFile& file : prepared->recorded) names.push_back(&file.name);
    prepared->listing.ListFoldersOf(prepared->gameDir, names);
    std::string bytes;
    if (ReadFileBytes(prepared->rootDir + kStampsFileName, &bytes)) {
        const size_t mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        ParseStampsUtf8(bytes.data() + mark, bytes.size() - mark, &prepared->stamps);
    }
    // A list that cannot be read counts as an empty one, which a save then need not write.
    prepared->stampsHash = std::hash<std::string>()(bytes);
    prepared->ms = MillisecondsSince(start);
}

void LocalFilesCheck::Prepare(const std::wstring& rootDir, const std::wstring& gameDir,
                              ombrix::CriticalSection& lock, const ResoureConfigMap& local) {
    if (preparing_.joinable()) preparing_.join();
    prepared_.reset(new Prepared);
    prepared_->rootDir = rootDir;
    prepared_->gameDir = gameDir;
    Prepared* prepared = prepared_.get();
    try {
        preparing_ = std::thread([prepared, &lock, &local]() { ReadDisk(prepared, lock, local); });
    } catch (...) {
        prepared_.reset();  // no thread: Run reads the disk itself
    }
}

void LocalFilesCheck::Run(const std::wstring& rootDir, const std::wstring& gameDir,
                          ombrix::CriticalSection& lock, ResoureConfigMap* local,
                          const ResoureConfigMap& published, const Progress& progress) {
    const auto start = std::chrono::steady_clock::now();
    const bool full = fullRequested_.exchange(false);
    lastRunFull = full;
    filesChecked = 0;
    damaged.clear();

    if (preparing_.joinable()) preparing_.join();
    waitMs = MillisecondsSince(start);
    std::unique_ptr<Prepared> prepared = std::move(prepared_);
    if (!prepared || prepared->rootDir != rootDir || prepared->gameDir != gameDir) {
        prepared.reset(new Prepared);
        prepared->rootDir = rootDir;
        prepared->gameDir = gameDir;
        ReadDisk(prepared.get(), lock, *local);
    }
    diskMs = prepared->ms;
    const std::vector<RecordedFile>& recorded = prepared->recorded;
    const FolderListing& listing = prepared->listing;

    std::vector<DigestJob> jobs;
    std::vector<std::pair<const RecordedFile*, ListedFile>> jobFiles;
    uint64_t totalBytes = 0;
    {
        // The stamps on disk are the current ones from here on, so that a save while files are
        // read (the player closing the launcher) writes them back as they were. Stamps of files
        // found intact stay where they are; the others are dropped, or replaced once the
        // content is confirmed.
        ScopedLock stampsGuard(stampsLock_);
        stamps_.swap(prepared->stamps);
        prepared->stamps.clear();
        savedStampsDir_ = rootDir;
        savedStampsHash_ = prepared->stampsHash;
        // Both lists in name order: one walk through both (local is kept in that order; any
        // other order is sorted first).
        std::vector<const RecordedFile*> order;
        order.reserve(recorded.size());
        for (const RecordedFile& file : recorded) order.push_back(&file);
        const auto byName = [](const RecordedFile* a, const RecordedFile* b) {
            return a->name < b->name;
        };
        if (!std::is_sorted(order.begin(), order.end(), byName)) {
            std::sort(order.begin(), order.end(), byName);
        }
        auto stamp = stamps_.begin();
        const std::wstring* previous = nullptr;
        for (const RecordedFile* file : order) {
            if (previous != nullptr && *previous == file->name) continue;
            previous = &file->name;
            // Stamps of files no longer recorded go.
            while (stamp != stamps_.end() && stamp->first < file->name)
                stamp = stamps_.erase(stamp);
            const bool hasStamp = stamp != stamps_.end() && stamp->first == file->name;
            const ListedFile* listed = listing.Find(file->name);
            bool readAnyway = false;
            if (full) {
                // A full check reads the files the update keeps; the others are fetched anyway.
                const auto entry = published.find(file->name);
                readAnyway = entry != published.end() && entry->md5 == file->digest;
            }
            switch (JudgeRecordedFile(file->digest, hasStamp ? &stamp->second : nullptr, listed,
                                      readAnyway)) {
                case CheckVerdict::Intact:
                    break;
                case CheckVerdict::Adopt:
                    if (hasStamp) {
                        stamp->second = StampOf(*listed, file->digest);
                    } else {
                        stamps_.emplace_hint(stamp, file->name, StampOf(*listed, file->digest));
                    }
                    break;
                case CheckVerdict::Missing:
                    damaged.push_back(file->name);
                    if (hasStamp) stamp = stamps_.erase(stamp);
                    continue;
                case CheckVerdict::Digest: {
                    // Its stamp stays until the content is judged.
                    DigestJob job;
                    job.path = gameDir + file->name;
                    job.digest = file->digest;
                    job.size = listed->size;
                    jobs.push_back(std::move(job));
                    jobFiles.emplace_back(file, *listed);
                    totalBytes += listed->size;
                    break;
                }
            }
            if (hasStamp) ++stamp;
        }
        stamps_.erase(stamp, stamps_.end());
    }
    if (!jobs.empty()) {
        ResourceManagerCheckProgressInfo info(0, static_cast<int64_t>(totalBytes));
        if (progress) progress(&info);
        DigestFiles(&jobs, [&info, &progress, totalBytes](uint64_t bytesDone, size_t) {
            info.checkedBytes = static_cast<int64_t>(std::min(bytesDone, totalBytes));
            if (progress) progress(&info);
        });
        {
            ScopedLock stampsGuard(stampsLock_);
            for (size_t i = 0; i < jobs.size(); ++i) {
                const RecordedFile& file = *jobFiles[i].first;
                if (jobs[i].matches) {
                    stamps_[file.name] = StampOf(jobFiles[i].second, file.digest);
                } else {
                    stamps_.erase(file.name);
                    damaged.push_back(file.name);
                }
            }
        }
        filesChecked = jobs.size();
    }
    std::sort(damaged.begin(), damaged.end());
    {
        ScopedLock guard(lock);
        for (const std::wstring& name : damaged) {
            const auto found = local->find(name);
            if (found != local->end()) found->md5.clear();
        }
    }
    runMs = MillisecondsSince(start);
}

void LocalFilesCheck::RecordInstalled(const std::wstring& name, uint64_t size, uint64_t writeTime,
                                      const std::wstring& digest) {
    InstallStamp stamp;
    stamp.size = size;
    stamp.writeTime = writeTime;
    stamp.digest = digest;
    ScopedLock guard(stampsLock_);
    stamps_[name] = std::move(stamp);
}

std::string LocalFilesCheck::FormatStamps(const ResoureConfigMap& local) {
    std::string text;
    ScopedLock guard(stampsLock_);
    text.reserve(stamps_.size() * 96);
    // Both maps are in name order: one walk through both.
    auto record = local.begin();
    for (const auto& entry : stamps_) {
        while (record != local.end() && record->name < entry.first) ++record;
        if (record == local.end()) break;
        if (record->name == entry.first && record->md5 == entry.second.digest) {
            AppendStampLineUtf8(entry.first, entry.second, &text);
        }
    }
    return text;
}

void LocalFilesCheck::SaveStamps(const std::wstring& rootDir, const std::string& bytes) {
    // Known by its hash: the list of a large installation is not kept twice. Two lists of one
    // hash would leave the older on disk, whose stamps then only make files be read again.
    const size_t hash = std::hash<std::string>()(bytes);
    {
        ScopedLock guard(stampsLock_);
        if (rootDir == savedStampsDir_ && hash == savedStampsHash_) return;
    }
    if (!WriteManifestBytes(rootDir + kStampsFileName, bytes)) return;
    ScopedLock guard(stampsLock_);
    savedStampsDir_ = rootDir;
    savedStampsHash_ = hash;
}
