#include "ui/CDialogBase.h"

#include <cstdlib>
#include <ctime>

CDialogBase::CDialogBase(UINT templateID, ombrix::Window* parent) : Dialog(templateID, parent) {}

CDialogBase::~CDialogBase() {
    DestroyChildDialog();
    linkedDialog = nullptr;
    confirmClose = 1;
    exitTips.clear();
}

void CDialogBase::OnShowWindow(BOOL show, UINT status) {
    (void)status;
    Default();
    // Only a window being shown takes the foreground: a hidden one must not catch the input.
    if (show) SetForegroundWindow();
}

void CDialogBase::OnQuit() {}

void CDialogBase::CloseChildDialog() {
    DestroyChildDialog();
}

void CDialogBase::DestroyChildDialog() {
    if (!childDialog) return;
    CDialogBase* ending =
        childDialog->linkedDialog != nullptr ? childDialog->linkedDialog : childDialog.get();
    ending->EndDialog(7);
    childDialog->DestroyWindow();
    childDialog.reset();
}

void CDialogBase::SetLinkedDialog(CDialogBase* linked) {
    linkedDialog = linked;
}

void CDialogBase::MoveBy(int, int) {}

int CDialogBase::ShowMessageBox(HWND owner, const std::wstring& text, UINT type,
                                const std::wstring& firstButtonText,
                                const std::wstring& secondButtonText, BOOL highlightSecond) {
    if (linkedDialog != nullptr)
        return linkedDialog->ShowMessageBox(owner, text, type, firstButtonText, secondButtonText,
                                            highlightSecond);
    return 1;
}

void CDialogBase::ShowAll(int showCommand) {
    if (linkedDialog != nullptr) {
        linkedDialog->ShowAll(showCommand);
        return;
    }
    ShowWindow(showCommand);
}

void CDialogBase::BringToFront() {
    if (linkedDialog != nullptr) {
        linkedDialog->BringToFront();
        return;
    }
    SetForegroundWindow();
}

void CDialogBase::CenterOnDesktop() {
    if (!Exists()) return;
    ShowWindow(SW_SHOWNORMAL);
    RECT desktop{};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    const RECT window = GetWindowRect();
    const int desktopWidth = desktop.right - desktop.left;
    const int desktopHeight = desktop.bottom - desktop.top;
    const int windowWidth = window.right - window.left;
    const int windowHeight = window.bottom - window.top;
    SetWindowPos(nullptr, desktopWidth / 2 - windowWidth / 2, desktopHeight / 2 - windowHeight / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogBase::MoveTo(int x, int y) {
    if (!Exists()) return;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogBase::MoveAndResize(int x, int y, int width, int height) {
    MoveTo(x, y);
    if (!Exists()) return;
    SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CDialogBase::SetConfirmClose(int value) {
    // A chain that loops back on itself is followed once round, never forever.
    for (CDialogBase* window = this; window != nullptr; window = window->linkedDialog) {
        window->confirmClose = value;
        if (window->linkedDialog == this) break;
    }
}

std::wstring CDialogBase::GetRandomExitTip() {
    if (exitTips.empty()) {
        exitTips = {
            L"万人同服，震撼全世界！可以再等等…",  L"真实战斗场景！值得你的等待~",
            L"不再等等了吗… 纯3D特效战争场景哦！", L"玩命下载，很快的，您可以喝杯茶再等等~",
            L"无尽的战争，搞笑的战斗，值得拥有！", L"说什么好呢……还是再等等吧！",
        };
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return exitTips[static_cast<size_t>(std::rand()) % exitTips.size()];
}

BOOL CDialogBase::PreTranslateMessage(MSG* msg) {
    if (msg != nullptr && msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_CANCEL || msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE))
        return TRUE;
    return Dialog::PreTranslateMessage(msg);
}

LRESULT CDialogBase::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_CLOSE) return Dialog::WindowProc(message, wParam, lParam);
    if (linkedDialog != nullptr) {
        // The flag of the window on which the request arrived decides, wherever it is asked.
        linkedDialog->SetConfirmClose(confirmClose);
        if (linkedDialog->WindowProc(message, wParam, lParam) == 1) return 1;
    } else if (confirmClose != 0) {
        const int answer =
            ShowMessageBox(GetSafeHwnd(), GetRandomExitTip(), 4, L"退出", L"取消", TRUE);
        if (answer != 1) return 1;
    }
    OnQuit();
    return Dialog::WindowProc(message, wParam, lParam);
}
