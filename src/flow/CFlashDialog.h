// The host of the main window: the application's modal dialog that owns the message loop and
// the taskbar entry. It shows nothing itself; it creates the background window, and its first
// erase-background message creates the foreground, so the group appears complete.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/CDialogBase.h"

class CNewOmbrixMainBackgroundDialog;

class CFlashDialog : public CDialogBase {
  public:
    CFlashDialog(UINT templateID, ombrix::Window* parent);
    ~CFlashDialog() override;

    CNewOmbrixMainBackgroundDialog* background = nullptr;  // lives as long as this object
    int dragging = 0;
    int lastCursorX = 0;
    int lastCursorY = 0;
    int backgroundCreated = 0;
    int firstPaintPending = 0;

    // Forwarded to the background, which moves the whole group.
    void MoveBy(int dx, int dy) override;

  protected:
    BOOL OnInitDialog() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnPaint() override;
    BOOL OnEraseBkgnd(HDC dc) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnMouseMove(UINT flags, POINT point) override;
    void OnCaptureChanged(HWND newOwner) override;
    void OnLButtonUp(UINT flags, POINT point) override;

  private:
    std::unique_ptr<CNewOmbrixMainBackgroundDialog> ownedBackground_;
};
