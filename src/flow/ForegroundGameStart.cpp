// The end of a good update: the foreground window starts the game, or the new launcher after
// the launcher's own files changed, and the launcher ends.
#include "app/GameLaunch.h"
#include "flow/CMainForegroundDialog.h"
#include "flow/CNewOmbrixMainForegroundDialog.h"
#include "flow/FlowServices.h"
#include "resources/ResourceManager.h"

void CMainForegroundDialog::LaunchGame() {
    LaunchGenericGame(*this);
}

void CNewOmbrixMainForegroundDialog::LaunchGame() {
    ::LaunchGame(*this, loginFields);
}

void CMainForegroundDialog::RestartLauncher() {
    ::RestartLauncher(*this);
}

std::wstring CMainForegroundDialog::GetResourceHash() {
    return CResourceManager::GetInstance().GetResourceHash();
}

void CMainForegroundDialog::SetStatusText(const std::wstring& text) {
    ShowText(statusLabel, text);
}

void CMainForegroundDialog::ShowFailureMessage(const std::wstring& text) {
    ShowMessageBox(nullptr, text, 0, L"", L"", FALSE);
}

void CMainForegroundDialog::ClearConfirmClose() {
    SetConfirmClose(0);  // this window and the windows it is linked to
    if (auto* owner = dynamic_cast<CDialogBase*>(Window::FromHandle(GetParent()))) {
        owner->SetConfirmClose(0);
    }
}

void CMainForegroundDialog::EndLauncher() {
    Services().EndProcess();
}
