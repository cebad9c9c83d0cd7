// Stand-ins for the flow tests: services that record what the flow asks for, a foreground
// window whose questions are answered from a script, and a scratch installation root.
#pragma once

#include <windows.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/PngResource.h"
#include "flow/CNewOmbrixMainForegroundDialog.h"
#include "flow/FlowServices.h"
#include "notice/QZNoticeRequest.h"

class FakeFlowServices : public FlowServices {
  public:
    bool IsGameRunning(const std::wstring& exePath) override {
        watchedPaths.push_back(exePath);
        return gameRunning;
    }
    void StartNoticeRequest(QZNoticeRequest&, NoticeRequestParam* param) override {
        notices.emplace_back(param);
    }
    void SetProgressCallback(CResourceManager::ProgressCallback callback) override {
        progressCallback = std::move(callback);
    }
    void InitializeResources(const std::wstring& launcherDir, const std::wstring& rootDir,
                             const std::wstring& configUrl) override {
        initialized.push_back({launcherDir, rootDir, configUrl});
    }
    int32_t StartLauncherUpdate(int32_t* started) override {
        ++launcherUpdates;
        *started = launcherBatchStarts ? 1 : 0;
        return 1;
    }
    int32_t StartResourceUpdate() override {
        ++resourceUpdates;
        return 1;
    }
    void WaitForDownloadWorkers() override { ++workerWaits; }
    bool GetDriveFreeBytes(const std::wstring& drive, uint64_t* freeBytes) override {
        queriedDrives.push_back(drive);
        if (freeAnswers.empty()) return false;
        const int64_t next = freeAnswers.front();
        if (freeAnswers.size() > 1) freeAnswers.pop_front();
        if (next < 0) return false;
        *freeBytes = static_cast<uint64_t>(next);
        return true;
    }
    void SaveAndStopDownloads() override { ++saves; }
    void EndProcess() override { ++ends; }

    struct Init {
        std::wstring launcherDir, rootDir, configUrl;
    };
    bool gameRunning = false;
    bool launcherBatchStarts = false;
    std::deque<int64_t> freeAnswers;  // -1: not obtainable; the last one repeats
    std::vector<std::wstring> watchedPaths;
    std::vector<std::unique_ptr<NoticeRequestParam>> notices;
    CResourceManager::ProgressCallback progressCallback;
    std::vector<Init> initialized;
    std::vector<std::wstring> queriedDrives;
    int launcherUpdates = 0;
    int resourceUpdates = 0;
    int workerWaits = 0;
    int saves = 0;
    int ends = 0;
};

// Installs the fake for the life of the object.
class ScopedFlowServices {
  public:
    explicit ScopedFlowServices(FlowServices* services) { SetFlowServices(services); }
    ~ScopedFlowServices() { SetFlowServices(nullptr); }
    ScopedFlowServices(const ScopedFlowServices&) = delete;
    ScopedFlowServices& operator=(const ScopedFlowServices&) = delete;
};

struct AskedQuestion {
    std::wstring text;
    UINT type;
    std::wstring first;
    std::wstring second;
    BOOL highlightSecond;
};

// The product foreground with its questions answered from a script (2 once it runs out),
// its root in a scratch folder and the game start recorded instead of performed.
class ScriptedForeground : public CNewOmbrixMainForegroundDialog {
  public:
    int ShowMessageBox(HWND, const std::wstring& text, UINT type, const std::wstring& first,
                       const std::wstring& second, BOOL highlightSecond) override {
        questions.push_back({text, type, first, second, highlightSecond});
        if (answers.empty()) return 2;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::wstring GetRootDir() override { return root; }
    std::wstring GetLauncherDir() override { return root; }
    void LaunchGame() override { ++gameStarts; }

    using CMainForegroundDialog::OnResourceProgress;
    using CMainForegroundDialog::OnTimer;

    std::wstring root;
    std::deque<int> answers;
    std::vector<AskedQuestion> questions;
    int gameStarts = 0;
};

// A fresh folder below the temp folder, ending with a backslash, removed at the end
// (flat: the flow only writes files directly inside the root).
class ScratchRoot {
  public:
    ScratchRoot() {
        wchar_t temp[MAX_PATH] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ =
            std::wstring(temp) + L"ombrix_flow_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ScratchRoot() {
        WIN32_FIND_DATAW data;
        HANDLE find = ::FindFirstFileW((path_ + L"*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
                    ::DeleteFileW((path_ + data.cFileName).c_str());
                }
            } while (::FindNextFileW(find, &data));
            ::FindClose(find);
        }
        ::RemoveDirectoryW(path_.c_str());
    }
    ScratchRoot(const ScratchRoot&) = delete;
    ScratchRoot& operator=(const ScratchRoot&) = delete;
    const std::wstring& Path() const { return path_; }

  private:
    std::wstring path_;
};

// GDI+ for every test of the executable.
class GdiplusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { session_ = std::make_unique<GdiplusSession>(); }
    void TearDown() override { session_.reset(); }

  private:
    std::unique_ptr<GdiplusSession> session_;
};
