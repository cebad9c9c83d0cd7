#include "ui/CSkinDialog.h"

#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/DeferredWindowPos.h"
#include "ui/CSkinUIDialog.h"
#include "ui/RunMessageBox.h"

CSkinDialog::CSkinDialog(int resourceID, ombrix::Window* parent)
    : CLayeredBackgroundDialog(resourceID, parent) {}

CSkinDialog::~CSkinDialog() {
    // The content goes first: it is linked to this frame and owned by it.
    content.reset();
    centerRect.reset();
}

BOOL CSkinDialog::OnInitDialog() {
    CLayeredBackgroundDialog::OnInitDialog();

    // Centre on the given rectangle, else on the parent window, else on the desktop.
    const RECT frame = GetWindowRect();
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    RECT around{};
    bool haveAround = false;
    if (centerRect) {
        around = *centerRect;
        haveAround = true;
    } else if (HWND parent = GetParentHandle(); parent != nullptr && ::IsWindow(parent)) {
        ::GetWindowRect(parent, &around);
        haveAround = true;
    }
    if (haveAround) {
        MoveTo((around.right - around.left) / 2 + around.left - frameWidth / 2,
               around.top + (around.bottom - around.top) / 2 - frameHeight / 2);
    } else {
        CenterOnDesktop();
    }

    // Off the taskbar. Done before the content exists: changing the frame's styles later can
    // make the display server stack the frame above its content.
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);

    if (!content) content = std::make_unique<CSkinUIDialog>(contentTemplateID, nullptr);
    content->movable = movable;
    content->SetLinkedDialog(this);
    if (content->CreateWithParentHandle(contentTemplateID, GetSafeHwnd())) {
        content->SetOwner(GetSafeHwnd());
        content->ShowWindow(SW_SHOW);

        // Same layout as the main foreground: inside the frame's margins, painted with the
        // part of the frame's picture that lies under it.
        const float scale = GetScaleFactor();
        const RECT placed = GetWindowRect();
        const int contentWidth =
            (placed.right - placed.left) -
            Scaled(scale, content->insetRight + 2 * content->borderX + content->insetLeft);
        const int contentHeight =
            (placed.bottom - placed.top) -
            Scaled(scale, content->insetBottom + 2 * content->borderY + content->insetTop);
        content->MoveAndResize(placed.left, placed.top, contentWidth, contentHeight);
        const int offsetX = Scaled(scale, content->insetLeft + content->borderX);
        const int offsetY = Scaled(scale, content->insetTop + content->borderY);
        content->MoveTo(placed.left + offsetX, placed.top + offsetY);
        if (auto* skin = dynamic_cast<CSkinUIDialog*>(content.get())) {
            skin->SetBackdrop(LoadPngBitmap(
                static_cast<WORD>(imageResourceID), static_cast<int>(offsetX / scale),
                static_cast<int>(offsetY / scale), static_cast<int>(contentWidth / scale),
                static_cast<int>(contentHeight / scale)));
        }
    }

    // Once the frame is on screen, lift the content above it again: showing the layered frame
    // can stack it over the windows it owns on some display servers.
    PostMessage(kRaiseContent);
    return TRUE;
}

LRESULT CSkinDialog::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRaiseContent)
        return CLayeredBackgroundDialog::OnUserMessage(message, wParam, lParam);
    RaiseContent();
    return 0;
}

void CSkinDialog::RaiseContent() {
    if (!content || !content->Exists() || !content->IsWindowVisible()) return;
    const UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
    content->SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, flags);
    content->SetWindowPos(HWND_NOTOPMOST, 0, 0, 0, 0, flags);
}

void CSkinDialog::MoveBy(int dx, int dy) {
    if (!movable || !Exists()) return;
    const RECT frame = GetWindowRect();
    const int x = frame.left + dx;
    const int y = frame.top + dy;
    ombrix::DeferredWindowPos batch(2);
    if (content && content->Exists()) {
        const float scale = GetScaleFactor();
        batch.Move(content->GetSafeHwnd(), x + Scaled(scale, content->insetLeft + content->borderX),
                   y + Scaled(scale, content->insetTop + content->borderY));
        // The frame stays right under its content (some display servers stack a layered
        // window above the windows it owns unless told otherwise).
        batch.Add(GetSafeHwnd(), content->GetSafeHwnd(), x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    } else {
        batch.Move(GetSafeHwnd(), x, y);
    }
    batch.Apply();
}

int CSkinDialog::ShowMessageBox(HWND, const std::wstring& text, UINT type,
                                const std::wstring& firstButtonText,
                                const std::wstring& secondButtonText, BOOL highlightSecond) {
    EnableWindow(false);
    if (content) content->EnableWindow(false);
    HWND owner = content && content->Exists() ? content->GetSafeHwnd() : GetSafeHwnd();
    RECT* around = new RECT(GetWindowRect());
    const int answer = RunMessageBox(text, around, firstButtonText, secondButtonText,
                                     highlightSecond, owner, static_cast<int>(type));
    EnableWindow(true);
    if (content) content->EnableWindow(true);
    return answer;
}

void CSkinDialog::BringToFront() {
    if (content) content->SetForegroundWindow();
    SetForegroundWindow();
}
