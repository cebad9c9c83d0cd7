// Helpers of the toolkit tests: scripted steps that run inside modal loops, client-area
// snapshots and screen pixels.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/Window.h"

namespace uitest {

// Runs steps one after another as posted messages, so each runs inside whatever modal loop
// is active when it is due. Step i+1 is posted before step i runs: a step may open a modal
// box, and the next step then runs inside that box's loop.
class Script : public ombrix::Window {
  public:
    Script();
    void Add(std::function<void()> step);
    // Runs the steps not run yet, starting with the next message loop.
    void Start();
    bool Finished() const { return next_ >= steps_.size(); }

  protected:
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    std::vector<std::function<void()>> steps_;
    size_t next_ = 0;
};

// A 32-bit top-down snapshot, pixels 0xAARRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
};

// The client area of a window as it draws itself through WM_PRINTCLIENT, over `fill`.
Pixels RenderClient(HWND hwnd, uint32_t fill = 0xFF00FF00);
// What the screen shows at a point.
uint32_t ScreenPixel(int x, int y);

inline int Red(uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline int Green(uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline int Blue(uint32_t c) {
    return c & 0xFF;
}
// An orange face: strong red, clearly less blue.
inline bool IsOrange(uint32_t c) {
    return Red(c) > 150 && Red(c) - Blue(c) > 80;
}
// A grey face: channels close together.
inline bool IsGrey(uint32_t c) {
    return std::abs(Red(c) - Green(c)) < 24 && std::abs(Green(c) - Blue(c)) < 24;
}

// Rectangle of `child` in the client coordinates of `parent`.
RECT RectIn(HWND child, HWND parent);
// Handles whatever is queued, a few rounds.
void Settle();

}  // namespace uitest
