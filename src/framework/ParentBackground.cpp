#include "framework/ParentBackground.h"

namespace ombrix {

void PaintParentBackground(HWND control, HDC dc) {
    if (control == nullptr || dc == nullptr) return;
    HWND parent = ::GetParent(control);
    if (parent == nullptr || (::GetWindowLongPtrW(control, GWL_STYLE) & WS_CHILD) == 0) return;
    POINT origin{0, 0};
    ::MapWindowPoints(control, parent, &origin, 1);
    POINT previous{};
    ::OffsetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

}  // namespace ombrix
