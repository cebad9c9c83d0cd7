#include "flow/CMainBackgroundDialog.h"

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "flow/CMainForegroundDialog.h"
#include "flow/FlowServices.h"
#include "framework/DeferredWindowPos.h"
#include "res/resource.h"
#include "ui/CSkinDialog.h"
#include "ui/RunMessageBox.h"

CMainBackgroundDialog::CMainBackgroundDialog(int imageID, ombrix::Window* parent)
    : CLayeredBackgroundDialog(imageID, parent) {}

CMainBackgroundDialog::~CMainBackgroundDialog() {
    foreground = nullptr;
    ownedForeground_.reset();
}

int CMainBackgroundDialog::OnCreate(CREATESTRUCTW*) {
    return 0;
}

BOOL CMainBackgroundDialog::OnInitDialog() {
    movable = 1;
    CLayeredBackgroundDialog::OnInitDialog();  // framework initialisation, UpdateLayered
    CenterOnDesktop();
    CreateForeground();
    return TRUE;
}

void CMainBackgroundDialog::CreateForeground() {
    AdoptForeground(std::make_unique<CMainForegroundDialog>());
}

void CMainBackgroundDialog::AdoptForeground(std::unique_ptr<CDialogBase> created) {
    if (foreground != nullptr) return;
    ownedForeground_ = std::move(created);
    foreground = ownedForeground_.get();
    foreground->SetLinkedDialog(this);
    if (foreground->Create(IDD_MAIN_FOREGROUND, this)) {
        foreground->SetOwner(GetSafeHwnd());
        foreground->ShowWindow(SW_SHOW);
    }
    LayoutForeground();
}

void CMainBackgroundDialog::LayoutForeground() {
    LayoutGroup(nullptr);
}

void CMainBackgroundDialog::LayoutGroup(CDialogBase* host) {
    const float s = GetScaleFactor();
    const RECT bounds = GetWindowRect();
    if (foreground != nullptr && foreground->Exists()) {
        const CDialogBase& f = *foreground;
        const int w = bounds.right - bounds.left;
        const int h = bounds.bottom - bounds.top;
        const int fw = w - Scaled(s, f.insetRight + 2 * f.borderX + f.insetLeft);
        const int fh = h - Scaled(s, f.insetBottom + 2 * f.borderY + f.insetTop);
        const int offsetX = Scaled(s, f.insetLeft + f.borderX);
        const int offsetY = Scaled(s, f.insetTop + f.borderY);
        foreground->MoveAndResize(bounds.left, bounds.top, fw, fh);
        foreground->MoveTo(bounds.left + offsetX, bounds.top + offsetY);

        // The piece of artwork under the foreground, in the PNG's own pixels.
        Gdiplus::Bitmap* piece = LoadPngBitmap(
            static_cast<WORD>(imageResourceID), static_cast<int>(offsetX / s),
            static_cast<int>(offsetY / s), static_cast<int>(fw / s), static_cast<int>(fh / s));
        if (auto* window = dynamic_cast<CMainForegroundDialog*>(foreground)) {
            window->SetBackdrop(piece);
        } else {
            delete piece;
        }
    }
    if (host != nullptr) {
        host->MoveTo(bounds.left + Scaled(s, host->borderX), bounds.top + Scaled(s, host->borderY));
    }
}

void CMainBackgroundDialog::MoveBy(int dx, int dy) {
    MoveGroup(dx, dy, nullptr);
}

void CMainBackgroundDialog::MoveGroup(int dx, int dy, CDialogBase* host) {
    if (!movable || movingGroup_ || !Exists()) return;
    movingGroup_ = true;
    const float s = GetScaleFactor();
    const RECT bounds = GetWindowRect();
    const int x = bounds.left + dx;
    const int y = bounds.top + dy;
    {
        ombrix::DeferredWindowPos batch(3);
        batch.Move(GetSafeHwnd(), x, y);
        if (foreground != nullptr) {
            batch.Move(foreground->GetSafeHwnd(),
                       x + Scaled(s, foreground->insetLeft + foreground->borderX),
                       y + Scaled(s, foreground->insetTop + foreground->borderY));
        }
        if (host != nullptr) {
            batch.Move(host->GetSafeHwnd(), x + Scaled(s, host->borderX),
                       y + Scaled(s, host->borderY));
        }
        batch.Apply();
    }
    movingGroup_ = false;
}

void CMainBackgroundDialog::OnMove(int, int) {
    MoveBy(0, 0);
}

void CMainBackgroundDialog::OnSize(UINT, int, int) {
    Default();
    UpdateLayered();
    LayoutForeground();
}

int CMainBackgroundDialog::ShowMessageBox(HWND, const std::wstring& text, UINT type,
                                          const std::wstring& firstButtonText,
                                          const std::wstring& secondButtonText,
                                          BOOL highlightSecond) {
    const bool hasForeground = foreground != nullptr && foreground->Exists();
    EnableWindow(false);
    if (hasForeground) foreground->EnableWindow(false);
    const HWND owner = hasForeground ? foreground->GetSafeHwnd() : GetSafeHwnd();

    RECT* centre = new RECT(GetWindowRect());
    centre->left += messageBoxOffsetX;
    centre->top += messageBoxOffsetY;
    const int answer = RunMessageBox(text, centre, firstButtonText, secondButtonText,
                                     highlightSecond, owner, static_cast<int>(type));

    EnableWindow(true);
    if (foreground != nullptr && foreground->Exists()) foreground->EnableWindow(true);
    return answer;
}

void CMainBackgroundDialog::ShowAll(int showCommand) {
    if (foreground != nullptr && foreground->Exists()) foreground->ShowWindow(showCommand);
    ShowWindow(showCommand);
    if (!openMessageBoxes.empty()) {
        CSkinDialog* box = openMessageBoxes.back();
        const int command = showCommand != 0 ? SW_SHOW : SW_HIDE;
        box->ShowWindow(command);
        if (box->content) box->content->ShowWindow(command);
    }
}

void CMainBackgroundDialog::BringToFront() {
    const DWORD ownThread = ::GetCurrentThreadId();
    const DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const bool attached = foregroundThread != 0 && foregroundThread != ownThread &&
                          ::AttachThreadInput(ownThread, foregroundThread, TRUE) != FALSE;
    ShowWindow(SW_SHOWNORMAL);
    SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetForegroundWindow();
    if (attached) ::AttachThreadInput(ownThread, foregroundThread, FALSE);
}

void CMainBackgroundDialog::OnQuit() {
    FlowServices& services = CurrentFlowServices();
    services.SaveAndStopDownloads();
    services.EndProcess();
}
