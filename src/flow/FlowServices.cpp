#include "flow/FlowServices.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "app/ProcessList.h"
#include "app/Terminate.h"
#include "framework/CriticalSection.h"
#include "notice/QZNoticeRequest.h"
#include "resources/CDNResourceDownloader.h"

namespace {

// How long the window thread sleeps between two looks at the downloader's workers.
constexpr DWORD kWorkerPollMilliseconds = 16;

class SystemServices : public FlowServices {
  public:
    bool IsGameRunning(const std::wstring& exePath) override { return IsProcessRunning(exePath); }

    void StartNoticeRequest(QZNoticeRequest& request, NoticeRequestParam* param) override {
        request.Start(param);
    }

    void SetProgressCallback(CResourceManager::ProgressCallback callback) override {
        CResourceManager::GetInstance().progressCallback = std::move(callback);
    }

    void InitializeResources(const std::wstring& launcherDir, const std::wstring& rootDir,
                             const std::wstring& configUrl) override {
        CResourceManager& manager = CResourceManager::GetInstance();
        // VERIFY=TRUE asks for one full check in this process; it stays asked until it ran.
        if (!fullCheckAsked_) {
            fullCheckAsked_ = true;
            if (IsVerifyRequested()) manager.localCheck.RequestFullCheck();
        }
        manager.Initialize(launcherDir, rootDir, configUrl);
    }

    int32_t StartLauncherUpdate(int32_t* launcherUpdateStarted) override {
        return CResourceManager::GetInstance().StartLauncherUpdate(launcherUpdateStarted);
    }

    int32_t StartResourceUpdate() override {
        return CResourceManager::GetInstance().StartResourceUpdate();
    }

    void WaitForDownloadWorkers() override {
        DownloaderTaskDispatcher* dispatcher =
            CCDNResourceDownloader::GetInstance().dispatcher.get();
        if (dispatcher == nullptr) return;
        for (;;) {
            bool idle;
            {
                ombrix::ScopedLock hold(dispatcher->lock);
                idle = dispatcher->activeTasks.empty();
            }
            if (idle) return;
            ::Sleep(kWorkerPollMilliseconds);
        }
    }

    bool GetDriveFreeBytes(const std::wstring& drive, uint64_t* freeBytes) override {
        ULARGE_INTEGER available{}, total{}, totalFree{};
        if (!::GetDiskFreeSpaceExW(drive.c_str(), &available, &total, &totalFree)) return false;
        *freeBytes = totalFree.QuadPart;
        return true;
    }

    void SaveAndStopDownloads() override {
        CResourceManager::GetInstance().SaveLocalManifest();
        DownloaderTaskDispatcher* dispatcher =
            CCDNResourceDownloader::GetInstance().dispatcher.get();
        if (dispatcher != nullptr) dispatcher->StopAll();
    }

    void EndProcess() override { TerminateSelf(); }

  private:
    bool fullCheckAsked_ = false;  // window thread only
};

FlowServices* g_services = nullptr;  // window thread only

}  // namespace

FlowServices& SystemFlowServices() {
    static SystemServices services;
    return services;
}

FlowServices& CurrentFlowServices() {
    return g_services != nullptr ? *g_services : SystemFlowServices();
}

void SetFlowServices(FlowServices* services) {
    g_services = services;
}
