#include "ui/CSkinButton.h"

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/ParentBackground.h"
#include "ui/GdiplusText.h"

CSkinButton::CSkinButton() = default;

CSkinButton::~CSkinButton() = default;

void CSkinButton::SetImages(int normalResourceID, int highlightResourceID) {
    normalImage.reset(LoadPngImage(static_cast<WORD>(normalResourceID)));
    highlightImage.reset(LoadPngImage(static_cast<WORD>(highlightResourceID)));
    Invalidate(false);
}

void CSkinButton::PreSubclassWindow() {
    ModifyStyle(BS_TYPEMASK, BS_OWNERDRAW);
}

void CSkinButton::DrawItem(DRAWITEMSTRUCT* item) {
    // Without a usable normal picture (missing or undecodable PNG) nothing is drawn at all.
    if (item == nullptr || !normalImage || normalImage->GetLastStatus() != Gdiplus::Ok) return;
    Gdiplus::Image* picture = buttonState == kNormal ? normalImage.get() : highlightImage.get();
    const RECT client = GetClientRect();
    const int clientWidth = client.right - client.left;
    const int clientHeight = client.bottom - client.top;
    // The faces have soft, transparent edges: start from what lies under the button.
    ombrix::PaintParentBackground(GetSafeHwnd(), item->hDC);
    Gdiplus::Graphics graphics(item->hDC);
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    if (picture != nullptr && picture->GetLastStatus() == Gdiplus::Ok)
        graphics.DrawImage(picture, 0, 0, clientWidth, clientHeight);

    const std::wstring text = GetWindowText();
    std::unique_ptr<Gdiplus::Font> font = CreateScaledFont(
        fontFamily, static_cast<float>(fontSize) * GetScaleFactor(), fontStyle, fontUnit);
    if (!font || text.empty()) return;
    Gdiplus::StringFormat format;
    format.SetAlignment(Gdiplus::StringAlignmentNear);
    const Gdiplus::RectF layout(0.0f, 0.0f, static_cast<float>(clientWidth),
                                static_cast<float>(clientHeight));
    Gdiplus::RectF bounds;
    if (graphics.MeasureString(text.c_str(), static_cast<INT>(text.size()), font.get(), layout,
                               &format, &bounds) != Gdiplus::Ok)
        return;
    Gdiplus::SolidBrush brush{Gdiplus::Color(textColor)};
    const Gdiplus::RectF place((static_cast<float>(clientWidth) - bounds.Width) * 0.5f,
                               (static_cast<float>(clientHeight) - bounds.Height) * 0.5f,
                               static_cast<float>(clientWidth), static_cast<float>(clientHeight));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), font.get(), place, &format,
                        &brush);
}

void CSkinButton::ChangeState(int state) {
    if (buttonState == state) return;
    buttonState = state;
    Invalidate(false);
}

void CSkinButton::OnMouseMove(UINT, POINT) {
    if (tracking == 0 && TrackMouseEvent(TME_HOVER | TME_LEAVE, 10)) tracking = 1;
    if (buttonState == kNormal) ChangeState(kHover);
    Default();
}

void CSkinButton::OnMouseHover(UINT, POINT) {
    tracking = 0;
    if (buttonState == kNormal) ChangeState(kHover);
    Default();
}

void CSkinButton::OnMouseLeave() {
    tracking = 0;
    if (buttonState != kNormal) ChangeState(kNormal);
    Default();
}

void CSkinButton::OnLButtonDown(UINT, POINT) {
    if (buttonState != kPressed) ChangeState(kPressed);
    Default();
}

void CSkinButton::OnLButtonUp(UINT, POINT) {
    if (buttonState != kNormal) ChangeState(kNormal);
    Default();
}

BOOL CSkinButton::OnEraseBkgnd(HDC) {
    return FALSE;
}
