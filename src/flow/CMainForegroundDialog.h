// The foreground of the main window and the controller of the whole update: it waits for the
// game to end, asks the notice service for the configuration address, hands it to the
// resource manager, reacts to every progress state (texts, progress, disk check, questions
// with a retry, restart, game start) and shows the status line and the tips.
//
// Everything runs on the window thread. Worker threads reach the window only through the
// posted WM_RESOURCE_PROGRESS (OnNoticeReply and PostProgress build or clone a record and post
// it). Questions go through ShowMessageBox, which the background window answers; its modal
// loop keeps dispatching timers and posted messages.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/GameLaunch.h"
#include "flow/StatusLine.h"
#include "framework/CriticalSection.h"
#include "notice/QZNoticeRequest.h"
#include "resources/ResourceManagerProgress.h"
#include "ui/CCustomLabel.h"
#include "ui/CCustomProgress.h"
#include "ui/CDialogBase.h"
#include "ui/CSkinButton.h"

class FlowServices;

class CMainForegroundDialog : public CDialogBase, public LaunchHost {
  public:
    explicit CMainForegroundDialog(ombrix::Window* parent = nullptr);
    ~CMainForegroundDialog() override;

    // The artwork under the window, cut out by the background window; owned from here on
    // (null allowed). Its drawing size is its pixel size times the scale factor.
    void SetBackdrop(Gdiplus::Bitmap* bitmap);

    // Both answer the game root.
    virtual std::wstring GetLauncherDir();
    std::wstring GetRootDir() override;

    // What the game start and the launcher restart need from this window.
    std::wstring GetResourceHash() override;
    void SetStatusText(const std::wstring& text) override;
    void ShowFailureMessage(const std::wstring& text) override;
    void ClearConfirmClose() override;
    void EndLauncher() override;

    // Handed to the notice request; runs on its worker thread and only posts.
    void OnNoticeReply(std::wstring packageURL, RequestNoticeResult result,
                       std::vector<std::wstring> codeList);
    // Handed to the resource manager; runs on any thread and only posts a clone of record.
    // Byte counts (state 17) arrive for every KiB written: while one such message still waits
    // in the queue, a newer count updates its record instead of queueing another, so the
    // window keeps up however fast the download runs.
    void PostProgress(ResourceManagerProgressState state, ResourceManagerProgressInfoBase* record);

    void OnShowWindow(BOOL show, UINT status) override;

    int32_t noticePending = 1;
    std::unique_ptr<Gdiplus::Bitmap> backdrop;
    int32_t backdropWidth = 0;
    int32_t backdropHeight = 0;
    int32_t dragging = 0;
    int32_t lastCursorX = 0;
    int32_t lastCursorY = 0;
    QZNoticeRequest request;
    // Byte counters, speed samples, size text, templates and the wait counter of the
    // status line.
    DownloadStatusLine status;
    int32_t retryCount = 0;
    float progressFraction = 0.0f;
    CCustomProgress progressBar;
    CCustomLabel statusLabel;
    CSkinButton minimiseButton;
    CSkinButton groupButton;  // bound by the product window only
    CSkinButton closeButton;
    CCustomLabel tipsLabel;
    std::vector<std::wstring> tips;
    std::wstring currentTip;

  protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    int OnCreate(CREATESTRUCTW* create) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(HWND newOwner) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnTimer(UINT_PTR timerId) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Places the controls (the generic window also applies the window shape here).
    virtual void LayoutControls();
    virtual void StartGameWatch();
    // Starts the game with its command line and ends the process.
    virtual void LaunchGame();
    virtual void OnMinimiseClicked();
    virtual void OnCloseClicked();
    virtual void OpenCommunityPage();
    virtual void InitTips();
    virtual void ShowRandomTip();
    virtual std::wstring PickRandomTip();

    // Flow and visual steps of the initialisation shared by both windows.
    void InitFlowState();
    void StartWindowTimers();
    // Fonts, colours and button pictures, after the layout; the product window adds its own.
    virtual void StyleControls();
    // Clips the window to its outline with the pointed tab on the right.
    void ApplyWindowShape();
    // A new text for a label, with the backdrop under it repainted.
    void ShowText(CCustomLabel& label, const std::wstring& text);
    // Repaints the backdrop under a control, then the control.
    void RedrawUnder(ombrix::Window& control);
    // Moves a control to a design rectangle, scaled.
    void PlaceControl(ombrix::Window& control, int left, int top, int right, int bottom);

    void StartNoticeRequest();
    void OnNoticeResult(std::wstring packageURL, int32_t result,
                        const std::vector<std::wstring>& codeList);
    void OnResourceProgress(int state, ResourceManagerProgressInfoBase* record);
    // Asks to retry from the notice request; otherwise (after the cache question when asked
    // for) ends the process.
    void AskRetry(const std::wstring& text, bool offerCacheRemoval);
    void AskCacheRemoval();
    void CheckDiskSpace(int64_t needed);
    void StartDownloads();
    // Starts the launcher named on the command line again, or reports why not; ends.
    void RestartLauncher();
    void OnGameWatchTick();
    void OnStatusLineTick();
    void OnProgressBarTick();

    FlowServices& Services() const;

  private:
    // The byte-count record posted and not yet handled, if any (PostProgress).
    ombrix::CriticalSection progressLock;
    ResourceManagerUpdateProgressInfo* queuedProgress = nullptr;
};
