// The launcher's background window: the main artwork (PNG 137), invisible until its
// foreground exists, and moving the host window along with the group.
#pragma once

#include "flow/CMainBackgroundDialog.h"

class CFlashDialog;

class CNewOmbrixMainBackgroundDialog : public CMainBackgroundDialog {
  public:
    CNewOmbrixMainBackgroundDialog();
    ~CNewOmbrixMainBackgroundDialog() override;

    CFlashDialog* host = nullptr;  // set by the host after creating this window

    void MoveBy(int dx, int dy) override;
    void LayoutForeground() override;
    // The product foreground is made by CreateProductForeground instead.
    void CreateForeground() override;
    // Creates the launcher's foreground once, then shows the background at full opacity.
    void CreateProductForeground();
};
