// Decides what an update downloads: loads the local lists, has the CDN downloader fetch the
// configuration, compares, and runs the launcher update first and the resource update after it,
// keeping the local lists current as files arrive. Every step is reported through
// progressCallback, from the caller's thread or from a download worker.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "download/DownloadTaskInfo.h"
#include "framework/BackgroundJob.h"
#include "framework/CriticalSection.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNDownloadState.h"
#include "resources/ConfigSignatureCheck.h"
#include "resources/LocalFilesCheck.h"
#include "resources/LocalManifestMap.h"
#include "resources/ResourceManagerProgress.h"
#include "resources/ResourceUpdateInfo.h"
#include "resources/ResoureConfigInfo.h"
#include "resources/ResoureConfigMap.h"

class CResourceManager {
  public:
    using ProgressCallback =
        std::function<void(ResourceManagerProgressState, ResourceManagerProgressInfoBase*)>;

    // The single instance, created on first use and never destroyed.
    static CResourceManager& GetInstance();

    // Loads the local lists and requests the CDN configuration; the outcome arrives as the
    // states 6 to 10. Both directories end with "\".
    void Initialize(const std::wstring& launcherDirectory, const std::wstring& rootDirectory,
                    const std::wstring& configAddress);
    // Starts the launcher batch when launcher files are to be fetched; *launcherUpdateStarted
    // tells whether it did. Returns 1.
    int32_t StartLauncherUpdate(int32_t* launcherUpdateStarted);
    // Deletes obsolete resources and starts the resource batch (or reports 19). Returns 1.
    // When the list without the obsolete files cannot be saved first, reports 12 with
    // kSaveFailedCode and neither deletes nor downloads anything.
    int32_t StartResourceUpdate();
    // Writes "version.txt" from the local resource list; an empty list empties an existing file
    // and writes none where there is none. False when the file could not be written.
    bool SaveLocalManifest();
    // The resource hash of "version.txt" under rootDir.
    std::wstring GetResourceHash();

    // Compares a local list with a CDN list by digest text: downloads becomes a plan over cdn
    // (in its key order), removals gets the local records cdn does not have. With checkFiles,
    // local records whose file is missing under gameDir get an empty digest first. Returns 1 (0
    // without maps or lists).
    int32_t CompareManifests(LocalManifestMap* local, const ResourceUpdateList::Source& cdn,
                             ResourceUpdateList* downloads, ResourceRemovalList* removals,
                             bool checkFiles);
    // The CDN base URL of a configuration URL: two levels up, ending with "/".
    static std::wstring DeriveBaseUrl(const std::wstring& configAddress);

    // Bound into the CDN downloader by Initialize.
    // The maps' records are taken into cdnResources and cdnLauncherFiles.
    void OnConfigDownloaded(CDNDownloadState state, CDNConfigMaps& maps);
    void OnBatchFinished(CDNDownloadState state, int32_t mode, int32_t statusMask);
    void OnTaskStarted(const DownloadTaskInfo& task);
    void OnTaskFinished(const DownloadTaskInfo& task, CDNDownloadState state);
    void OnProgress(int64_t downloadedBytes, int64_t totalBytes);
    // A resource file is installed and checked: its digest and its stamp (size and last write
    // time on disk) are recorded together, and "version.txt" saved when the last save is at least
    // kSaveIntervalMs old and kSaveCostFactor times as old as that save took, so a run that is
    // ended abruptly loses at most that much work, and saving a list of hundreds of thousands of
    // files takes a bounded share of the update's time. The save runs on a thread of its own: the
    // download workers never wait for the disk's flush.
    void OnFileInstalled(const std::wstring& name, uint64_t size, uint64_t writeTime,
                         const std::wstring& digest);

    static const uint64_t kSaveIntervalMs = 1000;
    static const uint64_t kSaveCostFactor = 10;
    // The code of state 12 when "version.txt" could not be saved before a batch (after the
    // comparison, or before obsolete files are deleted): the status of a refused write.
    static const int32_t kSaveFailedCode = -4;
    // The bytes of "version.txt" and "version.stamps" formatted under the lock at a time: a
    // worker recording a file waits well under a millisecond for one, and larger slices save
    // no time (fewer writes, but a longer wait).
    static const size_t kSaveSliceBytes = 64 * 1024;

    std::wstring gameDir;      // rootDir + "game\"
    std::wstring rootDir;      // installation root, holds "version.txt"
    std::wstring launcherDir;  // holds "launcher_manifest.txt", launcher files and the bundle
    std::wstring configUrl;    // with "/" only
    std::wstring baseUrl;
    ombrix::CriticalSection lock;      // guards the two local maps
    ombrix::CriticalSection saveLock;  // one save of "version.txt" at a time
    uint64_t lastSaveTick = 0;         // GetTickCount64 of the last save (guarded by lock)
    uint64_t lastSaveMs = 0;           // how long the last save took (guarded by lock)
    uint64_t changes = 0;              // files recorded by OnFileInstalled (guarded by lock)
    uint64_t savedChanges = 0;         // changes when the last save took its snapshot
    ProgressCallback progressCallback;
    // The publisher's key configurations are checked with (SignedConfig.h); the build's own
    // key unless changed before Initialize; empty: configurations are taken as they arrive.
    std::string publisherKey = BuiltInPublisherKey();
    LocalManifestMap localResources;
    LocalManifestMap localLauncherFiles;
    // The CDN lists of the last configuration, never changed once made: a configuration fetched
    // again makes new ones (under lock), while a running batch keeps reading the lists it was
    // planned from.
    ResourceUpdateList::Source cdnResources = std::make_shared<const ResoureConfigMap>();
    ResourceUpdateList::Source cdnLauncherFiles = std::make_shared<const ResoureConfigMap>();
    ResourceUpdateList launcherDownloads;
    ResourceUpdateList resourceDownloads;
    ResourceRemovalList resourceRemovals;
    // Checks the installed resources before each comparison; writes their stamps.
    LocalFilesCheck localCheck;
    // The saves OnFileInstalled asks for.
    ombrix::BackgroundJob saver{[this] { Save(true); }};

  private:
    CResourceManager() = default;
    // Saves unless nothing was recorded since the last save's snapshot.
    bool Save(bool onlyWhenChanged);
    CResourceManager(const CResourceManager&) = delete;
    CResourceManager& operator=(const CResourceManager&) = delete;

    void Report(ResourceManagerProgressState state, ResourceManagerProgressInfoBase* info);
    // Reads a local list; names that could reach outside their directory are left out.
    static void LoadLocalList(const std::wstring& path, LocalManifestMap* map);
    // False when the manifest record could not be written (the bundle is then not complete).
    bool CompleteBundle();
    // The launcher list whose bundle the entrance could not install; empty when none.
    std::wstring ReadFailedLauncherList() const;
};
