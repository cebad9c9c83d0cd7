// Close routing along linked windows, the keyboard filter and the exit tips.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "app/ScaleFactor.h"
#include "framework/MessageLoop.h"
#include "res/resource.h"
#include "ui/CDialogBase.h"

namespace {

struct Question {
    std::wstring text;
    UINT type;
    std::wstring first;
    std::wstring second;
    BOOL highlightSecond;
};

// A window of a chain that records what reaches it; as the outermost window it answers
// questions from a list instead of showing a box.
class RecordingDialog : public CDialogBase {
  public:
    RecordingDialog(const char* name, std::vector<std::string>* quits)
        : CDialogBase(IDD_LAYERED_BACKGROUND, nullptr), name_(name), quits_(quits) {}

    int ShowMessageBox(HWND owner, const std::wstring& text, UINT type, const std::wstring& first,
                       const std::wstring& second, BOOL highlightSecond) override {
        if (linkedDialog != nullptr)
            return CDialogBase::ShowMessageBox(owner, text, type, first, second, highlightSecond);
        questions.push_back({text, type, first, second, highlightSecond});
        return answer;
    }
    void OnQuit() override { quits_->push_back(name_); }

    std::vector<Question> questions;
    int answer = 7;

  private:
    const char* name_;
    std::vector<std::string>* quits_;
};

class DialogBaseTest : public ::testing::Test {
  protected:
    void SetUp() override {
        SetScaleFactorForTesting(1.0f);
        ASSERT_TRUE(outer.Create());
        ASSERT_TRUE(middle.Create());
        ASSERT_TRUE(inner.Create());
        middle.SetLinkedDialog(&outer);
        inner.SetLinkedDialog(&middle);
    }
    LRESULT CloseInner() { return inner.SendMessage(WM_CLOSE); }

    std::vector<std::string> quits;
    RecordingDialog outer{"outer", &quits};
    RecordingDialog middle{"middle", &quits};
    RecordingDialog inner{"inner", &quits};
};

bool IsExitTip(const std::wstring& text) {
    const wchar_t* tips[] = {
        L"万人同服，震撼全世界！可以再等等…",  L"真实战斗场景！值得你的等待~",
        L"不再等等了吗… 纯3D特效战争场景哦！", L"玩命下载，很快的，您可以喝杯茶再等等~",
        L"无尽的战争，搞笑的战斗，值得拥有！", L"说什么好呢……还是再等等吧！"};
    for (const wchar_t* tip : tips)
        if (text == tip) return true;
    return false;
}

TEST_F(DialogBaseTest, CloseOnInnerWindowAsksOnceAtTheOutermostAndCancelKeepsAllOpen) {
    outer.answer = 7;
    EXPECT_TRUE(outer.exitTips.empty());
    EXPECT_EQ(1, CloseInner());

    ASSERT_EQ(1u, outer.questions.size());
    EXPECT_TRUE(middle.questions.empty());
    EXPECT_TRUE(inner.questions.empty());
    const Question& q = outer.questions[0];
    EXPECT_TRUE(IsExitTip(q.text));
    EXPECT_EQ(4u, q.type);
    EXPECT_EQ(L"退出", q.first);
    EXPECT_EQ(L"取消", q.second);
    EXPECT_TRUE(q.highlightSecond);
    EXPECT_EQ(6u, outer.exitTips.size());
    EXPECT_TRUE(quits.empty());
    uitest::Settle();
    EXPECT_TRUE(inner.IsWindowVisible());
    EXPECT_TRUE(middle.IsWindowVisible());
    EXPECT_TRUE(outer.IsWindowVisible());
}

TEST_F(DialogBaseTest, AcceptedCloseRunsOnQuitFromTheOutermostInward) {
    outer.answer = 1;
    EXPECT_NE(1, CloseInner());
    EXPECT_EQ((std::vector<std::string>{"outer", "middle", "inner"}), quits);
    EXPECT_EQ(1u, outer.questions.size());
}

TEST_F(DialogBaseTest, FlagOfTheWindowWhereTheRequestArrivesDecides) {
    // Cleared on the innermost window: no question anywhere, and the flag travels outward.
    inner.SetConfirmClose(0);
    EXPECT_EQ(0, outer.confirmClose);
    outer.answer = 7;  // would refuse, but is never asked
    CloseInner();
    EXPECT_TRUE(outer.questions.empty());
    EXPECT_EQ(3u, quits.size());
}

TEST_F(DialogBaseTest, ClearingOnlyTheOutermostFlagDoesNotStopTheQuestion) {
    outer.confirmClose = 0;
    outer.answer = 7;
    EXPECT_EQ(1, CloseInner());
    EXPECT_EQ(1u, outer.questions.size());
    EXPECT_EQ(1, outer.confirmClose);  // copied outward from the inner window
}

TEST_F(DialogBaseTest, QuestionsShowAndFrontAreForwardedToTheOutermost) {
    outer.answer = 7;
    EXPECT_EQ(7, inner.ShowMessageBox(nullptr, L"text", 1, L"a", L"b", FALSE));
    ASSERT_EQ(1u, outer.questions.size());
    EXPECT_EQ(L"text", outer.questions[0].text);
    inner.ShowAll(SW_HIDE);
    EXPECT_FALSE(outer.IsWindowVisible());
    EXPECT_TRUE(inner.IsWindowVisible());
    inner.ShowAll(SW_SHOW);
    EXPECT_TRUE(outer.IsWindowVisible());

    CDialogBase alone(IDD_LAYERED_BACKGROUND, nullptr);  // no box of its own, nobody to ask
    EXPECT_EQ(1, alone.ShowMessageBox(nullptr, L"nobody to ask", 4, L"", L"", FALSE));
}

TEST_F(DialogBaseTest, EnterEscapeAndCtrlBreakNeverReachTheDialog) {
    for (WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}, WPARAM{VK_CANCEL}}) {
        MSG msg{inner.GetSafeHwnd(), WM_KEYDOWN, key, 1, 0, {0, 0}};
        EXPECT_TRUE(inner.PreTranslateMessage(&msg));
        inner.PostMessage(WM_KEYDOWN, key, 1);
    }
    uitest::Settle();
    EXPECT_TRUE(inner.IsWindowVisible());
    EXPECT_TRUE(outer.questions.empty());
    MSG other{inner.GetSafeHwnd(), WM_KEYDOWN, 'A', 1, 0, {0, 0}};
    inner.PreTranslateMessage(&other);  // goes on to dialog navigation, no crash
}

TEST(DialogBaseWithoutWindow, MovesAndCentringDoNothing) {
    std::vector<std::string> quits;
    RecordingDialog never{"never", &quits};
    never.MoveTo(10, 10);
    never.MoveAndResize(10, 10, 100, 100);
    never.CenterOnDesktop();
    EXPECT_EQ(nullptr, never.GetSafeHwnd());
}

TEST(DialogBaseTips, EveryDrawIsOneOfTheSixTips) {
    std::vector<std::string> quits;
    RecordingDialog dialog{"tips", &quits};
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(IsExitTip(dialog.GetRandomExitTip()));
    EXPECT_EQ(6u, dialog.exitTips.size());
}

}  // namespace
