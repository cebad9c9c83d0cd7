#include "framework/DeferredWindowPos.h"

namespace ombrix {

DeferredWindowPos::DeferredWindowPos(int expectedCount)
    : batch_(::BeginDeferWindowPos(expectedCount > 0 ? expectedCount : 1)) {}

DeferredWindowPos::~DeferredWindowPos() {
    Apply();
}

bool DeferredWindowPos::Move(HWND hwnd, int x, int y) {
    return Add(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DeferredWindowPos::Add(HWND hwnd, HWND insertAfter, int x, int y, int width, int height,
                            UINT flags) {
    if (hwnd == nullptr || !::IsWindow(hwnd)) return true;
    if (batch_ == nullptr) {
        // The batch could not be made or an earlier entry broke it: move directly instead.
        failed_ = true;
        return ::SetWindowPos(hwnd, insertAfter, x, y, width, height, flags) != FALSE;
    }
    HDWP next = ::DeferWindowPos(batch_, hwnd, insertAfter, x, y, width, height, flags);
    if (next == nullptr) {  // the system already freed the batch
        batch_ = nullptr;
        failed_ = true;
        return ::SetWindowPos(hwnd, insertAfter, x, y, width, height, flags) != FALSE;
    }
    batch_ = next;
    return true;
}

bool DeferredWindowPos::Apply() {
    if (batch_ == nullptr) return !failed_;
    HDWP batch = batch_;
    batch_ = nullptr;
    return ::EndDeferWindowPos(batch) != FALSE && !failed_;
}

}  // namespace ombrix
