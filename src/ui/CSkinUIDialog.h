// Base of the content dialogs placed inside a layered frame: painted with the part of the
// frame's PNG that lies under it (the backdrop), draggable together with its frame.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>

#include "ui/CDialogBase.h"
#include "ui/UIDataBase.h"

class CSkinUIDialog : public CDialogBase {
  public:
    CSkinUIDialog(UINT templateID, ombrix::Window* parent);
    ~CSkinUIDialog() override;

    std::unique_ptr<Gdiplus::Bitmap> backdrop;
    int backdropWidth = 0;   // backdrop width times the scale factor
    int backdropHeight = 0;  // backdrop height times the scale factor
    std::unique_ptr<UIDataBase> data;
    int dragging = 0;
    int lastCursorX = 0;
    int lastCursorY = 0;

    // Takes ownership of the bitmap (null allowed) and repaints.
    void SetBackdrop(Gdiplus::Bitmap* bitmap);

    void OnPaint() override;
    void OnSize(UINT type, int cx, int cy) override;
    // Whether the backdrop is drawn for this paint area; TRUE here.
    virtual BOOL ShouldDrawBackdrop(const RECT& area);

  protected:
    // Framework initialisation; layered + composited, off the taskbar (tool window).
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    // Draws the backdrop for controls that repaint what lies under them.
    void OnPrintClient(HDC dc, UINT flags) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(HWND newOwner) override;
};
