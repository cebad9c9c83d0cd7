// The common base of every launcher window.
//
// - Enter, Escape and Ctrl+Break never reach a window (PreTranslateMessage consumes them).
// - A close request (WM_CLOSE: Alt+F4, the system menu, a close button) is routed along
//   linkedDialog to the outermost window. The window on which it arrives copies its
//   confirmClose outward; the outermost window then asks "退出"/"取消" with a random exit tip
//   when the flag is set, and refuses the close (WindowProc answers 1) unless the player chose
//   "退出". Once accepted, OnQuit runs on the outermost window first, then on each inner
//   window on the way back, each followed by the default close processing.
// - ShowMessageBox, ShowAll and BringToFront are forwarded along linkedDialog; the outermost
//   window (a background window) implements them.
// - The six margins tell a host how to inset this window (design pixels: multiply by
//   GetScaleFactor()).
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Dialog.h"

class CDialogBase : public ombrix::Dialog {
  public:
    CDialogBase(UINT templateID, ombrix::Window* parent);
    ~CDialogBase() override;

    // Margins in design pixels (see above); all 0 on construction.
    int borderX = 0;  // counted on both sides; also the offset of a secondary child window
    int borderY = 0;
    int insetLeft = 0;
    int insetTop = 0;
    int insetRight = 0;
    int insetBottom = 0;
    // Where close requests, message boxes, show and bring-to-front requests go; not owned;
    // null for the outermost window.
    CDialogBase* linkedDialog = nullptr;
    // Nonzero: a close request that reaches this window unforwarded asks the player first.
    int confirmClose = 1;
    // Nonzero once a host finished its initialisation: dragging moves windows only then.
    int movable = 0;
    // An optional modal child, ended and destroyed with this window.
    std::unique_ptr<CDialogBase> childDialog;
    // Tip texts of the close question, filled on first use.
    std::vector<std::wstring> exitTips;

    // Default processing, then makes this window the foreground window when it is shown.
    void OnShowWindow(BOOL show, UINT status) override;
    // Runs once a close request has been accepted, before the default close processing.
    virtual void OnQuit();
    virtual void CloseChildDialog();
    // Ends childDialog (result 7; its linkedDialog instead when it has one), destroys it.
    virtual void DestroyChildDialog();
    virtual void SetLinkedDialog(CDialogBase* linked);
    // Moves the window group by screen pixels; empty here (background windows implement it).
    virtual void MoveBy(int dx, int dy);
    // Asks the player: 1 first button, 7 second button, 2 closed otherwise. Forwarded to
    // linkedDialog; without one, answers 1 and shows nothing. type: Win32 MB_ codes (0, 16,
    // 32, 48, 64 and 0x4000 give one centred button); empty captions mean "确定"/"取消";
    // highlightSecond nonzero gives the second button the orange face.
    virtual int ShowMessageBox(HWND owner, const std::wstring& text, UINT type,
                               const std::wstring& firstButtonText,
                               const std::wstring& secondButtonText, BOOL highlightSecond);
    // Forwarded to linkedDialog, else ShowWindow(showCommand) on this window.
    virtual void ShowAll(int showCommand);
    // Forwarded to linkedDialog, else SetForegroundWindow on this window.
    virtual void BringToFront();

    // Shows the window normally and centres it on the desktop (no resize, no z-order change).
    void CenterOnDesktop();
    // Moves the window to a screen position (nothing when there is no window).
    void MoveTo(int x, int y);
    // MoveTo, then sets the size (nothing when there is no window).
    void MoveAndResize(int x, int y, int width, int height);
    // Sets confirmClose here and on every window along linkedDialog.
    void SetConfirmClose(int value);
    // One of the six exit tips, chosen at random.
    std::wstring GetRandomExitTip();

    // Consumes key-down of VK_CANCEL, VK_RETURN and VK_ESCAPE; else dialog navigation.
    BOOL PreTranslateMessage(MSG* msg) override;
    // Close routing (see above); every other message goes to the usual dispatch.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
