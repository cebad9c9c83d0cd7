// What the update flow asks of the rest of the launcher: the game process, the notice
// request, the resource manager, the CDN downloader's workers, the disk and the end of the
// process. The windows use SystemFlowServices(); tests hand them a stand-in through
// SetFlowServices, so the flow runs without network, downloads or process exit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "resources/ResourceManager.h"

class QZNoticeRequest;
struct NoticeRequestParam;

class FlowServices {
  public:
    virtual ~FlowServices() = default;

    // True while a process runs from exactly this executable path.
    virtual bool IsGameRunning(const std::wstring& exePath) = 0;
    // Starts the notice request; the request owns param from here on.
    virtual void StartNoticeRequest(QZNoticeRequest& request, NoticeRequestParam* param) = 0;
    // Where the resource manager sends its progress reports.
    virtual void SetProgressCallback(CResourceManager::ProgressCallback callback) = 0;
    virtual void InitializeResources(const std::wstring& launcherDir, const std::wstring& rootDir,
                                     const std::wstring& configUrl) = 0;
    virtual int32_t StartLauncherUpdate(int32_t* launcherUpdateStarted) = 0;
    virtual int32_t StartResourceUpdate() = 0;
    // Blocks until the CDN downloader has no running worker.
    virtual void WaitForDownloadWorkers() = 0;
    // Total free bytes of the drive (not the caller's quota); false when not obtainable.
    virtual bool GetDriveFreeBytes(const std::wstring& drive, uint64_t* freeBytes) = 0;
    // The player forced the launcher to close: keep what was downloaded, stop the transfers.
    virtual void SaveAndStopDownloads() = 0;
    // Ends the process at once with exit code 0. Only a stand-in returns.
    virtual void EndProcess() = 0;
};

// The real services.
FlowServices& SystemFlowServices();

// The services the flow windows use (SystemFlowServices() unless replaced).
FlowServices& CurrentFlowServices();
// Replaces the services for the windows of this process; null restores the real ones.
void SetFlowServices(FlowServices* services);
