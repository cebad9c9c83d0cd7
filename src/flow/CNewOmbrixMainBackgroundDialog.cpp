#include "flow/CNewOmbrixMainBackgroundDialog.h"

#include <memory>

#include "flow/CFlashDialog.h"
#include "flow/CNewOmbrixMainForegroundDialog.h"
#include "res/resource.h"

CNewOmbrixMainBackgroundDialog::CNewOmbrixMainBackgroundDialog()
    : CMainBackgroundDialog(IDP_MAIN_ARTWORK, nullptr) {
    alpha = 0;
}

CNewOmbrixMainBackgroundDialog::~CNewOmbrixMainBackgroundDialog() = default;

void CNewOmbrixMainBackgroundDialog::MoveBy(int dx, int dy) {
    MoveGroup(dx, dy, host);
}

void CNewOmbrixMainBackgroundDialog::LayoutForeground() {
    LayoutGroup(host);
}

void CNewOmbrixMainBackgroundDialog::CreateForeground() {}

void CNewOmbrixMainBackgroundDialog::CreateProductForeground() {
    if (foreground == nullptr) {
        AdoptForeground(std::make_unique<CNewOmbrixMainForegroundDialog>());
    }
    alpha = 255;
    UpdateLayered();
}
