#include "framework/Dialog.h"

#include "framework/MessageLoop.h"

namespace ombrix {

Dialog::Dialog(UINT templateId, Window* parent)
    : templateId_(templateId), parentHwnd_(parent ? parent->GetSafeHwnd() : nullptr) {}

Dialog::~Dialog() = default;

INT_PTR CALLBACK Dialog::StaticDialogProc(HWND, UINT, WPARAM, LPARAM) {
    // Every message reaches the object through its subclassed window procedure first; what
    // it hands on for default processing gets the system dialog behaviour.
    return FALSE;
}

bool Dialog::CreateFromTemplate(HWND parent) {
    if (GetSafeHwnd() != nullptr) return false;
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (::FindResourceW(instance, MAKEINTRESOURCEW(templateId_), RT_DIALOG) == nullptr)
        return false;
    if (parent != nullptr && !::IsWindow(parent)) parent = nullptr;
    HWND hwnd = nullptr;
    {
        CreationScope scope(this);
        hwnd = ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId_), parent,
                                    &Dialog::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    }
    if (hwnd == nullptr) return false;
    if (GetSafeHwnd() != hwnd) {  // not attached: do not keep a window we cannot serve
        ::DestroyWindow(hwnd);
        return false;
    }
    return true;
}

bool Dialog::Create(UINT templateId, Window* parent) {
    if (templateId != 0) templateId_ = templateId;
    if (parent != nullptr) parentHwnd_ = parent->GetSafeHwnd();
    return CreateFromTemplate(parentHwnd_);
}

bool Dialog::CreateWithParentHandle(UINT templateId, HWND parent) {
    if (templateId != 0) templateId_ = templateId;
    parentHwnd_ = parent;
    return CreateFromTemplate(parentHwnd_);
}

INT_PTR Dialog::DoModal() {
    if (GetSafeHwnd() != nullptr || modalRunning_) return -1;
    HWND owner = parentHwnd_;
    if (owner != nullptr && !::IsWindow(owner)) owner = nullptr;
    if (owner != nullptr) owner = ::GetAncestor(owner, GA_ROOT);
    // The owner is disabled for the run, as with system modal dialogs.
    const bool disabledOwner = owner != nullptr && ::IsWindowEnabled(owner);
    if (disabledOwner) ::EnableWindow(owner, FALSE);

    modalRunning_ = true;
    endRequested_ = false;
    modalResult_ = -1;
    if (!CreateFromTemplate(owner)) {
        modalRunning_ = false;
        if (disabledOwner) ::EnableWindow(owner, TRUE);
        return -1;
    }
    if (!endRequested_ && Exists() && !IsWindowVisible()) ShowWindow(SW_SHOWNORMAL);
    while (!endRequested_ && Exists()) {
        if (!PumpMessage()) break;  // WM_QUIT: posted again for the outer loops
    }
    modalRunning_ = false;

    // Enable the owner before hiding, so that activation returns to it.
    if (disabledOwner) ::EnableWindow(owner, TRUE);
    if (Exists()) {
        SetWindowPos(nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
        if (owner != nullptr && ::GetActiveWindow() == GetSafeHwnd()) ::SetActiveWindow(owner);
        DestroyWindow();
    }
    return modalResult_;
}

void Dialog::EndDialog(INT_PTR result) {
    if (modalRunning_) {
        modalResult_ = result;
        endRequested_ = true;
        PostMessage(WM_NULL);  // wake the loop if it waits
        return;
    }
    ShowWindow(SW_HIDE);
}

BOOL Dialog::PreTranslateMessage(MSG* msg) {
    if (GetSafeHwnd() == nullptr || msg == nullptr) return FALSE;
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return FALSE;
    return ::IsDialogMessageW(GetSafeHwnd(), msg);
}

BOOL Dialog::OnInitDialog() {
    DoDataExchange();
    return TRUE;
}

void Dialog::DoDataExchange() {}

void Dialog::OnOK() {
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

LRESULT Dialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog();
    return Window::OnWndMsg(message, wParam, lParam);
}

BOOL Dialog::OnCommand(WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    const UINT code = HIWORD(wParam);
    if (code != BN_CLICKED) return FALSE;
    switch (LOWORD(wParam)) {
        case IDOK:
            OnOK();
            return TRUE;
        case IDCANCEL:
            OnCancel();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace ombrix
