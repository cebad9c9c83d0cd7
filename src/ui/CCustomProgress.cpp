#include "ui/CCustomProgress.h"

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/PaintScope.h"
#include "framework/ParentBackground.h"
#include "res/resource.h"

CCustomProgress::CCustomProgress() = default;

CCustomProgress::~CCustomProgress() = default;

void CCustomProgress::LoadFillImage() {
    fillImage.reset(LoadPngImage(IDP_PROGRESS_FILL));
    fillImageWidth = 0;
    fillImageHeight = 0;
    if (fillImage && fillImage->GetLastStatus() == Gdiplus::Ok) {
        fillImageWidth = static_cast<int>(fillImage->GetWidth());
        fillImageHeight = static_cast<int>(fillImage->GetHeight());
    }
}

void CCustomProgress::PreSubclassWindow() {
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW);
}

void CCustomProgress::OnPaint() {
    ombrix::PaintScope paint(GetSafeHwnd());
    Draw(paint.Dc());
}

void CCustomProgress::OnPrintClient(HDC dc, UINT) {
    Draw(dc);
}

void CCustomProgress::Draw(HDC dc) {
    if (dc == nullptr) return;
    // A bar that shrinks (a new batch starts at 0) must not leave its old fill behind.
    ombrix::PaintParentBackground(GetSafeHwnd(), dc);
    if (!fillImage || fillImage->GetLastStatus() != Gdiplus::Ok) return;
    const RECT client = GetClientRect();
    Gdiplus::Graphics graphics(dc);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    const float scale = GetScaleFactor();
    const Gdiplus::RectF destination(0.0f, 0.0f,
                                     static_cast<float>(client.right - client.left) * progress,
                                     static_cast<float>(fillImageHeight) * scale);
    if (destination.Width <= 0.0f || destination.Height <= 0.0f) return;
    graphics.DrawImage(fillImage.get(), destination, 0.0f, 0.0f,
                       static_cast<float>(fillImageWidth) * progress,
                       static_cast<float>(fillImageHeight), Gdiplus::UnitPixel);
}

BOOL CCustomProgress::OnEraseBkgnd(HDC) {
    return FALSE;
}
