// The per-pixel-alpha background of the main window: shows the artwork, carries the
// foreground at fixed insets and hands it the piece of artwork under it, moves the group as
// one, and asks the player every question of the launcher.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "ui/CLayeredBackgroundDialog.h"

class CMainBackgroundDialog : public CLayeredBackgroundDialog {
  public:
    CMainBackgroundDialog(int imageID, ombrix::Window* parent);
    ~CMainBackgroundDialog() override;

    // The foreground it created (owned here; lives as long as this window object).
    CDialogBase* foreground = nullptr;
    int messageBoxOffsetX = 0;  // added to the left edge when a message box is placed
    int messageBoxOffsetY = 0;  // added to the top edge when a message box is placed

    // Keeps what was downloaded, stops the downloads and ends the process.
    void OnQuit() override;
    // Moves background and foreground by (dx, dy) in one batch (only when movable).
    void MoveBy(int dx, int dy) override;
    // The skinned box, centred on this window; both windows are disabled meanwhile.
    int ShowMessageBox(HWND owner, const std::wstring& text, UINT type,
                       const std::wstring& firstButtonText, const std::wstring& secondButtonText,
                       BOOL highlightSecond) override;
    // Shows or hides foreground, background and an open message box together.
    void ShowAll(int showCommand) override;
    void BringToFront() override;
    // The foreground follows whatever moved the background.
    void OnMove(int x, int y) override;
    void OnSize(UINT type, int cx, int cy) override;

    // Creates the generic foreground (once).
    virtual void CreateForeground();
    // Sizes and places the foreground inside the margins and gives it its backdrop.
    virtual void LayoutForeground();

  protected:
    BOOL OnInitDialog() override;
    int OnCreate(CREATESTRUCTW* create) override;

    // Creates the window of a new foreground, linked to and owned by this window, shows it
    // and lays it out. Nothing when a foreground exists already.
    void AdoptForeground(std::unique_ptr<CDialogBase> created);
    // Moves the group; the host (may be null) goes to the background's corner.
    void MoveGroup(int dx, int dy, CDialogBase* host);
    // Foreground placement; with host, the host goes to the background's corner as well.
    void LayoutGroup(CDialogBase* host);

  private:
    std::unique_ptr<CDialogBase> ownedForeground_;
    bool movingGroup_ = false;  // a batch is being applied: the resulting move messages wait
};
