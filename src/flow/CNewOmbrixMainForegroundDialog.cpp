#include "flow/CNewOmbrixMainForegroundDialog.h"

#include "res/resource.h"

CNewOmbrixMainForegroundDialog::CNewOmbrixMainForegroundDialog(ombrix::Window* parent)
    : CMainForegroundDialog(parent) {
    insetLeft = 88;
    insetTop = 50;
    insetRight = 22;
    insetBottom = 35;
}

CNewOmbrixMainForegroundDialog::~CNewOmbrixMainForegroundDialog() = default;

void CNewOmbrixMainForegroundDialog::DoDataExchange() {
    CMainForegroundDialog::DoDataExchange();
    groupButton.SubclassDlgItem(IDC_GROUP_BUTTON, this);
}

void CNewOmbrixMainForegroundDialog::StyleControls() {
    ApplyWindowShape();
    CMainForegroundDialog::StyleControls();
    groupButton.SetImages(IDP_GROUP_NORMAL, IDP_GROUP_HIGHLIGHT);
}

void CNewOmbrixMainForegroundDialog::LayoutControls() {
    PlaceControl(progressBar, 22, 202, 538, 216);
    PlaceControl(statusLabel, 20, 210, 542, 228);
    PlaceControl(tipsLabel, 300, 140, 600, 200);
    PlaceControl(minimiseButton, 550, 0, 578, 28);
    PlaceControl(closeButton, 580, 0, 608, 28);
    PlaceControl(groupButton, 542, 182, 682, 222);
}

BOOL CNewOmbrixMainForegroundDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_GROUP_BUTTON) {
        OpenCommunityPage();
        return TRUE;
    }
    return CMainForegroundDialog::OnCommand(wParam, lParam);
}
