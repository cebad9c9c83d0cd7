#include "resources/LocalFilesCheck.h"

#include <algorithm>
#include <functional>

#include "app/FileServices.h"
#include "resources/FileDigests.h"
#include "resources/FolderListing.h"
#include "resources/ManifestFile.h"
#include "resources/ManifestText.h"
#include "resources/QuickCheck.h"
#include "resources/StampTable.h"
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
    StampTable stamps;        // that list, until Run gives its stamps to the records
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
                               const LocalManifestMap& local) {
    const auto start = std::chrono::steady_clock::now();
    // The folders holding recorded files (a listing lists folders): the names are not copied.
    std::vector<std::wstring> folders;
    {
        ScopedLock guard(lock);
        std::wstring_view previous;
        for (const LocalRecord& entry : local) {
            if (entry.md5.empty()) continue;
            const std::wstring_view folder = FolderOf(local.Name(entry));
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
                              ombrix::CriticalSection& lock, const LocalManifestMap& local) {
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
                          ombrix::CriticalSection& lock, LocalManifestMap* local,
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
        // The stamps on disk are the records' stamps from here on, so that a save while files
        // are read (the player closing the launcher) writes them back as they were. Stamps of
        // files found intact stay; the others go, or are replaced once the content is confirmed.
        ScopedLock guard(lock);
        {
            ScopedLock stampsGuard(stampsLock_);
            savedStampsDir_ = rootDir;
            savedStampsHash_ = prepared->stampsHash;
        }
        // Both lists in name order: one walk through both.
        const StampTable::Stamps& stamps = prepared->stamps.Sorted();
        auto stamp = stamps.begin();
        for (auto entry = local->begin(); entry != local->end(); ++entry) {
            if (entry->md5.empty()) {
                local->ClearStamp(entry);
                continue;
            }
            const std::wstring_view name = local->Name(*entry);
            // Stamps of files no longer recorded go.
            while (stamp != stamps.end() && stamp->name < name) ++stamp;
            const TableStamp* found =
                stamp != stamps.end() && stamp->name == name ? &*stamp : nullptr;
            const ListedFile* listed = listing.Find(name);
            bool readAnyway = false;
            if (full) {
                // A full check reads the files the update keeps; the others are fetched anyway.
                const auto cdn = published.find(name);
                readAnyway = cdn != published.end() && cdn->md5 == entry->md5;
            }
            // A stamp counts only beside the digest it was taken with.
            const bool stamped = found != nullptr && found->digest == entry->md5;
            switch (JudgeRecordedFile(entry->md5, found, listed, readAnyway)) {
                case CheckVerdict::Intact:
                    local->SetStamp(entry, found->size, found->writeTime);
                    break;
                case CheckVerdict::Adopt:
                    local->SetStamp(entry, listed->size, listed->writeTime);
                    break;
                case CheckVerdict::Missing:
                    local->ClearStamp(entry);
                    damaged.emplace_back(name);
                    break;
                case CheckVerdict::Digest: {
                    // Its stamp stays until the content is judged.
                    if (stamped) {
                        local->SetStamp(entry, found->size, found->writeTime);
                    } else {
                        local->ClearStamp(entry);
                    }
                    DigestJob job;
                    job.path = gameDir;
                    job.path.append(name);
                    job.digest = entry->md5.Text();
                    job.size = listed->size;
                    jobs.push_back(std::move(job));
                    jobFiles.push_back({std::wstring(name), *listed, entry->md5});
                    totalBytes += listed->size;
                    break;
                }
            }
        }
    }
    prepared.reset();  // the stamps list read from the disk is held by the records now
    if (!jobs.empty()) {
        ResourceManagerCheckProgressInfo info(0, static_cast<int64_t>(totalBytes));
        if (progress) progress(&info);
        DigestFiles(&jobs, [&info, &progress, totalBytes](uint64_t bytesDone, size_t) {
            info.checkedBytes = static_cast<int64_t>(std::min(bytesDone, totalBytes));
            if (progress) progress(&info);
        });
        filesChecked = jobs.size();
    }
    ScopedLock guard(lock);
    for (size_t i = 0; i < jobs.size(); ++i) {
        const FileToRead& file = jobFiles[i];
        if (!jobs[i].matches) {
            damaged.push_back(file.name);
            continue;
        }
        // Stamped with the digest its content was found to have.
        const auto found = local->find(file.name);
        if (found != local->end() && found->md5 == file.digest) {
            local->SetStamp(found, file.listed.size, file.listed.writeTime);
        }
    }
    std::sort(damaged.begin(), damaged.end());
    for (const std::wstring& name : damaged) {
        const auto found = local->find(name);
        if (found != local->end()) local->ClearDigest(found);
    }
    runMs = MillisecondsSince(start);
}

std::string LocalFilesCheck::FormatStamps(const LocalManifestMap& local) {
    size_t size = 0;
    for (const LocalRecord& record : local) {
        if (record.stamped) size += local.Name(record).size() + 80;
    }
    std::string text;
    text.reserve(size);
    std::wstring after;
    FormatStampsSlice(local, &after, SIZE_MAX, &text);
    return text;
}

bool LocalFilesCheck::FormatStampsSlice(const LocalManifestMap& list, std::wstring* after,
                                        size_t maxBytes, std::string* bytes) {
    if (after == nullptr || bytes == nullptr) return true;
    const size_t start = bytes->size();
    auto record = after->empty() ? list.begin() : list.upper_bound(*after);
    for (; record != list.end(); ++record) {
        if (!record->stamped) continue;
        const std::wstring_view name = list.Name(*record);
        after->assign(name);
        AppendStampLineUtf8(name, *record, bytes);
        // An empty name (it sorts first) cannot mark where the next slice starts.
        if (bytes->size() - start >= maxBytes && !name.empty()) {
            return record + 1 == list.end();
        }
    }
    return true;
}

void LocalFilesCheck::SaveStamps(const std::wstring& rootDir, ombrix::CriticalSection& lock,
                                 const LocalManifestMap& local, size_t sliceBytes) {
    // The slices of the text, each formatted under lock, hashed as they are given.
    const auto slices = [&lock, &local, sliceBytes](StreamHash* hash) {
        return
            [&lock, &local, sliceBytes, hash, after = std::wstring()](std::string* bytes) mutable {
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
