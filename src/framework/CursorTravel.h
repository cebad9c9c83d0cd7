// The steps shared by every window that the player drags with the left mouse button: the press
// stores the cursor position, and each mouse move with the button held takes the cursor's
// travel since the stored position and stores the new one. Screen coordinates, so the result
// does not depend on where the window is while it moves. A drag ends when the button goes up,
// when a move comes without the button, and when the window loses the mouse capture.
#pragma once

#include <windows.h>

#include "framework/Window.h"

namespace ombrix {

// Stores the cursor position (start of a drag).
inline void StoreCursorPosition(int& lastX, int& lastY) {
    const POINT cursor = Window::GetCursorPos();
    lastX = cursor.x;
    lastY = cursor.y;
}

// The cursor's travel since the stored position; the current position is stored.
inline POINT TakeCursorTravel(int& lastX, int& lastY) {
    const POINT cursor = Window::GetCursorPos();
    const POINT travel{cursor.x - lastX, cursor.y - lastY};
    lastX = cursor.x;
    lastY = cursor.y;
    return travel;
}

// Ends a drag: clears the flag and gives the mouse capture back when window holds it.
inline void EndDrag(int& dragging, HWND window) {
    dragging = 0;
    if (::GetCapture() == window) ::ReleaseCapture();
}

// Whether a mouse move with these flags goes on with the drag. A move without the left button
// held ends it: the button went up where the window could not hear it (a question took the
// mouse meanwhile), and the windows must not follow a mouse nobody holds.
inline bool DragGoesOn(int& dragging, UINT flags, HWND window) {
    if (!dragging) return false;
    if ((flags & MK_LBUTTON) != 0) return true;
    EndDrag(dragging, window);
    return false;
}

}  // namespace ombrix
