#include "resources/LocalFilesCheck.h"

#include <algorithm>
#include <functional>

#include "app/FileServices.h"
#include "resources/FileDigests.h"
#include "resources/FolderListing.h"
#include "resources/ManifestFile.h"
#include "resources/ManifestText.h"
#include "resources/QuickCheck.h"
#include "resources/StreamHash.h"

using ombrix::ScopedLock;

namespace {

const wchar_t kStampsFileName[] = L"version.stamps";

// A recorded file whose content is to be read.
struct FileToRead {
    std::wstring name;
    ListedFile listed;
    PackedDigest<16> digest;
};

std::wstring_view NameOf(std::wstring_view name) {
    return name;
}
template <typename Named>
std::wstring_view NameOf(const Named& named) {
    return named.name;
}

// The folder part of a name, up to its last "\" or "/" (empty for a file of the root).
std::wstring_view FolderOf(std::wstring_view name) {
    const size_t separator = name.find_last_of(L"\\/");
    return separator == std::wstring_view::npos ? std::wstring_view()
                                                : name.substr(0, separator + 1);
}

}  // namespace

// What a check reads from the disk before it can judge a file: nothing of it depends on the
// CDN's configuration, so it is read while the configuration is requested.
struct LocalFilesCheck::Prepared {
    std::wstring rootDir;
    std::wstring gameDir;
    uint64_t ms = 0;      // time taken
    uint64_t listMs = 0;  // of it, listing the folders
    FolderListing listing;
    uint64_t stampsHash = 0;  // StreamHash of the stamps list as read from the disk
    StampTable stamps;
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
    // The folders holding recorded files (a listing lists folders): the names are not copied.
    std::vector<std::wstring> folders;
    {
        ScopedLock guard(lock);
        std::wstring_view previous;
        for (const ResoureConfigEntry& entry : local) {
            if (entry.md5.empty()) continue;
            const std::wstring_view folder = FolderOf(entry.name);
            if (!folders.empty() && folder == previous) continue;
            folders.emplace_back(folder);
            previous = folder;
        }
    }
    std::vector<const std::wstring*> names;
    names.reserve(folders.size());
    for (const std::wstring& folder : folders) names.push_back(&folder);
    // The listing spends its time in the file system's calls: the stamps are read meanwhile.
    const auto list = [prepared, &names]() {
        const auto listing = std::chrono::steady_clock::now();
        prepared->listing.ListFoldersOf(prepared->gameDir, names);
        prepared->listMs = MillisecondsSince(listing);
    };
    std::thread lister;
    try {
        lister = std::thread(list);
    } catch (...) {
        list();  // no thread to be had: one after the other
    }
    std::string bytes;
    if (ReadFileBytes(prepared->rootDir + kStampsFileName, &bytes)) {
        const size_t mark = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
        ParseStampsUtf8(bytes.data() + mark, bytes.size() - mark, &prepared->stamps);
    }
    // A list that cannot be read counts as an empty one, which a save then need not write.
    StreamHash hash;
    hash.Add(bytes);
    prepared->stampsHash = hash.Value();
    if (lister.joinable()) lister.join();
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
    listMs = prepared->listMs;
    const FolderListing& listing = prepared->listing;

    std::vector<DigestJob> jobs;
    std::vector<FileToRead> jobFiles;
    uint64_t totalBytes = 0;
    {
        // The stamps on disk are the current ones from here on, so that a save while files are
        // read (the player closing the launcher) writes them back as they were. Stamps of files
        // found intact stay; the others are dropped, or replaced once the content is confirmed.
        ScopedLock guard(lock);
        ScopedLock stampsGuard(stampsLock_);
        stamps_.swap(prepared->stamps);
        prepared->stamps.clear();
        savedStampsDir_ = rootDir;
        savedStampsHash_ = prepared->stampsHash;
        // Both lists in name order: one walk through both, the stamps kept going into next.
        StampTable::Stamps stamps = stamps_.TakeSorted();
        StampTable::Stamps next;
        next.reserve(stamps.size());
        auto stamp = stamps.begin();
        for (const ResoureConfigEntry& entry : *local) {
            if (entry.md5.empty()) continue;
            // Stamps of files no longer recorded go.
            while (stamp != stamps.end() && stamp->name < entry.name) ++stamp;
            const bool hasStamp = stamp != stamps.end() && stamp->name == entry.name;
            const ListedFile* listed = listing.Find(entry.name);
            bool readAnyway = false;
            if (full) {
                // A full check reads the files the update keeps; the others are fetched anyway.
                const auto found = published.find(entry.name);
                readAnyway = found != published.end() && found->md5 == entry.md5;
            }
            switch (
                JudgeRecordedFile(entry.md5, hasStamp ? &*stamp : nullptr, listed, readAnyway)) {
                case CheckVerdict::Intact:
                    next.push_back(std::move(*stamp));
                    break;
                case CheckVerdict::Adopt:
                    next.push_back(
                        stamps_.NewStamp(entry.name, listed->size, listed->writeTime, entry.md5));
                    break;
                case CheckVerdict::Missing:
                    damaged.emplace_back(entry.name);
                    break;
                case CheckVerdict::Digest: {
                    // Its stamp stays until the content is judged.
                    if (hasStamp) next.push_back(std::move(*stamp));
                    DigestJob job;
                    job.path = gameDir;
                    job.path.append(entry.name);
                    job.digest = entry.md5.Text();
                    job.size = listed->size;
                    jobs.push_back(std::move(job));
                    jobFiles.push_back({std::wstring(entry.name), *listed, entry.md5});
                    totalBytes += listed->size;
                    break;
                }
            }
            if (hasStamp) ++stamp;
        }
        stamps_.Replace(std::move(next));
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
            std::vector<std::wstring_view> changed;
            for (size_t i = 0; i < jobs.size(); ++i) {
                const FileToRead& file = jobFiles[i];
                if (jobs[i].matches) {
                    stamps_.Set(file.name, file.listed.size, file.listed.writeTime, file.digest);
                } else {
                    changed.push_back(file.name);
                    damaged.push_back(file.name);
                }
            }
            stamps_.EraseNames(std::move(changed));
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
    const PackedDigest<16> packed(digest);
    ScopedLock guard(stampsLock_);
    stamps_.Set(name, size, writeTime, packed);
}

void LocalFilesCheck::ReserveStamps(size_t count) {
    ScopedLock guard(stampsLock_);
    stamps_.Reserve(count);
}

bool LocalFilesCheck::FormatStampsSlice(const ResoureConfigMap& local, std::wstring* after,
                                        size_t maxBytes, std::string* bytes) {
    if (after == nullptr || bytes == nullptr) return true;
    ScopedLock guard(stampsLock_);
    const StampTable::Stamps& stamps = stamps_.Sorted();
    const auto byName = [](const auto& a, const auto& b) { return NameOf(a) < NameOf(b); };
    auto stamp = stamps.begin();
    if (!after->empty()) {
        stamp = std::upper_bound(stamps.begin(), stamps.end(), std::wstring_view(*after), byName);
    }
    if (stamp == stamps.end()) return true;
    // Both lists are in name order: one walk through both.
    auto record = local.begin();  // first: it may move the list's entries
    record = std::lower_bound(record, local.end(), stamp->name, byName);
    const size_t start = bytes->size();
    for (; stamp != stamps.end(); ++stamp) {
        while (record != local.end() && record->name < stamp->name) ++record;
        if (record == local.end()) break;
        if (record->name != stamp->name || record->md5 != stamp->digest) continue;
        AppendStampLineUtf8(*stamp, bytes);
        after->assign(stamp->name);
        // An empty name (it sorts first) cannot mark where the next slice starts.
        if (bytes->size() - start >= maxBytes && !stamp->name.empty()) {
            return stamp + 1 == stamps.end();
        }
    }
    return true;
}

void LocalFilesCheck::SaveStamps(const std::wstring& rootDir, ombrix::CriticalSection& lock,
                                 const ResoureConfigMap& local, size_t sliceBytes) {
    // The slices of the text, each formatted under lock, hashed as they are given.
    const auto slices = [this, &lock, &local, sliceBytes](StreamHash* hash) {
        return [this, &lock, &local, sliceBytes, hash,
                after = std::wstring()](std::string* bytes) mutable {
            bool last = false;
            {
                ScopedLock guard(lock);
                last = FormatStampsSlice(local, &after, sliceBytes, bytes);
            }
            hash->Add(*bytes);
            return last;
        };
    };
    // Known by its hash, so that the list of a large installation is neither kept nor read back:
    // the text is hashed once without writing it. Two lists of one hash would leave the older on
    // disk, whose stamps then only make files be read again.
    bool known = false;
    {
        ScopedLock guard(stampsLock_);
        known = rootDir == savedStampsDir_;
    }
    if (known) {
        StreamHash hash;
        auto next = slices(&hash);
        std::string bytes;
        for (bool last = false; !last; bytes.clear()) last = next(&bytes);
        ScopedLock guard(stampsLock_);
        if (rootDir == savedStampsDir_ && hash.Value() == savedStampsHash_) return;
    }
    // The text written may differ from the one hashed (files recorded meanwhile): the hash kept
    // is that of the bytes written.
    StreamHash written;
    if (!WriteManifestSlices(rootDir + kStampsFileName, slices(&written))) return;
    ScopedLock guard(stampsLock_);
    savedStampsDir_ = rootDir;
    savedStampsHash_ = written.Value();
}
