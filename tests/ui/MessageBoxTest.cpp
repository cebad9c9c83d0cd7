// The skinned message box, driven from inside its own modal loop.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "app/ScaleFactor.h"
#include "res/resource.h"
#include "ui/CSkinDialog.h"
#include "ui/CSkinMessageBox.h"
#include "ui/RunMessageBox.h"

namespace {

struct OpenBox {
    CSkinDialog* frame;
    CSkinMessageBox* box;
};

OpenBox Top() {
    if (openMessageBoxes.empty()) return {nullptr, nullptr};
    CSkinDialog* frame = openMessageBoxes.back();
    return {frame, dynamic_cast<CSkinMessageBox*>(frame->content.get())};
}

RECT Rect(int l, int t, int r, int b) {
    return RECT{l, t, r, b};
}

void ExpectRect(const RECT& expected, const RECT& actual, const char* what) {
    EXPECT_EQ(expected.left, actual.left) << what;
    EXPECT_EQ(expected.top, actual.top) << what;
    EXPECT_EQ(expected.right, actual.right) << what;
    EXPECT_EQ(expected.bottom, actual.bottom) << what;
}

void Click(CSkinButton& button) {
    button.SendMessage(BM_CLICK);
}

// The face colour of a button, away from its caption.
uint32_t Face(CSkinButton& button) {
    const uitest::Pixels p = uitest::RenderClient(button.GetSafeHwnd());
    return p.At(p.width / 2, p.height / 5);
}

class MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override { SetScaleFactorForTesting(1.0f); }
    void TearDown() override {
        SetScaleFactorForTesting(1.0f);
        EXPECT_TRUE(openMessageBoxes.empty());
    }
    int Run(const std::wstring& text, int type, int highlightSecond = 0,
            const std::wstring& first = L"", const std::wstring& second = L"",
            RECT* around = nullptr, HWND owner = nullptr) {
        script.Start();
        return RunMessageBox(text, around, first, second, highlightSecond, owner, type);
    }

    uitest::Script script;
};

struct Layout {
    float scale;
    SIZE frame;
    RECT content;  // relative to the frame
    RECT label, first, second;
};

class MessageBoxLayoutTest : public MessageBoxTest, public ::testing::WithParamInterface<Layout> {};

TEST_P(MessageBoxLayoutTest, FrameContentAndControlsSitWhereTheyBelong) {
    const Layout want = GetParam();
    SetScaleFactorForTesting(want.scale);
    script.Add([&] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        const RECT frame = top.frame->GetWindowRect();
        EXPECT_EQ(want.frame.cx, frame.right - frame.left);
        EXPECT_EQ(want.frame.cy, frame.bottom - frame.top);
        RECT content = top.box->GetWindowRect();
        ::OffsetRect(&content, -frame.left, -frame.top);
        ExpectRect(want.content, content, "content");
        const HWND box = top.box->GetSafeHwnd();
        ExpectRect(want.label, uitest::RectIn(top.box->messageLabel.GetSafeHwnd(), box), "label");
        ExpectRect(want.first, uitest::RectIn(top.box->firstButton.GetSafeHwnd(), box), "first");
        ExpectRect(want.second, uitest::RectIn(top.box->secondButton.GetSafeHwnd(), box), "second");
        EXPECT_TRUE(top.box->secondButton.IsWindowVisible());
        // The backdrop is the frame picture's pixels under the content.
        ASSERT_TRUE(top.box->backdrop);
        EXPECT_EQ(344u, top.box->backdrop->GetWidth());
        EXPECT_EQ(162u, top.box->backdrop->GetHeight());
        EXPECT_EQ(want.content.right - want.content.left, top.box->backdropWidth);
        EXPECT_EQ(L"确定", top.box->firstButton.GetWindowText());
        EXPECT_EQ(L"取消", top.box->secondButton.GetWindowText());
        EXPECT_EQ(L"layout", top.box->messageLabel.GetWindowText());
        EXPECT_FALSE(top.frame->GetExStyle() & WS_EX_APPWINDOW);
        Click(top.box->secondButton);
    });
    EXPECT_EQ(7, Run(L"layout", 1));
}

INSTANTIATE_TEST_SUITE_P(Scales, MessageBoxLayoutTest,
                         ::testing::Values(Layout{1.0f,
                                                  {384, 198},
                                                  Rect(20, 18, 364, 180),
                                                  Rect(9, 12, 305, 80),
                                                  Rect(12, 91, 149, 138),
                                                  Rect(172, 91, 309, 138)},
                                           Layout{1.5f,
                                                  {576, 297},
                                                  Rect(30, 27, 546, 270),
                                                  Rect(13, 18, 457, 120),
                                                  Rect(18, 136, 223, 207),
                                                  Rect(258, 136, 463, 207)}));

TEST_F(MessageBoxTest, SingleButtonTypesCentreTheFirstButton) {
    for (int type : {0, 16, 32, 48, 64, 0x4000}) {
        script.Add([type] {
            OpenBox top = Top();
            ASSERT_NE(nullptr, top.box);
            EXPECT_FALSE(top.box->secondButton.IsWindowVisible()) << type;
            const RECT first =
                uitest::RectIn(top.box->firstButton.GetSafeHwnd(), top.box->GetSafeHwnd());
            EXPECT_EQ(103, first.left) << type;  // (344 - 137) / 2
            EXPECT_EQ(91, first.top) << type;
            Click(top.box->firstButton);
        });
        EXPECT_EQ(1, Run(L"one button", type));
    }
    for (int type : {1, 4}) {
        script.Add([type] {
            OpenBox top = Top();
            ASSERT_NE(nullptr, top.box);
            EXPECT_TRUE(top.box->secondButton.IsWindowVisible()) << type;
            EXPECT_EQ(
                12,
                uitest::RectIn(top.box->firstButton.GetSafeHwnd(), top.box->GetSafeHwnd()).left);
            Click(top.box->secondButton);
        });
        EXPECT_EQ(7, Run(L"two buttons", type));
    }
}

TEST_F(MessageBoxTest, HighlightSecondSwapsTheOrangeAndGreyFaces) {
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        EXPECT_EQ(L"退出", top.box->firstButton.GetWindowText());
        EXPECT_EQ(L"取消", top.box->secondButton.GetWindowText());
        EXPECT_TRUE(uitest::IsGrey(Face(top.box->firstButton)));
        EXPECT_TRUE(uitest::IsOrange(Face(top.box->secondButton)));
        Click(top.box->firstButton);
    });
    EXPECT_EQ(1, Run(L"quit?", 4, 1, L"退出", L"取消"));

    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        EXPECT_TRUE(uitest::IsOrange(Face(top.box->firstButton)));
        EXPECT_TRUE(uitest::IsGrey(Face(top.box->secondButton)));
        Click(top.box->firstButton);
    });
    EXPECT_EQ(1, Run(L"retry?", 1, 0, L"重试", L"退出"));
}

TEST_F(MessageBoxTest, EnterAndEscapeAreIgnoredAndAltF4Answers2) {
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        for (HWND target : {top.box->GetSafeHwnd(), top.box->firstButton.GetSafeHwnd()}) {
            ::PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
            ::PostMessageW(target, WM_KEYDOWN, VK_ESCAPE, 1);
        }
    });
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);  // still open
        EXPECT_TRUE(top.frame->IsWindowVisible());
        EXPECT_TRUE(top.box->IsWindowVisible());
        ::PostMessageW(top.box->GetSafeHwnd(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
    });
    EXPECT_EQ(2, Run(L"keys", 1));
}

TEST_F(MessageBoxTest, NestedBoxHidesTheOuterOneUntilItIsAnswered) {
    RECT outerPlace{};
    int innerAnswer = 0;
    script.Add([&] {
        OpenBox outer = Top();
        ASSERT_NE(nullptr, outer.box);
        outerPlace = outer.frame->GetWindowRect();
        innerAnswer = outer.frame->ShowMessageBox(nullptr, L"inner", 1, L"", L"", FALSE);
        // Back in the outer box: shown again at its old place and usable.
        EXPECT_EQ(1u, openMessageBoxes.size());
        EXPECT_TRUE(outer.frame->IsWindowVisible());
        EXPECT_TRUE(outer.box->IsWindowVisible());
        EXPECT_TRUE(outer.frame->IsWindowEnabled());
        EXPECT_TRUE(outer.box->IsWindowEnabled());
        ExpectRect(outerPlace, outer.frame->GetWindowRect(), "outer frame");
        Click(outer.box->firstButton);
    });
    script.Add([&] {
        ASSERT_EQ(2u, openMessageBoxes.size());
        CSkinDialog* outerFrame = openMessageBoxes[0];
        EXPECT_FALSE(outerFrame->IsWindowVisible());
        EXPECT_FALSE(outerFrame->content->IsWindowVisible());
        OpenBox inner = Top();
        ASSERT_NE(nullptr, inner.box);
        EXPECT_TRUE(inner.frame->IsWindowVisible());
        EXPECT_EQ(L"inner", inner.box->messageLabel.GetWindowText());
        ExpectRect(outerPlace, inner.frame->GetWindowRect(), "inner centred on outer");
        Click(inner.box->secondButton);
    });
    EXPECT_EQ(1, Run(L"outer", 1));
    EXPECT_EQ(7, innerAnswer);
}

TEST_F(MessageBoxTest, DraggingTheContentMovesFrameAndContentTogether) {
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        EXPECT_EQ(1, top.box->movable);
        const RECT frameBefore = top.frame->GetWindowRect();
        ::SetCursorPos(frameBefore.left + 100, frameBefore.top + 30);
        top.box->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 12));
        ::SetCursorPos(frameBefore.left + 125, frameBefore.top + 20);
        top.box->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(105, 2));
        top.box->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(105, 2));
        const RECT frame = top.frame->GetWindowRect();
        EXPECT_EQ(frameBefore.left + 25, frame.left);
        EXPECT_EQ(frameBefore.top - 10, frame.top);
        const RECT content = top.box->GetWindowRect();
        EXPECT_EQ(frame.left + 20, content.left);
        EXPECT_EQ(frame.top + 18, content.top);

        // A drag the system cancels (another window takes the mouse) moves nothing after it.
        top.box->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(80, 12));
        top.box->SendMessage(WM_CANCELMODE, 0, 0);
        ::SetCursorPos(frameBefore.left + 200, frameBefore.top + 90);
        top.box->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(180, 80));
        EXPECT_EQ(frame.left, top.frame->GetWindowRect().left);
        EXPECT_EQ(0, top.box->dragging);
        Click(top.box->firstButton);
    });
    EXPECT_EQ(1, Run(L"drag me", 1));
}

TEST_F(MessageBoxTest, CentresOnTheGivenRectangleOrTheDesktopForADeadOwner) {
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        const RECT frame = top.frame->GetWindowRect();
        EXPECT_EQ((700 - 100) / 2 + 100 - 384 / 2, frame.left);
        EXPECT_EQ(200 + (500 - 200) / 2 - 198 / 2, frame.top);
        Click(top.box->firstButton);
    });
    EXPECT_EQ(1, Run(L"around", 0, 0, L"", L"", new RECT{100, 200, 700, 500}));

    ombrix::Window gone;
    ASSERT_TRUE(gone.CreateEx(0, L"gone", WS_POPUP, 0, 0, 10, 10, nullptr));
    const HWND dead = gone.GetSafeHwnd();
    gone.DestroyWindow();
    ASSERT_FALSE(::IsWindow(dead));
    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        EXPECT_EQ(nullptr, top.frame->GetOwner());
        RECT desktop{};
        ::GetWindowRect(::GetDesktopWindow(), &desktop);
        const RECT frame = top.frame->GetWindowRect();
        EXPECT_EQ(desktop.right / 2 - 384 / 2, frame.left);
        EXPECT_EQ(desktop.bottom / 2 - 198 / 2, frame.top);
        Click(top.box->secondButton);
    });
    EXPECT_EQ(7, Run(L"orphan", 1, 0, L"", L"", nullptr, dead));
}

// An outermost window that asks through the real box, as the launcher's background does.
class AskingBackground : public CLayeredBackgroundDialog {
  public:
    AskingBackground() : CLayeredBackgroundDialog(IDP_MESSAGE_FRAME, nullptr) {}
    int ShowMessageBox(HWND, const std::wstring& text, UINT type, const std::wstring& first,
                       const std::wstring& second, BOOL highlightSecond) override {
        return RunMessageBox(text, new RECT(GetWindowRect()), first, second, highlightSecond,
                             GetSafeHwnd(), static_cast<int>(type));
    }
    void OnQuit() override { ++quits; }
    int quits = 0;
};

TEST_F(MessageBoxTest, CloseQuestionOfAChainIsAnsweredInTheBox) {
    AskingBackground background;
    ASSERT_TRUE(background.Create());
    CDialogBase foreground(IDD_SKIN_MESSAGE_BOX, nullptr);
    ASSERT_TRUE(foreground.Create());
    foreground.SetLinkedDialog(&background);

    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        EXPECT_EQ(L"退出", top.box->firstButton.GetWindowText());
        EXPECT_EQ(L"取消", top.box->secondButton.GetWindowText());
        EXPECT_TRUE(uitest::IsOrange(Face(top.box->secondButton)));
        Click(top.box->secondButton);  // cancel: nothing closes
    });
    script.Start();
    EXPECT_EQ(1, foreground.SendMessage(WM_CLOSE));
    EXPECT_EQ(0, background.quits);

    script.Add([] {
        OpenBox top = Top();
        ASSERT_NE(nullptr, top.box);
        Click(top.box->firstButton);  // quit
    });
    script.Start();
    EXPECT_NE(1, foreground.SendMessage(WM_CLOSE));
    EXPECT_EQ(1, background.quits);
}

}  // namespace
