// The two steps shared by every window that the player drags with the left mouse button: the
// press stores the cursor position, and each mouse move takes the cursor's travel since the
// stored position and stores the new one. Screen coordinates, so the result does not depend on
// where the window is while it moves.
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

}  // namespace ombrix
