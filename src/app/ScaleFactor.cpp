#include "app/ScaleFactor.h"

#include <windows.h>

float ComputeScaleFactor(int dpi, int screenWidth) {
    // A resolution the screen cannot report (0 or less) would shrink every window to nothing.
    if (dpi <= 0) return 1.0f;
    if (dpi != 96) return static_cast<float>(dpi) / 96.0f;
    if (screenWidth >= 1503 && screenWidth <= 1920) return 1.0f;
    const float factor = static_cast<float>(screenWidth) / 1920.0f;
    return factor <= 0.0f ? 1.0f : factor;
}

namespace {
bool computed = false;  // window thread only
float factor = 1.0f;
}  // namespace

void SetScaleFactorForTesting(float value) {
    computed = true;
    factor = value;
}

float GetScaleFactor() {
    if (computed) return factor;
    computed = true;
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen) ::ReleaseDC(nullptr, screen);
    factor = ComputeScaleFactor(dpi, ::GetSystemMetrics(SM_CXSCREEN));
    return factor;
}
