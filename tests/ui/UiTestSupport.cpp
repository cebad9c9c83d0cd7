#include "UiTestSupport.h"

#include <gdiplus.h>
#include <gtest/gtest.h>

#include "app/PngResource.h"
#include "framework/MessageLoop.h"
#include "framework/ScopedHandle.h"

namespace uitest {

namespace {

const UINT kRunStep = WM_APP + 7;

// GDI+ for the whole test run, as the launcher holds it for the whole process.
class GdiplusEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { session_ = new GdiplusSession(); }
    void TearDown() override { delete session_; }

  private:
    GdiplusSession* session_ = nullptr;
};

const auto* const environment = ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

}  // namespace

Script::Script() {
    CreateEx(0, L"script", 0, 0, 0, 0, 0, HWND_MESSAGE);
}

void Script::Add(std::function<void()> step) {
    steps_.push_back(std::move(step));
}

void Script::Start() {
    if (!Finished()) PostMessage(kRunStep);
}

LRESULT Script::OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != kRunStep) return Window::OnUserMessage(message, wParam, lParam);
    if (next_ >= steps_.size()) return 0;
    const size_t current = next_++;
    if (next_ < steps_.size()) PostMessage(kRunStep);
    steps_[current]();
    return 0;
}

Pixels RenderClient(HWND hwnd, uint32_t fill) {
    Pixels pixels;
    RECT client{};
    ::GetClientRect(hwnd, &client);
    pixels.width = client.right;
    pixels.height = client.bottom;
    if (pixels.width <= 0 || pixels.height <= 0) return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -pixels.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ombrix::ScopedMemoryDc dc(::CreateCompatibleDC(nullptr));
    ombrix::ScopedBitmap bitmap(
        ::CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr) return pixels;
    auto* words = static_cast<uint32_t*>(bits);
    const size_t count = static_cast<size_t>(pixels.width) * pixels.height;
    std::fill(words, words + count, fill);
    {
        ombrix::ScopedSelect selected(dc.Get(), bitmap.Get());
        ::SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT);
        ::GdiFlush();
    }
    pixels.data.assign(words, words + count);
    return pixels;
}

uint32_t ScreenPixel(int x, int y) {
    HDC screen = ::GetDC(nullptr);
    const COLORREF c = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return 0xFF000000u | (static_cast<uint32_t>(GetRValue(c)) << 16) |
           (static_cast<uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

RECT RectIn(HWND child, HWND parent) {
    RECT r{};
    ::GetWindowRect(child, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void Settle() {
    for (int i = 0; i < 5; ++i) ombrix::PumpPendingMessages();
}

}  // namespace uitest
