// An owner-drawn image button: the normal picture, or the highlighted one while the cursor
// is over it or it is pressed, with its caption centred on top. The click is the usual
// BN_CLICKED command to the parent.
//
// buttonState: 1 normal, 2 pressed, 3 hover. A mouse move turns normal into hover and asks
// for hover and leave notifications (tracking); the leave notification turns it back to
// normal; pressing turns it to pressed, releasing back to normal.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "framework/ButtonControl.h"

class CSkinButton : public ombrix::ButtonControl {
  public:
    enum State { kNormal = 1, kPressed = 2, kHover = 3 };

    CSkinButton();
    ~CSkinButton() override;

    std::unique_ptr<Gdiplus::Image> normalImage;
    std::unique_ptr<Gdiplus::Image> highlightImage;
    std::wstring fontFamily = L"微软雅黑";
    int fontSize = 10;  // em size, times GetScaleFactor() when drawn
    int fontStyle = 0;
    int fontUnit = 2;
    DWORD textColor = 0xFFFFFFFF;
    int tracking = 0;     // a hover/leave notification request is pending
    int buttonState = 1;  // State

    // Replaces both pictures with PNG resources of the executable.
    void SetImages(int normalResourceID, int highlightResourceID);

    // Draws picture and caption (nothing without normalImage).
    void DrawItem(DRAWITEMSTRUCT* item) override;

  protected:
    // Adds BS_OWNERDRAW.
    void PreSubclassWindow() override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnMouseHover(UINT flags, POINT point) override;
    void OnMouseLeave() override;
    BOOL OnEraseBkgnd(HDC dc) override;

  private:
    void ChangeState(int state);
};
