// A batch of window moves applied at once (BeginDeferWindowPos / EndDeferWindowPos), so that
// windows moved together never drift apart on screen. Applied on Apply() or destruction.
#pragma once

#include <windows.h>

namespace ombrix {

class DeferredWindowPos {
  public:
    explicit DeferredWindowPos(int expectedCount);
    ~DeferredWindowPos();
    DeferredWindowPos(const DeferredWindowPos&) = delete;
    DeferredWindowPos& operator=(const DeferredWindowPos&) = delete;

    // Moves hwnd to (x, y) without resizing or changing the stacking order. A null or dead
    // window is skipped (true: nothing to do).
    bool Move(HWND hwnd, int x, int y);
    // The general form (SetWindowPos arguments).
    bool Add(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
    // Applies the batch now; later calls do nothing. False when the system refused it.
    bool Apply();

  private:
    HDWP batch_;
    bool failed_ = false;
};

}  // namespace ombrix
