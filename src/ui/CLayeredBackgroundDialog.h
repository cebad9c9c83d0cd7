// A borderless window whose whole look is one PNG with per-pixel alpha, handed to the system
// compositor with UpdateLayeredWindow. The player drags it with the left mouse button (the
// drag calls MoveBy, which the subclasses implement; it moves nothing while `movable` is 0).
// Built on template 102; the window size is the image size times GetScaleFactor().
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>

#include "ui/CDialogBase.h"

class CLayeredBackgroundDialog : public CDialogBase {
  public:
    // Loads PNG imageResourceID of the executable (LoadPngImage). A missing or undecodable
    // PNG leaves the window empty: width and height 0, nothing drawn.
    CLayeredBackgroundDialog(int imageResourceID, ombrix::Window* parent);
    ~CLayeredBackgroundDialog() override;

    std::unique_ptr<Gdiplus::Image> image;  // null or a decoded image (possibly failed)
    int imageResourceID = 0;                // kept so that hosts can cut pieces of the same PNG
    int width = 0;                          // window width in screen pixels
    int height = 0;                         // window height in screen pixels
    int updating = 0;                       // re-entry guard of UpdateLayered
    BYTE alpha = 255;                       // constant opacity on top of the per-pixel alpha
    int dragging = 0;
    int lastCursorX = 0;
    int lastCursorY = 0;

    // Redraws the layered window from `image` at (width, height) with `alpha`. Does nothing
    // before the window exists; keeps the old content when the bitmap cannot be made.
    void UpdateLayered();

    // Does nothing (subclasses move their group here).
    void OnMove(int x, int y) override;
    // Default processing, then UpdateLayered.
    void OnSize(UINT type, int cx, int cy) override;

  protected:
    BOOL OnInitDialog() override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(HWND newOwner) override;
    // Answers 0 without default processing.
    int OnMouseActivate(HWND topLevel, UINT hitTest, UINT message) override;
    // Answers TRUE, erases nothing.
    BOOL OnEraseBkgnd(HDC dc) override;
};
