#include "flow/CFlashDialog.h"

#include "app/NewOmbrixLauncherApp.h"
#include "flow/CNewOmbrixMainBackgroundDialog.h"
#include "framework/CursorTravel.h"
#include "framework/PaintScope.h"
#include "framework/ScopedHandle.h"
#include "res/resource.h"

namespace {

// Layered, no-activate and 0x04000000, as on the background windows.
constexpr DWORD kHostExStyles = 0x0C080000;

}  // namespace

CFlashDialog::CFlashDialog(UINT templateID, ombrix::Window* parent)
    : CDialogBase(templateID, parent) {}

CFlashDialog::~CFlashDialog() {
    background = nullptr;
    ownedBackground_.reset();
}

BOOL CFlashDialog::OnInitDialog() {
    CDialogBase::OnInitDialog();
    if (CNewOmbrixLauncherApp* app = CNewOmbrixLauncherApp::Instance()) {
        app->SetMainWindow(GetSafeHwnd());
    }
    ModifyStyleEx(0, kHostExStyles);
    // The host stays fully transparent: it lies under the background's corner and would
    // otherwise show through the transparent parts of the artwork.
    ::SetLayeredWindowAttributes(GetSafeHwnd(), 0, 0, LWA_ALPHA);
    firstPaintPending = 1;
    if (background == nullptr) {
        ownedBackground_ = std::make_unique<CNewOmbrixMainBackgroundDialog>();
        background = ownedBackground_.get();
        if (background->Create(IDD_LAYERED_BACKGROUND, this)) {
            background->SetOwner(GetSafeHwnd());
            background->ShowWindow(SW_SHOW);
        }
        background->host = this;
        SetLinkedDialog(background);
    }
    return TRUE;
}

void CFlashDialog::MoveBy(int dx, int dy) {
    if (linkedDialog != nullptr) linkedDialog->MoveBy(dx, dy);
}

void CFlashDialog::OnSize(UINT, int, int) {
    Default();
    MoveBy(0, 0);
}

BOOL CFlashDialog::OnEraseBkgnd(HDC) {
    if (!backgroundCreated) {
        backgroundCreated = 1;
        if (background != nullptr) background->CreateProductForeground();
        if (linkedDialog != nullptr) linkedDialog->MoveBy(0, 0);
        // Where the system cannot show the host transparent, an empty outline hides it:
        // it keeps its taskbar entry and its modal run but covers nothing of the artwork.
        ombrix::ScopedRegion nothing(::CreateRectRgn(0, 0, 0, 0));
        if (nothing && ::SetWindowRgn(GetSafeHwnd(), nothing.Get(), TRUE) != 0) nothing.Release();
    }
    return TRUE;
}

void CFlashDialog::OnPaint() {
    ombrix::PaintScope paint(GetSafeHwnd());
    firstPaintPending = 0;
}

void CFlashDialog::OnLButtonDown(UINT, POINT) {
    ombrix::StoreCursorPosition(lastCursorX, lastCursorY);
    dragging = 1;
    SetCapture();
}

void CFlashDialog::OnMouseMove(UINT flags, POINT) {
    if (!ombrix::DragGoesOn(dragging, flags, GetSafeHwnd())) return;
    const POINT travel = ombrix::TakeCursorTravel(lastCursorX, lastCursorY);
    if (linkedDialog != nullptr) linkedDialog->MoveBy(travel.x, travel.y);
}

void CFlashDialog::OnLButtonUp(UINT, POINT) {
    dragging = 0;
    ReleaseCapture();
}

void CFlashDialog::OnCaptureChanged(HWND) {
    dragging = 0;
}
