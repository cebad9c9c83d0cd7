// The owner-drawn label, progress bar and image button, read back from their drawing.
#include <gtest/gtest.h>

#include <memory>

#include "UiTestSupport.h"
#include "app/PngResource.h"
#include "app/ScaleFactor.h"
#include "res/resource.h"
#include "ui/CCustomLabel.h"
#include "ui/CCustomProgress.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinUIDialog.h"

namespace {

class ControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetScaleFactorForTesting(1.0f);
        ASSERT_TRUE(host.Create());
        host.MoveAndResize(50, 50, 600, 200);
        host.ShowWindow(SW_SHOW);
    }
    void TearDown() override { SetScaleFactorForTesting(1.0f); }
    static void Place(ombrix::Window& control, int x, int y, int w, int h) {
        control.SetWindowPos(nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    CSkinUIDialog host{IDD_SKIN_MESSAGE_BOX, nullptr};
};

// Bounding box of the pixels brighter than the black background.
RECT InkBox(const uitest::Pixels& p) {
    RECT box{p.width, p.height, -1, -1};
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            if (uitest::Red(p.At(x, y)) > 100) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

uint32_t PngPixel(int resource, int x, int y) {
    std::unique_ptr<Gdiplus::Bitmap> png(LoadPngBitmap(static_cast<WORD>(resource), 0, 0, 0, 0));
    Gdiplus::Color c;
    png->GetPixel(x, y, &c);
    return c.GetValue();
}

void ExpectColourNear(uint32_t expected, uint32_t actual, int tolerance) {
    EXPECT_NEAR(uitest::Red(expected), uitest::Red(actual), tolerance);
    EXPECT_NEAR(uitest::Green(expected), uitest::Green(actual), tolerance);
    EXPECT_NEAR(uitest::Blue(expected), uitest::Blue(actual), tolerance);
}

TEST_F(ControlsTest, LabelCentresItsTextAndScalesItsEmSize) {
    CCustomLabel label;
    ASSERT_TRUE(label.SubclassDlgItem(IDC_MESSAGE_LABEL, &host));
    EXPECT_EQ(static_cast<DWORD>(SS_OWNERDRAW), label.GetStyle() & SS_TYPEMASK);
    label.horizontalAlign = 1;
    label.verticalAlign = 1;
    label.SetText(L"田田田田");

    Place(label, 0, 0, 200, 40);
    RECT ink = InkBox(uitest::RenderClient(label.GetSafeHwnd(), 0xFF000000));
    ASSERT_GT(ink.right, ink.left);
    EXPECT_NEAR(ink.left, 200 - ink.right, 2);
    EXPECT_NEAR(ink.top, 40 - ink.bottom, 3);
    const int widthAtOne = ink.right - ink.left;
    EXPECT_GE(widthAtOne, 30);  // four glyphs of em 10
    EXPECT_LE(widthAtOne, 41);

    // Still centred after a resize.
    Place(label, 0, 0, 320, 70);
    ink = InkBox(uitest::RenderClient(label.GetSafeHwnd(), 0xFF000000));
    EXPECT_NEAR(ink.left, 320 - ink.right, 2);
    EXPECT_NEAR(ink.top, 70 - ink.bottom, 3);

    // Size 10 at scale 1.25 is drawn with em 12.5.
    SetScaleFactorForTesting(1.25f);
    ink = InkBox(uitest::RenderClient(label.GetSafeHwnd(), 0xFF000000));
    const int widthAtScale = ink.right - ink.left;
    EXPECT_NEAR(1.25, static_cast<double>(widthAtScale) / widthAtOne, 0.1);
    EXPECT_LE(widthAtScale, 51);
}

TEST_F(ControlsTest, ProgressRevealsTheLeftFractionOfTheGradient) {
    CCustomProgress bar;
    ASSERT_TRUE(bar.SubclassDlgItem(IDC_MESSAGE_LABEL, &host));
    bar.LoadFillImage();
    EXPECT_EQ(520, bar.fillImageWidth);
    EXPECT_EQ(6, bar.fillImageHeight);
    Place(bar, 0, 0, 520, 6);
    const uint32_t marker = 0xFF00FF00;

    bar.progress = 0.0f;
    uitest::Pixels p = uitest::RenderClient(bar.GetSafeHwnd(), marker);
    for (int x = 0; x < 520; x += 37) EXPECT_EQ(marker, p.At(x, 3) | 0xFF000000u) << x;

    bar.progress = 1.0f;
    p = uitest::RenderClient(bar.GetSafeHwnd(), marker);
    ExpectColourNear(PngPixel(IDP_PROGRESS_FILL, 2, 3), p.At(2, 3), 8);
    ExpectColourNear(PngPixel(IDP_PROGRESS_FILL, 517, 3), p.At(517, 3), 8);

    bar.progress = 0.5f;
    p = uitest::RenderClient(bar.GetSafeHwnd(), marker);
    ExpectColourNear(PngPixel(IDP_PROGRESS_FILL, 100, 3), p.At(100, 3), 8);
    ExpectColourNear(PngPixel(IDP_PROGRESS_FILL, 250, 3), p.At(250, 3), 8);
    EXPECT_EQ(marker, p.At(300, 3) | 0xFF000000u);
    EXPECT_EQ(marker, p.At(519, 3) | 0xFF000000u);
}

TEST_F(ControlsTest, ButtonPictureFollowsHoverPressAndLeave) {
    CSkinButton button;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_FIRST_BUTTON, &host));
    EXPECT_EQ(static_cast<DWORD>(BS_OWNERDRAW), button.GetStyle() & BS_TYPEMASK);
    button.SetWindowText(L"");
    button.SetImages(IDP_ORANGE_BUTTON, IDP_ORANGE_BUTTON_HOVER);
    Place(button, 10, 10, 136, 48);
    const uint32_t normal = PngPixel(IDP_ORANGE_BUTTON, 68, 30);
    const uint32_t highlight = PngPixel(IDP_ORANGE_BUTTON_HOVER, 68, 30);
    auto shown = [&] { return uitest::RenderClient(button.GetSafeHwnd()).At(68, 30); };

    EXPECT_EQ(CSkinButton::kNormal, button.buttonState);
    ExpectColourNear(normal, shown(), 6);

    const RECT r = button.GetWindowRect();
    ::SetCursorPos(r.left + 20, r.top + 20);
    button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(CSkinButton::kHover, button.buttonState);
    ExpectColourNear(highlight, shown(), 6);

    button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_EQ(CSkinButton::kPressed, button.buttonState);
    ExpectColourNear(highlight, shown(), 6);

    // Off the button while pressed: the leave notification gives the normal picture.
    ::SetCursorPos(r.right + 80, r.bottom + 80);
    button.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 100));
    EXPECT_EQ(CSkinButton::kPressed, button.buttonState);
    button.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(CSkinButton::kNormal, button.buttonState);
    EXPECT_EQ(0, button.tracking);
    ExpectColourNear(normal, shown(), 6);
    button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(200, 100));
    EXPECT_EQ(CSkinButton::kNormal, button.buttonState);

    // The hover notification also turns a normal button to hover.
    button.SendMessage(WM_MOUSEHOVER, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(CSkinButton::kHover, button.buttonState);
    uitest::Settle();
}

TEST_F(ControlsTest, ButtonWithoutPicturesDrawsNothing) {
    CSkinButton button;
    ASSERT_TRUE(button.SubclassDlgItem(IDC_SECOND_BUTTON, &host));
    button.SetImages(998, 997);
    Place(button, 10, 10, 136, 48);
    const uitest::Pixels p = uitest::RenderClient(button.GetSafeHwnd(), 0xFF123456);
    for (int x = 0; x < 136; x += 15) EXPECT_EQ(0xFF123456u, p.At(x, 24) | 0xFF000000u);
}

}  // namespace
