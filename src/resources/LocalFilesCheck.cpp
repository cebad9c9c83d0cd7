#include "resources/LocalFilesCheck.h"

#include <algorithm>
#include <unordered_map>

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

void LocalFilesCheck::Run(const std::wstring& rootDir, const std::wstring& gameDir,
                          ombrix::CriticalSection& lock, ResoureConfigMap* local,
                          const ResoureConfigList& config, const Progress& progress) {
    const bool full = fullRequested_.exchange(false);
    lastRunFull = full;
    filesChecked = 0;
    damaged.clear();

    std::vector<RecordedFile> recorded;
    {
        ScopedLock guard(lock);
        recorded.reserve(local->size());
        for (const auto& entry : *local) {
            if (!entry.second.md5.empty()) recorded.push_back({entry.first, entry.second.md5});
        }
    }
    // A full check reads the files the update keeps; the others are fetched anyway.
    std::unordered_map<std::wstring, const std::wstring*> published;
    if (full) {
        for (const ResoureConfigInfo& info : config) {
            if (!IsLauncherCategory(info.category)) published.emplace(info.name, &info.md5);
        }
    }
    std::vector<const std::wstring*> names;
    names.reserve(recorded.size());
    for (const RecordedFile& file : recorded) names.push_back(&file.name);
    FolderListing listing;
    listing.ListFoldersOf(gameDir, names);
    std::wstring stampsText;
    ReadTextFile((rootDir + kStampsFileName).c_str(), &stampsText);

    InstallStampMap confirmed;
    std::vector<DigestJob> jobs;
    std::vector<std::pair<const RecordedFile*, ListedFile>> jobFiles;
    uint64_t totalBytes = 0;
    {
        // The stamps on disk are the current ones from here on, so that a save while files are
        // read (the player closing the launcher) writes them back as they were.
        ScopedLock stampsGuard(stampsLock_);
        stamps_.clear();
        ParseStampsText(stampsText, &stamps_);
        for (const RecordedFile& file : recorded) {
            const auto stamp = stamps_.find(file.name);
            const ListedFile* listed = listing.Find(file.name);
            bool readAnyway = false;
            if (full) {
                const auto entry = published.find(file.name);
                readAnyway = entry != published.end() && *entry->second == file.digest;
            }
            const InstallStamp* stamped = stamp != stamps_.end() ? &stamp->second : nullptr;
            switch (JudgeRecordedFile(file.digest, stamped, listed, readAnyway)) {
                case CheckVerdict::Intact:
                    confirmed.emplace_hint(confirmed.end(), file.name, *stamped);
                    break;
                case CheckVerdict::Adopt:
                    confirmed.emplace_hint(confirmed.end(), file.name,
                                           StampOf(*listed, file.digest));
                    break;
                case CheckVerdict::Missing:
                    damaged.push_back(file.name);
                    break;
                case CheckVerdict::Digest: {
                    DigestJob job;
                    job.path = gameDir + file.name;
                    job.digest = file.digest;
                    job.size = listed->size;
                    jobs.push_back(std::move(job));
                    jobFiles.emplace_back(&file, *listed);
                    totalBytes += listed->size;
                    break;
                }
            }
        }
    }
    if (!jobs.empty()) {
        ResourceManagerCheckProgressInfo info(0, static_cast<int64_t>(totalBytes));
        if (progress) progress(&info);
        DigestFiles(&jobs, [&info, &progress, totalBytes](uint64_t bytesDone, size_t) {
            info.checkedBytes = static_cast<int64_t>(std::min(bytesDone, totalBytes));
            if (progress) progress(&info);
        });
        for (size_t i = 0; i < jobs.size(); ++i) {
            const RecordedFile& file = *jobFiles[i].first;
            if (jobs[i].matches) {
                confirmed.emplace(file.name, StampOf(jobFiles[i].second, file.digest));
            } else {
                damaged.push_back(file.name);
            }
        }
        filesChecked = jobs.size();
        std::sort(damaged.begin(), damaged.end());
    }
    {
        ScopedLock guard(lock);
        for (const std::wstring& name : damaged) {
            const auto found = local->find(name);
            if (found != local->end()) found->second.md5.clear();
        }
    }
    ScopedLock guard(stampsLock_);
    stamps_.swap(confirmed);
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

std::wstring LocalFilesCheck::FormatStamps(const ResoureConfigMap& local) {
    std::wstring text;
    ScopedLock guard(stampsLock_);
    text.reserve(stamps_.size() * 96);
    // Both maps are in name order: one walk through both.
    auto record = local.begin();
    for (const auto& entry : stamps_) {
        while (record != local.end() && record->first < entry.first) ++record;
        if (record == local.end()) break;
        if (record->first == entry.first && record->second.md5 == entry.second.digest) {
            AppendStampLine(entry.first, entry.second, &text);
        }
    }
    return text;
}

void LocalFilesCheck::SaveStamps(const std::wstring& rootDir, const std::wstring& text) {
    WriteManifestFile(rootDir + kStampsFileName, text);
}
