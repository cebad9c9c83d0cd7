#include "ui/CCustomLabel.h"

#include <gdiplus.h>

#include <memory>

#include "app/ScaleFactor.h"
#include "framework/PaintScope.h"
#include "framework/ParentBackground.h"
#include "ui/GdiplusText.h"

CCustomLabel::CCustomLabel() = default;

void CCustomLabel::SetText(const std::wstring& text) {
    SetWindowText(text);
    Invalidate(false);
}

void CCustomLabel::PreSubclassWindow() {
    ModifyStyle(SS_TYPEMASK, SS_OWNERDRAW);
}

void CCustomLabel::OnPaint() {
    ombrix::PaintScope paint(GetSafeHwnd());
    Draw(paint.Dc());
}

void CCustomLabel::OnPrintClient(HDC dc, UINT) {
    Draw(dc);
}

void CCustomLabel::Draw(HDC dc) {
    if (dc == nullptr) return;
    // What lies under the text comes from the parent, so old text never shows through.
    ombrix::PaintParentBackground(GetSafeHwnd(), dc);
    const RECT client = GetClientRect();
    Gdiplus::Graphics graphics(dc);
    graphics.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
    const std::wstring text = GetWindowText();
    std::unique_ptr<Gdiplus::Font> font = CreateScaledFont(
        fontFamily, static_cast<float>(fontSize) * GetScaleFactor(), fontStyle, fontUnit);
    if (!font) return;
    Gdiplus::StringFormat format;
    format.SetAlignment(static_cast<Gdiplus::StringAlignment>(horizontalAlign));
    format.SetLineAlignment(static_cast<Gdiplus::StringAlignment>(verticalAlign));
    Gdiplus::SolidBrush brush{Gdiplus::Color(textColor)};
    const Gdiplus::RectF layout(static_cast<float>(client.left), static_cast<float>(client.top),
                                static_cast<float>(client.right - client.left),
                                static_cast<float>(client.bottom - client.top));
    graphics.DrawString(text.c_str(), static_cast<INT>(text.size()), font.get(), layout, &format,
                        &brush);
}

BOOL CCustomLabel::OnEraseBkgnd(HDC) {
    return FALSE;
}
