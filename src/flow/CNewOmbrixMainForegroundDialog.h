// The launcher's foreground window: the generic foreground with the community-group button,
// the login fields handed to the game and the full game command line.
#pragma once

#include "flow/CMainForegroundDialog.h"

class CNewOmbrixMainForegroundDialog : public CMainForegroundDialog {
  public:
    explicit CNewOmbrixMainForegroundDialog(ombrix::Window* parent = nullptr);
    ~CNewOmbrixMainForegroundDialog() override;

    // "auth_key", "uid" and "extraInfo" for the game's login data (narrow code page); empty
    // unless an embedding fills them before the game starts.
    LoginFields loginFields;

  protected:
    void DoDataExchange() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void LayoutControls() override;
    // The window's outline, then the shared styles, then the group button's pictures.
    void StyleControls() override;
    void LaunchGame() override;
};
