#include "framework/MessageLoop.h"

#include "framework/Window.h"

namespace ombrix {

bool PreTranslateWindowMessage(MSG* msg) {
    if (msg == nullptr) return false;
    // From the target up to its top-level window; owners are not visited.
    for (HWND hwnd = msg->hwnd; hwnd != nullptr;) {
        Window* window = Window::FromHandle(hwnd);
        if (window != nullptr && window->PreTranslateMessage(msg)) return true;
        if ((::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD) == 0) break;
        hwnd = ::GetParent(hwnd);
    }
    return false;
}

namespace {

void Handle(MSG& msg) {
    if (PreTranslateWindowMessage(&msg)) return;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
}

}  // namespace

bool PumpMessage() {
    MSG msg{};
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
        if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
        return false;
    }
    Handle(msg);
    return true;
}

bool RunMessageLoop(const bool& done) {
    while (!done) {
        if (!PumpMessage()) return false;
    }
    return true;
}

int PumpPendingMessages() {
    int handled = 0;
    MSG msg{};
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        Handle(msg);
        ++handled;
    }
    return handled;
}

}  // namespace ombrix
