// The per-pixel-alpha window: size from the artwork and the scale, what the screen shows
// through it, dragging, and a missing picture.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "UiTestSupport.h"
#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "framework/ScopedHandle.h"
#include "res/resource.h"
#include "ui/CLayeredBackgroundDialog.h"

namespace {

class DragProbe : public CLayeredBackgroundDialog {
  public:
    explicit DragProbe(int resource = IDP_MESSAGE_FRAME)
        : CLayeredBackgroundDialog(resource, nullptr) {}
    void MoveBy(int dx, int dy) override { moves.push_back({dx, dy}); }
    std::vector<POINT> moves;
};

// A plain opaque window of one colour, under the layered window.
class SolidWindow : public ombrix::Window {
  public:
    explicit SolidWindow(COLORREF colour) : brush_(::CreateSolidBrush(colour)) {}

  protected:
    BOOL OnEraseBkgnd(HDC dc) override {
        const RECT r = GetClientRect();
        ::FillRect(dc, &r, brush_.Get());
        return TRUE;
    }
    void OnPaint() override {
        PAINTSTRUCT ps;
        ::BeginPaint(GetSafeHwnd(), &ps);
        ::EndPaint(GetSafeHwnd(), &ps);
    }

  private:
    ombrix::ScopedBrush brush_;
};

TEST(LayeredWindow, SizeIsThePictureTimesTheScaleFactor) {
    SetScaleFactorForTesting(1.5f);
    DragProbe window;
    EXPECT_EQ(576, window.width);
    EXPECT_EQ(297, window.height);
    ASSERT_TRUE(window.Create());
    const RECT r = window.GetWindowRect();
    EXPECT_EQ(576, r.right - r.left);
    EXPECT_EQ(297, r.bottom - r.top);
    EXPECT_TRUE(window.GetExStyle() & WS_EX_LAYERED);
    SetScaleFactorForTesting(1.0f);
}

TEST(LayeredWindow, ScreenShowsTheDesktopWhereThePictureIsTransparent) {
    SetScaleFactorForTesting(1.0f);
    SolidWindow below(RGB(0, 200, 0));
    ASSERT_TRUE(below.CreateEx(WS_EX_TOOLWINDOW, L"below", WS_POPUP | WS_VISIBLE, 40, 40, 500, 320,
                               nullptr));
    DragProbe window;
    ASSERT_TRUE(window.Create());
    window.MoveTo(80, 70);
    window.UpdateLayered();
    uitest::Settle();
    ::Sleep(150);  // let the display server catch up with the new window contents
    uitest::Settle();

    // Pick a transparent and an opaque pixel from the picture itself.
    std::unique_ptr<Gdiplus::Bitmap> png(LoadPngBitmap(IDP_MESSAGE_FRAME, 0, 0, 0, 0));
    ASSERT_EQ(Gdiplus::Ok, png->GetLastStatus());
    Gdiplus::Color clear, solid;
    int clearX = 0;
    for (; clearX < 40; ++clearX) {
        png->GetPixel(clearX, 0, &clear);
        if (clear.GetA() == 0) break;
    }
    png->GetPixel(192, 99, &solid);
    ASSERT_EQ(0, clear.GetA());
    ASSERT_EQ(255, solid.GetA());

    const uint32_t throughCorner = uitest::ScreenPixel(80 + clearX, 70);
    EXPECT_EQ(0, uitest::Red(throughCorner));
    EXPECT_EQ(200, uitest::Green(throughCorner));
    const uint32_t centre = uitest::ScreenPixel(80 + 192, 70 + 99);
    EXPECT_NEAR(solid.GetR(), uitest::Red(centre), 3);
    EXPECT_NEAR(solid.GetG(), uitest::Green(centre), 3);
    EXPECT_NEAR(solid.GetB(), uitest::Blue(centre), 3);
}

TEST(LayeredWindow, DragMovesByTheCursorTravelOnly) {
    SetScaleFactorForTesting(1.0f);
    DragProbe window;
    ASSERT_TRUE(window.Create());
    window.MoveTo(100, 100);
    ::SetCursorPos(200, 150);
    window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50));
    EXPECT_EQ(1, window.dragging);
    window.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(100, 50));
    EXPECT_TRUE(window.moves.empty());  // a click without a move moves nothing

    window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 50));
    ::SetCursorPos(230, 162);
    window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 62));
    ::SetCursorPos(225, 170);
    window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(125, 70));
    window.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(125, 70));
    ::SetCursorPos(400, 400);
    window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(300, 300));  // released: no drag
    ASSERT_EQ(2u, window.moves.size());
    EXPECT_EQ(30, window.moves[0].x);
    EXPECT_EQ(12, window.moves[0].y);
    EXPECT_EQ(-5, window.moves[1].x);
    EXPECT_EQ(8, window.moves[1].y);
    EXPECT_EQ(0, window.dragging);
    EXPECT_FALSE(window.HasCapture());
}

TEST(LayeredWindow, MissingPictureGivesAnEmptyWindowWithoutFailing) {
    SetScaleFactorForTesting(1.0f);
    DragProbe window(999);
    EXPECT_EQ(0, window.width);
    EXPECT_EQ(0, window.height);
    window.UpdateLayered();  // before the window exists: nothing
    ASSERT_TRUE(window.Create());
    window.UpdateLayered();
    EXPECT_EQ(0, window.updating);
}

}  // namespace
