#include "ui/CSkinUIDialog.h"

#include "app/ScaleFactor.h"
#include "framework/CursorTravel.h"
#include "framework/PaintScope.h"

CSkinUIDialog::CSkinUIDialog(UINT templateID, ombrix::Window* parent)
    : CDialogBase(templateID, parent) {}

CSkinUIDialog::~CSkinUIDialog() = default;

void CSkinUIDialog::SetBackdrop(Gdiplus::Bitmap* bitmap) {
    backdrop.reset(bitmap);
    backdropWidth = 0;
    backdropHeight = 0;
    if (backdrop && backdrop->GetLastStatus() == Gdiplus::Ok) {
        const float scale = GetScaleFactor();
        backdropWidth = Scaled(scale, static_cast<int>(backdrop->GetWidth()));
        backdropHeight = Scaled(scale, static_cast<int>(backdrop->GetHeight()));
    }
    Invalidate(false);
}

BOOL CSkinUIDialog::OnInitDialog() {
    CDialogBase::OnInitDialog();
    ModifyStyleEx(0, 0x02080000);  // layered + composited
    // A layered window shows nothing until it has an opacity: fully opaque.
    ::SetLayeredWindowAttributes(GetSafeHwnd(), 0, 255, LWA_ALPHA);
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    return TRUE;
}

namespace {

void DrawBackdrop(HDC dc, Gdiplus::Bitmap* backdrop, const RECT& client) {
    if (dc == nullptr || backdrop == nullptr || backdrop->GetLastStatus() != Gdiplus::Ok) return;
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(backdrop, 0, 0, client.right - client.left + 1,
                       client.bottom - client.top + 1);
}

}  // namespace

void CSkinUIDialog::OnPaint() {
    ombrix::PaintScope paint(GetSafeHwnd());
    if (ShouldDrawBackdrop(paint.Area())) DrawBackdrop(paint.Dc(), backdrop.get(), GetClientRect());
}

void CSkinUIDialog::OnPrintClient(HDC dc, UINT) {
    DrawBackdrop(dc, backdrop.get(), GetClientRect());
}

void CSkinUIDialog::OnSize(UINT, int, int) {
    Default();
    Invalidate(false);
}

BOOL CSkinUIDialog::ShouldDrawBackdrop(const RECT&) {
    return TRUE;
}

BOOL CSkinUIDialog::OnEraseBkgnd(HDC) {
    return TRUE;
}

void CSkinUIDialog::OnLButtonDown(UINT, POINT) {
    if (!movable) {
        Default();
        return;
    }
    ombrix::StoreCursorPosition(lastCursorX, lastCursorY);
    dragging = 1;
    SetCapture();
}

void CSkinUIDialog::OnLButtonUp(UINT, POINT) {
    if (dragging) {
        dragging = 0;
        ReleaseCapture();
        return;
    }
    Default();
}

void CSkinUIDialog::OnCaptureChanged(HWND) {
    dragging = 0;
    Default();
}

void CSkinUIDialog::OnMouseMove(UINT flags, POINT) {
    if (!ombrix::DragGoesOn(dragging, flags, GetSafeHwnd())) {
        Default();
        return;
    }
    const POINT travel = ombrix::TakeCursorTravel(lastCursorX, lastCursorY);
    if (linkedDialog != nullptr) linkedDialog->MoveBy(travel.x, travel.y);
}
