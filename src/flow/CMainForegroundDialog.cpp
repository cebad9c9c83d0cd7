#include "flow/CMainForegroundDialog.h"

#include <ctime>

#include "app/CommandLine.h"
#include "app/DeviceId.h"
#include "app/FileServices.h"
#include "app/InstallPaths.h"
#include "app/Log.h"
#include "app/LauncherVersion.h"
#include "app/ScaleFactor.h"
#include "app/WebPage.h"
#include "flow/CommunityPage.h"
#include "flow/DiskSpace.h"
#include "flow/FlowServices.h"
#include "flow/FlowTimers.h"
#include "flow/PackageAddress.h"
#include "flow/ProgressReaction.h"
#include "flow/ResourceProgressMessage.h"
#include "flow/Tips.h"
#include "framework/CursorTravel.h"
#include "framework/PaintScope.h"
#include "framework/ScopedHandle.h"
#include "res/resource.h"

namespace {

const wchar_t kGameExecutable[] = L"game\\vemo_game.exe";
const wchar_t kVersionManifest[] = L"version.txt";

// Outline of the window in design pixels: a 640 x 240 rectangle with a pointed tab on its
// right edge between the heights 170 and 221.
const POINT kWindowShape[] = {{0, 0},     {640, 0},   {640, 170}, {678, 206},
                              {640, 221}, {640, 240}, {0, 240}};

}  // namespace

CMainForegroundDialog::CMainForegroundDialog(ombrix::Window* parent)
    : CDialogBase(IDD_MAIN_FOREGROUND, parent) {
    insetLeft = 88;
    insetTop = 50;
    insetRight = 22;
    insetBottom = 35;
}

CMainForegroundDialog::~CMainForegroundDialog() = default;

FlowServices& CMainForegroundDialog::Services() const {
    return CurrentFlowServices();
}

void CMainForegroundDialog::SetBackdrop(Gdiplus::Bitmap* bitmap) {
    backdrop.reset(bitmap);
    backdropWidth = 0;
    backdropHeight = 0;
    if (backdrop) {
        const float s = GetScaleFactor();
        backdropWidth = Scaled(s, static_cast<int>(backdrop->GetWidth()));
        backdropHeight = Scaled(s, static_cast<int>(backdrop->GetHeight()));
    }
    if (Exists()) Invalidate(false);
}

std::wstring CMainForegroundDialog::GetLauncherDir() {
    return GetGameRoot();
}

std::wstring CMainForegroundDialog::GetRootDir() {
    return GetGameRoot();
}

// ---- function objects for worker threads --------------------------------------------------

void CMainForegroundDialog::OnNoticeReply(std::wstring packageURL, RequestNoticeResult result,
                                          std::vector<std::wstring> codeList) {
    auto* record =
        new LauncherNoticeUpgradeInfo(std::move(packageURL), result, std::move(codeList));
    const HWND hwnd = GetSafeHwnd();
    if (hwnd == nullptr || !::PostMessageW(hwnd, WM_RESOURCE_PROGRESS, kNoticeResultState,
                                           reinterpret_cast<LPARAM>(record))) {
        delete record;  // nobody is left to receive it
    }
}

void CMainForegroundDialog::PostProgress(ResourceManagerProgressState state,
                                         ResourceManagerProgressInfoBase* record) {
    const HWND hwnd = GetSafeHwnd();
    if (hwnd == nullptr) return;
    auto* counts = state == ProgressUpdateProgress
                       ? dynamic_cast<ResourceManagerUpdateProgressInfo*>(record)
                       : nullptr;
    ombrix::ScopedLock hold(progressLock);
    if (counts != nullptr && queuedProgress != nullptr) {
        queuedProgress->downloadedBytes = counts->downloadedBytes;
        queuedProgress->totalBytes = counts->totalBytes;
        return;
    }
    ResourceManagerProgressInfoBase* copy = record != nullptr ? record->Clone() : nullptr;
    if (!::PostMessageW(hwnd, WM_RESOURCE_PROGRESS, static_cast<WPARAM>(state),
                        reinterpret_cast<LPARAM>(copy))) {
        delete copy;
        return;
    }
    if (counts != nullptr) queuedProgress = static_cast<ResourceManagerUpdateProgressInfo*>(copy);
}

// ---- initialisation ----------------------------------------------------------------------

void CMainForegroundDialog::DoDataExchange() {
    progressBar.SubclassDlgItem(IDC_PROGRESS_BAR, this);
    statusLabel.SubclassDlgItem(IDC_STATUS_LABEL, this);
    tipsLabel.SubclassDlgItem(IDC_TIPS_LABEL, this);
    minimiseButton.SubclassDlgItem(IDC_MINIMISE_BUTTON, this);
    closeButton.SubclassDlgItem(IDC_CLOSE_BUTTON, this);
}

int CMainForegroundDialog::OnCreate(CREATESTRUCTW*) {
    return 0;
}

void CMainForegroundDialog::InitFlowState() {
    progressFraction = 0.0f;
    progressBar.LoadFillImage();
    progressBar.progress = 0.0f;
    RedrawUnder(progressBar);
    ShowText(statusLabel, L"游戏初始化中...");
    status.downloading = 0;
}

void CMainForegroundDialog::StartWindowTimers() {
    SetTimer(TIMER_PROGRESS_BAR, kProgressBarPeriodMs);
    SetTimer(TIMER_STATUS_LINE, kStatusLinePeriodMs);
}

void CMainForegroundDialog::StyleControls() {
    tipsLabel.fontSize = 14;
    tipsLabel.fontStyle = 1;
    tipsLabel.horizontalAlign = 0;
    tipsLabel.verticalAlign = 1;
    tipsLabel.textColor = 0xFFA0B9D6;
    statusLabel.fontSize = 14;
    statusLabel.horizontalAlign = 2;
    statusLabel.textColor = 0xFFDEDBD6;
    minimiseButton.SetImages(IDP_MINIMISE_NORMAL, IDP_MINIMISE_HIGHLIGHT);
    closeButton.SetImages(IDP_CLOSE_NORMAL, IDP_CLOSE_HIGHLIGHT);
}

BOOL CMainForegroundDialog::OnInitDialog() {
    CDialogBase::OnInitDialog();
    InitFlowState();
    StartWindowTimers();
    status.BuildTemplates();
    // The window paints its own artwork; it must not let clicks through.
    ModifyStyleEx(WS_EX_TRANSPARENT, 0);
    LayoutControls();
    StyleControls();
    StartGameWatch();
    ShowRandomTip();
    return TRUE;
}

void CMainForegroundDialog::PlaceControl(ombrix::Window& control, int left, int top, int right,
                                         int bottom) {
    if (control.GetSafeHwnd() == nullptr) return;
    const ScaledBox box = ScaleEdges(GetScaleFactor(), left, top, right, bottom);
    control.MoveWindow(box.x, box.y, box.width, box.height, true);
}

void CMainForegroundDialog::LayoutControls() {
    PlaceControl(progressBar, 22, 202, 538, 216);
    PlaceControl(statusLabel, 20, 210, 542, 228);
    PlaceControl(tipsLabel, 300, 140, 600, 200);
    PlaceControl(minimiseButton, 550, 0, 578, 28);
    PlaceControl(closeButton, 580, 0, 608, 28);
    ApplyWindowShape();
}

void CMainForegroundDialog::ApplyWindowShape() {
    const float s = GetScaleFactor();
    POINT points[sizeof(kWindowShape) / sizeof(kWindowShape[0])];
    for (size_t i = 0; i < sizeof(kWindowShape) / sizeof(kWindowShape[0]); ++i) {
        points[i] = {Scaled(s, kWindowShape[i].x), Scaled(s, kWindowShape[i].y)};
    }
    ombrix::ScopedRegion region(
        ::CreatePolygonRgn(points, sizeof(points) / sizeof(points[0]), ALTERNATE));
    if (!region) return;
    // On success the system owns the region.
    if (::SetWindowRgn(GetSafeHwnd(), region.Get(), TRUE) != 0) region.Release();
}

void CMainForegroundDialog::RedrawUnder(ombrix::Window& control) {
    const HWND window = GetSafeHwnd();
    if (window == nullptr || control.GetSafeHwnd() == nullptr) return;
    // The controls draw no background of their own: the backdrop under them is painted
    // first, then the control on top, both at once.
    RECT area = control.GetWindowRect();
    ::MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&area), 2);
    ::RedrawWindow(window, &area, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void CMainForegroundDialog::ShowText(CCustomLabel& label, const std::wstring& text) {
    label.SetText(text);
    RedrawUnder(label);
}

void CMainForegroundDialog::StartGameWatch() {
    SetTimer(TIMER_GAME_WATCH, kGameWatchPeriodMs);
}

// ---- messages ------------------------------------------------------------------------------

void CMainForegroundDialog::OnShowWindow(BOOL show, UINT statusCode) {
    CDialogBase::OnShowWindow(show, statusCode);
    if (linkedDialog != nullptr) linkedDialog->MoveBy(0, 0);
}

void CMainForegroundDialog::OnPaint() {
    ombrix::PaintScope paint(GetSafeHwnd());
    if (paint.Dc() == nullptr || !backdrop) return;
    Gdiplus::Graphics graphics(paint.Dc());
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.DrawImage(backdrop.get(), 0, 0, backdropWidth, backdropHeight);
}

BOOL CMainForegroundDialog::OnEraseBkgnd(HDC) {
    return TRUE;
}

void CMainForegroundDialog::OnSize(UINT, int, int) {
    Default();
    if (linkedDialog != nullptr) linkedDialog->MoveBy(0, 0);
}

void CMainForegroundDialog::OnLButtonDown(UINT, POINT) {
    ombrix::StoreCursorPosition(lastCursorX, lastCursorY);
    dragging = 1;
    SetCapture();
}

void CMainForegroundDialog::OnMouseMove(UINT flags, POINT) {
    if (!ombrix::DragGoesOn(dragging, flags, GetSafeHwnd())) return;
    const POINT travel = ombrix::TakeCursorTravel(lastCursorX, lastCursorY);
    if (linkedDialog != nullptr) linkedDialog->MoveBy(travel.x, travel.y);
}

void CMainForegroundDialog::OnLButtonUp(UINT, POINT) {
    dragging = 0;
    ReleaseCapture();
}

void CMainForegroundDialog::OnCaptureChanged(HWND) {
    dragging = 0;
}

BOOL CMainForegroundDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        switch (LOWORD(wParam)) {
            case IDC_MINIMISE_BUTTON:
                OnMinimiseClicked();
                return TRUE;
            case IDC_CLOSE_BUTTON:
                OnCloseClicked();
                return TRUE;
            default:
                break;
        }
    }
    return CDialogBase::OnCommand(wParam, lParam);
}

LRESULT CMainForegroundDialog::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RESOURCE_PROGRESS) {
        OnResourceProgress(static_cast<int>(wParam),
                           reinterpret_cast<ResourceManagerProgressInfoBase*>(lParam));
        return 0;
    }
    return CDialogBase::OnUserMessage(message, wParam, lParam);
}

void CMainForegroundDialog::OnTimer(UINT_PTR timerId) {
    switch (timerId) {
        case TIMER_PROGRESS_BAR:
            OnProgressBarTick();
            break;
        case TIMER_GAME_WATCH:
            OnGameWatchTick();
            break;
        case TIMER_STATUS_LINE:
            OnStatusLineTick();
            break;
        case TIMER_LAUNCH_GAME:
            KillTimer(TIMER_LAUNCH_GAME);
            LaunchGame();
            break;
        case TIMER_RESTART:
            KillTimer(TIMER_RESTART);
            RestartLauncher();
            break;
        default:
            CDialogBase::OnTimer(timerId);
            break;
    }
}

// ---- buttons -------------------------------------------------------------------------------

void CMainForegroundDialog::OnMinimiseClicked() {
    const HWND target = linkedDialog != nullptr ? linkedDialog->GetSafeHwnd() : GetSafeHwnd();
    if (target != nullptr) ::ShowWindow(target, SW_MINIMIZE);
}

void CMainForegroundDialog::OnCloseClicked() {
    PostMessage(WM_CLOSE);
}

void CMainForegroundDialog::OpenCommunityPage() {
    OpenWebPage(kCommunityPageAddress);
}

// ---- tips and status line ------------------------------------------------------------------

void CMainForegroundDialog::InitTips() {
    AppendLauncherTips(&tips);
}

std::wstring CMainForegroundDialog::PickRandomTip() {
    if (tips.empty()) InitTips();
    if (tips.empty()) return std::wstring();
    return tips[PickTipIndex(tips.size(), static_cast<unsigned>(std::time(nullptr)))];
}

void CMainForegroundDialog::ShowRandomTip() {
    currentTip = PickRandomTip();
    status.waitSeconds = 0;
    ShowText(tipsLabel, currentTip);
}

void CMainForegroundDialog::OnProgressBarTick() {
    float fraction = progressFraction;
    if (fraction < 0.0f) fraction = 0.0f;
    if (fraction > 1.0f) fraction = 1.0f;
    if (progressBar.progress == fraction) return;
    progressBar.progress = fraction;
    RedrawUnder(progressBar);
}

void CMainForegroundDialog::OnStatusLineTick() {
    const StatusLineTick tick = status.Tick(progressFraction);
    if (!tick.showLine) return;
    if (tick.showNewTip) ShowRandomTip();
    if (tick.showSlowHint) ShowText(tipsLabel, kSlowDownloadHint);
    ShowText(statusLabel, tick.line);
}

// ---- the flow ------------------------------------------------------------------------------

void CMainForegroundDialog::OnGameWatchTick() {
    if (Services().IsGameRunning(GetRootDir() + kGameExecutable)) {
        ShowText(statusLabel, L"等待游戏结束...");
        return;
    }
    KillTimer(TIMER_GAME_WATCH);
    if (noticePending) {
        noticePending = 0;
        // The entrance could not install the launcher's update; this launcher goes on with its
        // old files and does not fetch that update again.
        if (IsLauncherUpdateFailed()) {
            ShowMessageBox(nullptr, L"Launcher更新安装失败,将使用当前版本继续更新游戏。", 0, L"",
                           L"", FALSE);
        }
        request.SetCallback(
            [this](std::wstring url, RequestNoticeResult result, std::vector<std::wstring> codes) {
                OnNoticeReply(std::move(url), result, std::move(codes));
            });
        StartNoticeRequest();
    }
}

void CMainForegroundDialog::StartNoticeRequest() {
    auto* param = new NoticeRequestParam();
    param->deviceID = GetDeviceId();
    param->language = L"Chinese";
    param->packageName = L"com.corvane.vemo.pc.Ombrix";
    param->version = GetLauncherVersionText();
    param->deviceModel = L"";
    param->cpu = L"";
    param->channelID = L"100001";
    progressFraction = 0.0f;
    ShowText(statusLabel, L"获取游戏更新地址...");
    LogEvent("notice_request", {{"retry", retryCount}});
    Services().StartNoticeRequest(request, param);
}

void CMainForegroundDialog::OnNoticeResult(std::wstring packageURL, int32_t result,
                                           const std::vector<std::wstring>& codeList) {
    progressFraction = 1.0f;
    if (result != NoticeResultSuccess) {
        const std::wstring text = NoticeFailureText(result);
        ShowText(statusLabel, text);
        AskRetry(text, false);
        return;
    }
    status.ResetCounters();
    Services().SetProgressCallback(
        [this](ResourceManagerProgressState state, ResourceManagerProgressInfoBase* record) {
            PostProgress(state, record);
        });
    const std::wstring launcherDir = GetLauncherDir();
    const std::wstring rootDir = GetRootDir();
    Services().InitializeResources(launcherDir, rootDir,
                                   SelectPackageAddress(packageURL, codeList, retryCount));
}

void CMainForegroundDialog::OnResourceProgress(int state, ResourceManagerProgressInfoBase* raw) {
    std::unique_ptr<ResourceManagerProgressInfoBase> record(raw);  // ours to destroy
    {
        // From here on no report updates this record any more.
        ombrix::ScopedLock hold(progressLock);
        if (queuedProgress != nullptr && queuedProgress == raw) queuedProgress = nullptr;
    }
    status.downloading = IsDownloadingState(state) ? 1 : 0;

    const ProgressReaction reaction = ReactionToState(state);
    if (reaction.statusText != nullptr) ShowText(statusLabel, reaction.statusText);
    if (reaction.fraction >= 0.0f) progressFraction = reaction.fraction;

    switch (reaction.action) {
        case FlowAction::None:
            break;
        case FlowAction::CheckDisk:
            if (auto* size = dynamic_cast<RequestDownloadTotalSizeNoticeInfo*>(record.get())) {
                CheckDiskSpace(size->totalBytes);
            }
            break;
        case FlowAction::RetryQuestion:
            AskRetry(reaction.statusText, false);
            break;
        case FlowAction::RetryThenCache: {
            auto* error = dynamic_cast<ResourceManagerUpdateErrorInfo*>(record.get());
            const int code = error != nullptr ? error->errorCode : 0;
            const std::wstring text = ResourceFailureText(error != nullptr ? &code : nullptr);
            ShowText(statusLabel, text);
            AskRetry(text, true);
            break;
        }
        case FlowAction::CountBytes:
            if (auto* progress = dynamic_cast<ResourceManagerUpdateProgressInfo*>(record.get())) {
                status.SetProgress(progress->downloadedBytes, progress->totalBytes);
                // A batch without a size has no fraction; show none rather than a NaN.
                progressFraction =
                    progress->totalBytes > 0
                        ? static_cast<float>(static_cast<double>(progress->downloadedBytes) /
                                             static_cast<double>(progress->totalBytes))
                        : 0.0f;
            }
            break;
        case FlowAction::ConfirmRestart:
            ShowMessageBox(nullptr, L"Launcher更新完成,准备重启Launcher!", 0, L"", L"", FALSE);
            SetTimer(TIMER_RESTART, kRestartDelayMs);
            break;
        case FlowAction::LaunchGame:
            SetTimer(TIMER_LAUNCH_GAME, kLaunchGameDelayMs);
            break;
        case FlowAction::NoticeResult:
            if (auto* notice = dynamic_cast<LauncherNoticeUpgradeInfo*>(record.get())) {
                OnNoticeResult(notice->packageURL, notice->result, notice->codeList);
            }
            break;
        case FlowAction::CheckFiles:
            if (auto* check = dynamic_cast<ResourceManagerCheckProgressInfo*>(record.get())) {
                ShowText(statusLabel, CheckProgressText(check->checkedBytes, check->totalBytes));
                progressFraction = CheckProgressFraction(check->checkedBytes, check->totalBytes);
            }
            break;
    }
}

void CMainForegroundDialog::AskRetry(const std::wstring& text, bool offerCacheRemoval) {
    const int answer = ShowMessageBox(nullptr, text, 1, L"重试", L"退出", FALSE);
    if (answer == 1) {
        retryCount += 1;
        StartNoticeRequest();
        return;
    }
    if (offerCacheRemoval) AskCacheRemoval();
    Services().EndProcess();
}

void CMainForegroundDialog::AskCacheRemoval() {
    const std::wstring manifest = GetRootDir() + kVersionManifest;
    if (!FileExists(manifest)) return;
    if (ShowMessageBox(nullptr, L"删除本地缓存资源后重试", 1, L"确定", L"退出", FALSE) == 1) {
        ::DeleteFileW(manifest.c_str());
    }
}

void CMainForegroundDialog::CheckDiskSpace(int64_t needed) {
    std::wstring drive;
    if (!DriveOfRoot(GetRootDir(), &drive)) return;
    for (;;) {
        uint64_t freeBytes = 0;
        if (!Services().GetDriveFreeBytes(drive, &freeBytes)) {
            ShowMessageBox(nullptr, kDiskSizeUnknownText, 0, L"", L"", FALSE);
            Services().EndProcess();
            return;
        }
        if (needed < 0 || static_cast<uint64_t>(needed) <= freeBytes) break;
        const std::wstring text = DiskShortageText(drive, needed, static_cast<int64_t>(freeBytes));
        if (ShowMessageBox(nullptr, text, 1, L"", L"", FALSE) != 1) {
            Services().EndProcess();
            return;
        }
    }
    Services().WaitForDownloadWorkers();
    StartDownloads();
}

void CMainForegroundDialog::StartDownloads() {
    int32_t launcherStarted = 0;
    if (Services().StartLauncherUpdate(&launcherStarted) != 0 && launcherStarted == 0) {
        Services().StartResourceUpdate();
    }
}
