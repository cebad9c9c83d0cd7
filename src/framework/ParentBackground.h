// Repainting what lies under a control that draws no background of its own.
//
// A transparent control (text or a partial bar over the parent's artwork) must not draw over
// its own previous content. Before drawing, it asks its parent to paint the part of the
// parent's client area under the control into the control's DC: the parent receives
// WM_PRINTCLIENT with a DC whose origin is moved to the parent's client origin. A parent that
// paints artwork answers it in OnPrintClient (CSkinUIDialog does); one that does not leaves
// the DC as it was.
#pragma once

#include <windows.h>

namespace ombrix {

void PaintParentBackground(HWND control, HDC dc);

}  // namespace ombrix
