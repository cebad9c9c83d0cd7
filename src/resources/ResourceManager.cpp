#include "resources/ResourceManager.h"

#include <windows.h>

#include <algorithm>

#include "app/FileServices.h"
#include "app/Log.h"
#include "app/TextConvert.h"
#include "resources/AcceptedSerial.h"
#include "resources/CDNResourceDownloader.h"
#include "resources/FailedLauncherRelease.h"
#include "resources/LauncherBundle.h"
#include "resources/ManifestFile.h"
#include "resources/ManifestName.h"
#include "resources/ManifestText.h"
#include "resources/ResourceHash.h"

using ombrix::ScopedLock;

namespace {

const wchar_t kVersionFileName[] = L"version.txt";
const wchar_t kLauncherManifestName[] = L"launcher_manifest.txt";
const wchar_t kGameFolder[] = L"game\\";

std::wstring ReplaceBackslashes(std::wstring text) {
    std::replace(text.begin(), text.end(), L'\\', L'/');
    return text;
}

// The record of a file to remove, from the local list (which holds no place in a package).
ResourceUpdateInfo MakeRemoval(const LocalManifestMap& local, const LocalRecord& entry) {
    ResourceUpdateInfo removal;
    removal.name = std::wstring(local.Name(entry));
    removal.remoteMd5 = entry.md5;
    removal.updateType = UpdateTypeRemoved;
    return removal;
}

int64_t SumLengths(const ResourceUpdateList& list) {
    int64_t total = 0;
    for (size_t i = 0; i < list.size(); ++i) total += static_cast<uint32_t>(list.Entry(i).length);
    return total;
}

// One line per reported state (the byte counts of state 17 excepted: they come per chunk), with
// the value its record carries.
void LogProgressState(ResourceManagerProgressState state, ResourceManagerProgressInfoBase* info) {
    int64_t value = 0;
    if (auto* size = dynamic_cast<RequestDownloadTotalSizeNoticeInfo*>(info)) {
        value = size->totalBytes;
    } else if (auto* error = dynamic_cast<ResourceManagerUpdateErrorInfo*>(info)) {
        value = error->errorCode;
    }
    LogEvent("state", {{"state", state}, {"value", value}});
}

}  // namespace

CResourceManager& CResourceManager::GetInstance() {
    static CResourceManager* instance = new CResourceManager();  // never destroyed
    return *instance;
}

void CResourceManager::Report(ResourceManagerProgressState state,
                              ResourceManagerProgressInfoBase* info) {
    if (state != ProgressUpdateProgress) LogProgressState(state, info);
    if (progressCallback) progressCallback(state, info);
}

std::wstring CResourceManager::DeriveBaseUrl(const std::wstring& configAddress) {
    std::wstring base = configAddress;
    for (int cut = 0; cut < 2; ++cut) {
        const size_t slash = base.rfind(L'/');
        if (slash != std::wstring::npos) base.erase(slash);
    }
    return ReplaceBackslashes(base + L"/");
}

void CResourceManager::LoadLocalList(const std::wstring& path, LocalManifestMap* map) {
    ReadManifestFile(path, map, IsSafeManifestName);
}

void CResourceManager::Initialize(const std::wstring& launcherDirectory,
                                  const std::wstring& rootDirectory,
                                  const std::wstring& configAddress) {
    {
        ScopedLock guard(lock);
        localResources.clear();
        localLauncherFiles.clear();
        cdnResources = std::make_shared<const ResoureConfigMap>();
        cdnLauncherFiles = std::make_shared<const ResoureConfigMap>();
    }
    rootDir = rootDirectory;
    gameDir = rootDirectory + kGameFolder;
    launcherDir = launcherDirectory;
    configUrl = ReplaceBackslashes(configAddress);
    baseUrl = DeriveBaseUrl(configAddress);
    LogEvent("update", {{"config", configUrl}, {"root", rootDir}, {"launcher_dir", launcherDir}});

    Report(ProgressLocalResourceLoading, nullptr);
    {
        ScopedLock guard(lock);
        LoadLocalList(rootDir + kVersionFileName, &localResources);
    }
    // The installed files are listed while the configuration is requested.
    localCheck.Prepare(rootDir, gameDir, lock, localResources);
    Report(ProgressLocalResourceLoaded, nullptr);
    Report(ProgressLauncherInfoLoading, nullptr);
    {
        ScopedLock guard(lock);
        LoadLocalList(launcherDir + kLauncherManifestName, &localLauncherFiles);
    }
    Report(ProgressLauncherInfoLoaded, nullptr);

    CCDNResourceDownloader& downloader = CCDNResourceDownloader::GetInstance();
    downloader.configUrl = configUrl;
    downloader.baseUrl = baseUrl;
    downloader.gameDir = gameDir;
    downloader.launcherDir = launcherDir;
    downloader.publisherKey = publisherKey;
    downloader.acceptedSerialPath = rootDir + kAcceptedSerialFileName;
    downloader.onConfigResult = [this](CDNDownloadState state, CDNConfigMaps& maps) {
        OnConfigDownloaded(state, maps);
    };
    downloader.onBatchFinished = [this](CDNDownloadState state, int32_t mode, int32_t mask) {
        OnBatchFinished(state, mode, mask);
    };
    downloader.onTaskStarted = [this](const DownloadTaskInfo& task) { OnTaskStarted(task); };
    downloader.onTaskFinished = [this](const DownloadTaskInfo& task, CDNDownloadState state) {
        OnTaskFinished(task, state);
    };
    downloader.onProgress = [this](int64_t downloaded, int64_t total) {
        OnProgress(downloaded, total);
    };
    // An installed file's stamp comes with everything its record needs: the file is recorded
    // from it in one call.
    downloader.onFileInstalled = nullptr;
    downloader.onFileStamped = [this](const std::wstring& name, uint64_t size, uint64_t time,
                                      const std::wstring& digest) {
        OnFileInstalled(name, size, time, digest);
    };
    Report(ProgressCDNConfigRequesting, nullptr);
    downloader.RequestConfig();
}

int32_t CResourceManager::CompareManifests(LocalManifestMap* local,
                                           const ResourceUpdateList::Source& cdn,
                                           ResourceUpdateList* downloads,
                                           ResourceRemovalList* removals, bool checkFiles) {
    if (local == nullptr || !cdn || downloads == nullptr || removals == nullptr) return 0;
    if (checkFiles) {
        for (auto entry = local->begin(); entry != local->end(); ++entry) {
            if (!FileExists(gameDir + std::wstring(local->Name(*entry)))) local->ClearDigest(entry);
        }
    }
    *downloads = ResourceUpdateList(cdn);
    downloads->Reserve(cdn->size());
    // One walk through both lists in name order: downloads in the CDN's order, removals in the
    // local list's.
    auto here = local->begin();
    const auto localEnd = local->end();
    uint32_t index = 0;
    for (const ResoureConfigEntry& entry : *cdn) {
        const std::wstring_view name = cdn->Name(entry);
        for (; here != localEnd && local->Name(*here) < name; ++here) {
            removals->push_back(MakeRemoval(*local, *here));
        }
        if (here == localEnd || local->Name(*here) != name) {
            downloads->Add(index++, UpdateTypeAdded);
            continue;
        }
        if (here->md5 != entry.md5) downloads->Add(index, UpdateTypeChanged, &here->md5);
        ++index;
        ++here;
    }
    for (; here != localEnd; ++here) removals->push_back(MakeRemoval(*local, *here));
    downloads->Compact();
    return 1;
}

void CResourceManager::OnConfigDownloaded(CDNDownloadState state, CDNConfigMaps& maps) {
    launcherDownloads.clear();
    resourceDownloads.clear();
    resourceRemovals.clear();
    if (state == CDNDownloadNoContent) {
        Report(ProgressCDNConfigContentFailed, nullptr);
        return;
    }
    if (state == CDNDownloadParseFailed) {
        Report(ProgressCDNConfigParseFailed, nullptr);
        return;
    }
    if (state != CDNDownloadSuccess) {
        Report(ProgressCDNConfigConnectFailed, nullptr);
        return;
    }
    Report(ProgressCDNConfigReceived, nullptr);
    ResourceUpdateList::Source published;
    {
        ScopedLock guard(lock);
        // New lists: the ones a running batch was planned from stay as they are.
        cdnResources = std::make_shared<const ResoureConfigMap>(std::move(maps.resources));
        cdnLauncherFiles = std::make_shared<const ResoureConfigMap>(std::move(maps.launcherFiles));
        published = cdnResources;
    }
    // Files found gone or changed get an empty digest here, which the comparison fetches.
    localCheck.Run(rootDir, gameDir, lock, &localResources, *published,
                   [this](ResourceManagerCheckProgressInfo* info) {
                       Report(ProgressLocalFilesChecking, info);
                   });
    const std::wstring failedLauncherList = ReadFailedLauncherList();
    int64_t total = 0;
    {
        ScopedLock guard(lock);
        // Launcher files the CDN no longer lists stay on disk and in the launcher list.
        ResourceRemovalList launcherRemovals;
        CompareManifests(&localLauncherFiles, cdnLauncherFiles, &launcherDownloads,
                         &launcherRemovals, false);
        // The entrance could not install exactly these files: the launcher goes on with its
        // old ones until the next release.
        if (IsFailedLauncherRelease(localLauncherFiles, launcherDownloads, failedLauncherList)) {
            launcherDownloads.clear();
        }
        total += SumLengths(launcherDownloads);
        CompareManifests(&localResources, cdnResources, &resourceDownloads, &resourceRemovals,
                         false);
        total += SumLengths(resourceDownloads);
        // A file about to be replaced no longer holds what its old digest says from the moment
        // its download begins: it is recorded as missing until its new bytes are in place.
        auto here = localResources.begin();
        for (size_t i = 0; i < resourceDownloads.size(); ++i) {
            const std::wstring_view name = resourceDownloads.Name(i);
            while (here != localResources.end() && localResources.Name(*here) < name) ++here;
            if (here != localResources.end() && localResources.Name(*here) == name) {
                localResources.ClearDigest(here);
            }
        }
        // The names both lists hold are kept once, in the CDN list, also those of the files
        // the install records.
        localResources.BorrowNames(cdnResources);
    }
    // Records the digests the existence check and the plan emptied: those files leave the saved
    // list until they are installed. Without that record nothing may be replaced: a file
    // rewritten under its old digest would pass as current after a kill.
    if (!SaveLocalManifest()) {
        ResourceManagerUpdateErrorInfo info(kSaveFailedCode);
        Report(ProgressResourceUpdateFailed, &info);
        return;
    }
    LogEvent("plan", {{"launcher_files", launcherDownloads.size()},
                      {"launcher_bytes", SumLengths(launcherDownloads)},
                      {"files", resourceDownloads.size()},
                      {"bytes", SumLengths(resourceDownloads)},
                      {"obsolete", resourceRemovals.size()}});
    if (total != 0) {
        RequestDownloadTotalSizeNoticeInfo info(total);
        Report(ProgressDownloadSizeNotice, &info);
        return;
    }
    int32_t launcherStarted = 0;
    if (StartLauncherUpdate(&launcherStarted) != 0 && launcherStarted == 0) {
        StartResourceUpdate();
    }
}

int32_t CResourceManager::StartLauncherUpdate(int32_t* launcherUpdateStarted) {
    if (launcherUpdateStarted) *launcherUpdateStarted = 0;
    if (!launcherDownloads.empty()) {
        if (launcherUpdateStarted) *launcherUpdateStarted = 1;
        Report(ProgressLauncherUpdateStarted, nullptr);
        CCDNResourceDownloader::GetInstance().StartBatch(launcherDownloads, DownloadModeLauncher);
    }
    return 1;
}

int32_t CResourceManager::StartResourceUpdate() {
    // Obsolete files leave "version.txt" before they leave the disk, so the list never names a
    // file that is gone.
    if (!resourceRemovals.empty()) {
        {
            ScopedLock guard(lock);
            std::vector<const std::wstring*> names;
            names.reserve(resourceRemovals.size());
            for (const ResourceUpdateInfo& removal : resourceRemovals) {
                names.push_back(&removal.name);
            }
            localResources.EraseNames(std::move(names));
        }
        if (!SaveLocalManifest()) {
            ResourceManagerUpdateErrorInfo info(kSaveFailedCode);
            Report(ProgressResourceUpdateFailed, &info);
            return 1;
        }
    }
    for (const ResourceUpdateInfo& removal : resourceRemovals) {
        const std::wstring path = gameDir + removal.name;
        ::DeleteFileW(path.c_str());
        // A temporary file an earlier version left beside it goes too.
        ::DeleteFileW((path + L".t").c_str());
    }
    {
        // Room for the records of a complete update at once, not grown file by file.
        ScopedLock guard(lock);
        localResources.Reserve(cdnResources->size());
    }
    if (!resourceDownloads.empty()) {
        Report(ProgressResourceUpdateStarted, nullptr);
        CCDNResourceDownloader::GetInstance().StartBatch(resourceDownloads, DownloadModeResource);
    } else {
        Report(ProgressResourceUpdateFinished, nullptr);
    }
    return 1;
}

void CResourceManager::OnTaskStarted(const DownloadTaskInfo& /*task*/) {}

void CResourceManager::OnTaskFinished(const DownloadTaskInfo& task, CDNDownloadState state) {
    // Resources were recorded when their bytes were checked on disk (OnFileInstalled); the
    // launcher list goes into the bundle and is recorded as its files arrive.
    if (state != CDNDownloadSuccess || task.kind != DownloadModeLauncher) return;
    ScopedLock guard(lock);
    const auto found = cdnLauncherFiles->find(task.name);
    if (found != cdnLauncherFiles->end()) localLauncherFiles.SetDigest(task.name, found->md5);
}

void CResourceManager::OnFileInstalled(const std::wstring& name, uint64_t size, uint64_t writeTime,
                                       const std::wstring& digest) {
    const PackedDigest<16> packed(digest);
    {
        ScopedLock guard(lock);
        // The digest the bytes were checked against, not a lookup: a configuration fetched
        // again meanwhile may name other content.
        localResources.SetInstalled(name, packed, size, writeTime);
        ++changes;
        const uint64_t interval = std::max(kSaveIntervalMs, kSaveCostFactor * lastSaveMs);
        if (::GetTickCount64() - lastSaveTick < interval) return;
    }
    saver.Request();
}

std::wstring CResourceManager::ReadFailedLauncherList() const {
    std::string bytes;
    if (!ReadFileBytes(launcherDir + kFailedLauncherReleaseName, &bytes)) return L"";
    return Utf8ToTextExact(bytes);
}

bool CResourceManager::CompleteBundle() {
    std::wstring text;
    {
        ScopedLock guard(lock);
        if (!FormatManifestText(localLauncherFiles, &text)) return true;
    }
    const std::wstring bundle = CCDNResourceDownloader::GetInstance().GetBundlePath();
    if (!AppendBundleRecord(bundle, TextToNarrow(kLauncherManifestName), TextToUtf8Exact(text))) {
        DeleteBundle(bundle);
        return false;
    }
    SetBundleFlag(bundle, 1);
    return true;
}

void CResourceManager::OnBatchFinished(CDNDownloadState state, int32_t mode, int32_t statusMask) {
    if (mode == DownloadModeLauncher) {
        const bool complete = state == CDNDownloadSuccess && CompleteBundle();
        LogEvent("bundle", {{"path", CCDNResourceDownloader::GetInstance().GetBundlePath()},
                            {"complete", complete}});
        if (complete) {
            Report(ProgressLauncherUpdateFinished, nullptr);
        } else {
            Report(ProgressLauncherUpdateFailed, nullptr);
        }
    } else if (mode == DownloadModeResource) {
        if (state == CDNDownloadSuccess) {
            SaveLocalManifest();
            Report(ProgressResourceUpdateFinished, nullptr);
        } else {
            // What did arrive is recorded, also the files of the last save interval.
            SaveLocalManifest();
            ResourceManagerUpdateErrorInfo info(statusMask);
            Report(ProgressResourceUpdateFailed, &info);
        }
    }
}

void CResourceManager::OnProgress(int64_t downloadedBytes, int64_t totalBytes) {
    ResourceManagerUpdateProgressInfo info(downloadedBytes, totalBytes);
    Report(ProgressUpdateProgress, &info);
}

bool CResourceManager::SaveLocalManifest() {
    return Save(false);
}

bool CResourceManager::Save(bool onlyWhenChanged) {
    // Saves follow one another in the order they start: a worker's save never replaces a newer
    // one of another thread with an older list.
    ScopedLock saving(saveLock);
    const uint64_t started = ::GetTickCount64();
    {
        ScopedLock guard(lock);
        // A save asked for during the install that a later one has served already.
        if (onlyWhenChanged && changes == savedChanges) return true;
        savedChanges = changes;
        lastSaveTick = started;
    }
    // The list is written a slice at a time: each slice is formatted under the lock, written
    // without it, and the next one resumes after the last name written, so the text is never
    // held whole and a worker recording a file waits for one slice at most. Every line written
    // was a true record when its slice was formatted, and stays true: while workers record,
    // records only go from missing to installed (a digest checked on disk) or are added.
    // Records are emptied or removed only by the check, the comparison and before obsolete
    // files are deleted, each followed by a save of its own before anything on disk changes;
    // those saves, like the one at a batch's end, run while no worker records, so they are
    // exact snapshots. A file recorded behind the slices already written is missing from this
    // save only: it counted as a change after savedChanges was taken above, so the next save
    // is not skipped.
    const std::wstring path = rootDir + kVersionFileName;
    std::wstring after;
    const bool written = WriteManifestSlices(path, [this, &after](std::string* bytes) {
        ScopedLock guard(lock);
        return FormatManifestUtf8Slice(localResources, &after, kSaveSliceBytes, bytes);
    });
    if (!written) {
        LogEvent("save_failed", {{"path", path}, {"error", ::GetLastError()}});
    } else {
        // A record changed meanwhile has either no stamp or the one taken with its new digest.
        localCheck.SaveStamps(rootDir, lock, localResources, kSaveSliceBytes);
    }
    ScopedLock guard(lock);
    lastSaveMs = ::GetTickCount64() - started;
    return written;
}

std::wstring CResourceManager::GetResourceHash() {
    return ComputeResourceHash(rootDir + kVersionFileName);
}
