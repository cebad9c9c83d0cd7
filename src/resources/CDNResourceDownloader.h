// The one component that talks to the CDN: fetches the resource configuration and downloads
// batches of files (byte ranges of package files) through the task dispatcher, installing each
// file and, for launcher files, collecting them into the launcher bundle.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/DownloadTaskInfo.h"
#include "download/DownloaderTaskDispatcher.h"
#include "download/DownloaderTaskProcessor.h"
#include "framework/CriticalSection.h"
#include "resources/CDNConfigText.h"
#include "resources/CDNDownloadState.h"
#include "resources/ChunkedUpdate.h"
#include "resources/FileBatchPlan.h"
#include "resources/FolderCache.h"
#include "resources/ResourceUpdateInfo.h"
#include "resources/ResoureConfigInfo.h"
#include "resources/SignedConfig.h"

class CCDNResourceDownloader : public DownloaderTaskProcessor {
  public:
    // The single instance, created on first use and never destroyed.
    static CCDNResourceDownloader& GetInstance();

    // Fetches the configuration: drops queued segments of an earlier plan, then runs a batch of
    // one task. Returns 1.
    int32_t RequestConfig();
    // Starts a batch of files of the given mode (DownloadModeResource or DownloadModeLauncher):
    // the batch shares the plan's items and its CDN list, whatever becomes of items afterwards.
    // Returns 1.
    int32_t StartBatch(const ResourceUpdateList& items, int32_t mode);
    // True while a worker of the dispatcher is still running (the next file batch waits).
    bool HasActiveWorkers();
    // Stops every running transfer (the process is about to end).
    void StopAll();

    const DownloadDataProcessor* CreateDataProcessor(const DownloadTaskInfo& task) override;
    void OnTaskResult(const DownloadTaskResultInfo& result) override;
    void OnAllTasksFinished() override;

    // The URL of a task of the given mode for a package directory (the configuration URL gets
    // "?r=" and the local time).
    std::wstring MakeTaskUrl(const std::wstring& packageDir, int32_t mode) const;
    // "%Y%m%d%H%M%S" of a local time.
    static std::wstring FormatRequestTime(const SYSTEMTIME& localTime);
    // launcherDir + "launcher.tmp".
    std::wstring GetBundlePath() const;
    // Where a file of the given mode is written: the game file itself, or for a launcher file a
    // temporary copy beside it (name + ".t") that goes into the bundle and is deleted after.
    std::wstring GetFilePath(const std::wstring& name, int32_t mode) const;

    std::wstring baseUrl;      // CDN base URL, ends with "/"
    std::wstring configUrl;    // configuration URL, "/" only
    std::wstring gameDir;      // target of resource files, ends with "\"
    std::wstring launcherDir;  // target of launcher files and of the bundle, ends with "\"
    // The configuration's outcome, its records by target (empty unless the state is success).
    std::function<void(CDNDownloadState, CDNConfigMaps&)> onConfigResult;
    std::function<void(CDNDownloadState, int32_t mode, int32_t statusMask)> onBatchFinished;
    std::function<void(const DownloadTaskInfo&)> onTaskStarted;
    std::function<void(const DownloadTaskInfo&, CDNDownloadState)> onTaskFinished;
    // A resource file is installed and checked on disk, with the digest it was checked against
    // (called as soon as it is, from the worker's thread, also when a later file of its request
    // fails).
    std::function<void(const DownloadTaskInfo&, const std::wstring& digest)> onFileInstalled;
    // Just before onFileInstalled: the installed file's size and last write time.
    std::function<void(const std::wstring& name, uint64_t size, uint64_t writeTime,
                       const std::wstring& digest)>
        onFileStamped;
    std::function<void(int64_t downloadedBytes, int64_t totalBytes)> onProgress;
    std::unique_ptr<DownloaderTaskDispatcher> dispatcher;
    // The sinks of the tasks in flight (a worker holds one at a time, a few more only while
    // their segment retries them).
    std::map<std::wstring, std::unique_ptr<DownloadDataProcessor>> processors;
    // The files handed to the dispatcher last, with what each is checked against.
    std::shared_ptr<const FileBatchPlan> plan;
    // The publisher's public key (64 bytes): when set, a configuration is taken only when its
    // signature verifies, its serial is not below the one stored at acceptedSerialPath, it has
    // not expired and every record carries its SHA-256. Empty: taken as it arrives.
    std::string publisherKey;
    std::wstring acceptedSerialPath;
    ConfigCheckResult lastConfigCheck = ConfigAccepted;  // of the last configuration
    SignedPart acceptedPart;                             // its signed part, when accepted
    std::atomic<int64_t> lastConfigMicros{0};  // checking and parsing the last configuration
    FolderCache folders;                       // folders the current batch made sure of
    std::atomic<bool> bundleFailed{false};     // a record of this launcher batch was not written
    // The most sinks in flight at once in the current batch (logged at its end).
    std::atomic<size_t> peakSinks{0};
    int32_t statusMask = 0;
    int64_t downloadedBytes = 0;
    int64_t totalBytes = 0;
    ombrix::CriticalSection processorLock;
    ombrix::CriticalSection byteLock;
    ombrix::CriticalSection statusLock;
    std::atomic<int32_t> mode{0};             // DownloadMode of the current batch
    ChunkedUpdate chunkedUpdate;              // files of a resource batch installed from chunks
    std::atomic<bool> chunkedPending{false};  // its chunked part has not handed over yet

  private:
    CCDNResourceDownloader() = default;
    ~CCDNResourceDownloader() = default;  // never destroyed
    CCDNResourceDownloader(const CCDNResourceDownloader&) = delete;
    CCDNResourceDownloader& operator=(const CCDNResourceDownloader&) = delete;

    // Resets the batch state (mask, byte counts, plan, mode) for a batch of batchMode.
    void BeginBatch(int32_t batchMode);
    void OnBytesWritten(int64_t delta);
    // Waits until no worker of the dispatcher is active (told by OnAllTasksFinished).
    void WaitWorkersIdle();
    void AddFileTasks(const ResourceUpdateList& items, int32_t batchMode);
    void StartChunkedPart(const ResourceUpdateList& items);
    void HandleConfigResult(const DownloadTaskResultInfo& result, DownloadDataProcessor* sink);
    void HandleFileResult(const DownloadTaskResultInfo& result, DownloadDataProcessor* sink);
    // Parses the body into maps, releasing its blocks as it goes, and checks it against
    // publisherKey (when set).
    CDNDownloadState CheckAndParseConfig(ConfigBody* body, CDNConfigMaps* maps);

    std::mutex idleLock_;
    std::condition_variable idleSignal_;
    uint64_t idleCount_ = 0;  // times the dispatcher's last active worker stopped
};
