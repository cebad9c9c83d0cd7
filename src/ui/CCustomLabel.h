// A static control that draws its text with GDI+: no background, no frame. The owner sets
// the members directly after construction and calls SetText to change the text.
#pragma once

#include <windows.h>

#include <string>

#include "framework/StaticControl.h"

class CCustomLabel : public ombrix::StaticControl {
  public:
    CCustomLabel();

    std::wstring fontFamily = L"宋体";
    int fontSize = 10;             // em size, times GetScaleFactor() when drawn
    int fontStyle = 0;             // Gdiplus::FontStyle: 0 regular, 1 bold
    int fontUnit = 2;              // Gdiplus::Unit: 2 pixel
    DWORD textColor = 0xFFFFFFFF;  // ARGB
    int horizontalAlign = 0;       // Gdiplus::StringAlignment: 0 near, 1 centre, 2 far
    int verticalAlign = 0;         // line alignment, same values

    // Sets the window text and repaints.
    void SetText(const std::wstring& text);

  protected:
    // Adds SS_OWNERDRAW.
    void PreSubclassWindow() override;
    void OnPaint() override;
    // Draws into the given DC (printing and snapshots).
    void OnPrintClient(HDC dc, UINT flags) override;
    // Answers 0, erases nothing.
    BOOL OnEraseBkgnd(HDC dc) override;

  private:
    void Draw(HDC dc);
};
