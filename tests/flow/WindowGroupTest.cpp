// The main window group as start-up builds it: host, background and foreground, their
// placement at two scale factors, moving, hiding and a question answered by a click.
#include <gtest/gtest.h>

#include "FlowTestSupport.h"
#include "app/ScaleFactor.h"
#include "flow/CFlashDialog.h"
#include "flow/CNewOmbrixMainBackgroundDialog.h"
#include "flow/CNewOmbrixMainForegroundDialog.h"
#include "framework/MessageLoop.h"
#include "res/resource.h"
#include "ui/CSkinDialog.h"
#include "ui/RunMessageBox.h"

namespace {

::testing::Environment* const kGdiplus =
    ::testing::AddGlobalTestEnvironment(new GdiplusEnvironment);

RECT ClientRectIn(HWND control, HWND parent) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class WindowGroupTest : public ::testing::Test {
  protected:
    void SetUp() override { services.gameRunning = true; }  // the flow stays put

    // Creates the host and shows it the way the modal run does; its first paint brings the
    // foreground.
    void OpenGroup(float scale) {
        SetScaleFactorForTesting(scale);
        ASSERT_TRUE(host.Create(IDD_FLASH, nullptr));
        ASSERT_NE(nullptr, host.background);
        background = host.background;
        // Before the host is painted, nothing of the launcher can be seen.
        EXPECT_EQ(nullptr, background->foreground);
        EXPECT_EQ(0, background->alpha);

        host.ShowWindow(SW_SHOWNORMAL);
        for (int i = 0; i < 200 && background->foreground == nullptr; ++i) {
            ombrix::PumpPendingMessages();
            ::Sleep(10);
        }
        ASSERT_NE(nullptr, background->foreground);
        foreground = dynamic_cast<CNewOmbrixMainForegroundDialog*>(background->foreground);
        ASSERT_NE(nullptr, foreground);
        ombrix::PumpPendingMessages();
    }

    void ExpectGroupAt(const RECT& bg, int fgX, int fgY, int fgW, int fgH) {
        const RECT f = foreground->GetWindowRect();
        EXPECT_EQ(bg.left + fgX, f.left);
        EXPECT_EQ(bg.top + fgY, f.top);
        EXPECT_EQ(fgW, f.right - f.left);
        EXPECT_EQ(fgH, f.bottom - f.top);
        const RECT h = host.GetWindowRect();
        EXPECT_EQ(bg.left, h.left);
        EXPECT_EQ(bg.top, h.top);
    }

    FakeFlowServices services;
    ScopedFlowServices installed{&services};
    CFlashDialog host{IDD_FLASH, nullptr};
    CNewOmbrixMainBackgroundDialog* background = nullptr;
    CNewOmbrixMainForegroundDialog* foreground = nullptr;
};

TEST_F(WindowGroupTest, OpensLaidOutOverTheArtwork) {
    OpenGroup(1.0f);
    EXPECT_TRUE(background->IsWindowVisible());
    EXPECT_TRUE(foreground->IsWindowVisible());
    EXPECT_EQ(255, background->alpha);
    EXPECT_EQ(1, host.backgroundCreated);
    EXPECT_EQ(background->GetSafeHwnd(), foreground->GetOwner());
    EXPECT_EQ(host.GetSafeHwnd(), background->GetOwner());

    const RECT bg = background->GetWindowRect();
    EXPECT_EQ(780, bg.right - bg.left);
    EXPECT_EQ(340, bg.bottom - bg.top);
    ExpectGroupAt(bg, 88, 50, 670, 255);

    // The backdrop is the artwork under the foreground.
    ASSERT_TRUE(foreground->backdrop);
    EXPECT_EQ(670u, foreground->backdrop->GetWidth());
    EXPECT_EQ(255u, foreground->backdrop->GetHeight());
    EXPECT_EQ(670, foreground->backdropWidth);

    // Controls at their design places; the status line overlaps the lower part of the bar.
    const HWND fg = foreground->GetSafeHwnd();
    const RECT status = ClientRectIn(foreground->statusLabel.GetSafeHwnd(), fg);
    EXPECT_EQ(20, status.left);
    EXPECT_EQ(210, status.top);
    EXPECT_EQ(542, status.right);
    EXPECT_EQ(228, status.bottom);
    const RECT bar = ClientRectIn(foreground->progressBar.GetSafeHwnd(), fg);
    EXPECT_EQ(22, bar.left);
    EXPECT_EQ(202, bar.top);
    EXPECT_EQ(538, bar.right);
    const RECT group = ClientRectIn(foreground->groupButton.GetSafeHwnd(), fg);
    EXPECT_EQ(542, group.left);
    EXPECT_EQ(182, group.top);
    EXPECT_EQ(682, group.right);
    EXPECT_EQ(222, group.bottom);

    // The window shape: inside the tab, outside beyond its point.
    HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(fg, shape));
    EXPECT_TRUE(::PtInRegion(shape, 650, 200));
    EXPECT_FALSE(::PtInRegion(shape, 650, 230));
    EXPECT_FALSE(::PtInRegion(shape, 660, 100));
    ::DeleteObject(shape);

    EXPECT_EQ(L"游戏初始化中...", foreground->statusLabel.GetWindowText());
    EXPECT_FALSE(foreground->tipsLabel.GetWindowText().empty());
}

TEST_F(WindowGroupTest, DoubleScaleDoublesTheGroupButNotTheArtworkPiece) {
    OpenGroup(2.0f);
    const RECT bg = background->GetWindowRect();
    EXPECT_EQ(1560, bg.right - bg.left);
    EXPECT_EQ(680, bg.bottom - bg.top);
    ExpectGroupAt(bg, 176, 100, 1340, 510);
    ASSERT_TRUE(foreground->backdrop);
    EXPECT_EQ(670u, foreground->backdrop->GetWidth());
    EXPECT_EQ(255u, foreground->backdrop->GetHeight());
    EXPECT_EQ(1340, foreground->backdropWidth);
    EXPECT_EQ(510, foreground->backdropHeight);
    SetScaleFactorForTesting(1.0f);
}

TEST_F(WindowGroupTest, MovesHidesAndShowsAsOne) {
    OpenGroup(1.0f);
    const RECT before = background->GetWindowRect();
    background->MoveBy(37, -12);
    ombrix::PumpPendingMessages();
    const RECT after = background->GetWindowRect();
    EXPECT_EQ(before.left + 37, after.left);
    EXPECT_EQ(before.top - 12, after.top);
    ExpectGroupAt(after, 88, 50, 670, 255);

    // Moving the background by other means: the others follow.
    background->MoveTo(after.left + 5, after.top + 6);
    ombrix::PumpPendingMessages();
    ExpectGroupAt(background->GetWindowRect(), 88, 50, 670, 255);

    background->ShowAll(SW_HIDE);
    EXPECT_FALSE(background->IsWindowVisible());
    EXPECT_FALSE(foreground->IsWindowVisible());
    background->ShowAll(SW_SHOW);
    EXPECT_TRUE(background->IsWindowVisible());
    EXPECT_TRUE(foreground->IsWindowVisible());
}

// Answers the open box with one of its buttons, noting whether the main windows were
// disabled and what the box said.
struct ClickState {
    HWND background;
    HWND foreground;
    int buttonId = IDC_FIRST_BUTTON;
    bool sawDisabled = false;
    bool clicked = false;
    std::wstring text;
};
ClickState* g_click = nullptr;

void CALLBACK ClickFirstButton(HWND, UINT, UINT_PTR id, DWORD) {
    if (g_click == nullptr || g_click->clicked || openMessageBoxes.empty()) return;
    CSkinDialog* box = openMessageBoxes.back();
    if (!box->content || !box->content->Exists()) return;
    g_click->sawDisabled =
        !::IsWindowEnabled(g_click->background) && !::IsWindowEnabled(g_click->foreground);
    g_click->clicked = true;
    wchar_t text[256] = {};
    ::GetWindowTextW(box->content->GetDlgItem(IDC_MESSAGE_LABEL), text, 256);
    g_click->text = text;
    ::KillTimer(nullptr, id);
    const HWND button = box->content->GetDlgItem(g_click->buttonId);
    ::SetCapture(button);  // as the player's press on it does
    box->content->PostMessage(WM_COMMAND, MAKEWPARAM(g_click->buttonId, BN_CLICKED),
                              reinterpret_cast<LPARAM>(button));
}

// Runs the posted messages until the box has been answered (or a few seconds passed).
void PumpUntilClicked(const ClickState& click) {
    for (int i = 0; i < 300 && !click.clicked; ++i) {
        ombrix::PumpPendingMessages();
        ::Sleep(10);
    }
    ombrix::PumpPendingMessages();
}

TEST_F(WindowGroupTest, QuestionsOfTheForegroundAreAskedByTheBackground) {
    OpenGroup(1.0f);
    ClickState click{background->GetSafeHwnd(), foreground->GetSafeHwnd()};
    g_click = &click;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ClickFirstButton);
    const int answer =
        foreground->ShowMessageBox(nullptr, L"比对服务器资源失败!", 1, L"重试", L"退出", FALSE);
    ::KillTimer(nullptr, timer);
    g_click = nullptr;
    EXPECT_TRUE(click.clicked);
    EXPECT_TRUE(click.sawDisabled);
    EXPECT_EQ(1, answer);
    EXPECT_TRUE(background->IsWindowEnabled());
    EXPECT_TRUE(foreground->IsWindowEnabled());
    EXPECT_TRUE(openMessageBoxes.empty());
}

// The player holds the button on a window when a question comes; the button goes up during
// it and the answer's click takes the mouse. Afterwards no mouse move, with the button or
// without, moves the group.
TEST_F(WindowGroupTest, QuestionDuringADragEndsTheDrag) {
    OpenGroup(1.0f);
    for (ombrix::Window* window :
         {static_cast<ombrix::Window*>(foreground), static_cast<ombrix::Window*>(background),
          static_cast<ombrix::Window*>(&host)}) {
        const RECT before = background->GetWindowRect();
        ::SetCursorPos(before.left + 300, before.top + 150);
        window->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
        ASSERT_TRUE(window->HasCapture());
        ClickState click{background->GetSafeHwnd(), foreground->GetSafeHwnd()};
        g_click = &click;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ClickFirstButton);
        foreground->ShowMessageBox(nullptr, L"比对服务器资源失败!", 1, L"重试", L"退出", FALSE);
        ::KillTimer(nullptr, timer);
        g_click = nullptr;
        ASSERT_TRUE(click.clicked);

        ::SetCursorPos(before.left + 460, before.top + 230);
        window->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(170, 90));
        ::SetCursorPos(before.left + 520, before.top + 260);
        window->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(230, 120));
        ombrix::PumpPendingMessages();
        const RECT after = background->GetWindowRect();
        EXPECT_EQ(before.left, after.left);
        EXPECT_EQ(before.top, after.top);
        ExpectGroupAt(after, 88, 50, 670, 255);
    }

    // A drag whose button is up without the window hearing it ends at the first move.
    const RECT before = background->GetWindowRect();
    ::SetCursorPos(before.left + 300, before.top + 150);
    foreground->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    ::SetCursorPos(before.left + 310, before.top + 155);
    foreground->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(20, 15));
    ::SetCursorPos(before.left + 400, before.top + 200);
    foreground->SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(110, 60));
    foreground->SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 60));
    ombrix::PumpPendingMessages();
    EXPECT_EQ(before.left + 10, background->GetWindowRect().left);
    EXPECT_EQ(before.top + 5, background->GetWindowRect().top);
    EXPECT_FALSE(foreground->HasCapture());
}

TEST_F(WindowGroupTest, CloseButtonAsksAndQuitsOnlyWhenConfirmed) {
    OpenGroup(1.0f);
    ClickState click{background->GetSafeHwnd(), foreground->GetSafeHwnd(), IDC_SECOND_BUTTON};
    g_click = &click;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &ClickFirstButton);
    foreground->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED), 0);
    PumpUntilClicked(click);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(click.clicked);
    EXPECT_FALSE(click.text.empty());  // one of the exit tips
    EXPECT_EQ(0, services.saves);
    EXPECT_EQ(0, services.ends);
    EXPECT_TRUE(background->IsWindowVisible());

    click = ClickState{background->GetSafeHwnd(), foreground->GetSafeHwnd(), IDC_FIRST_BUTTON};
    timer = ::SetTimer(nullptr, 0, 50, &ClickFirstButton);
    foreground->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_CLOSE_BUTTON, BN_CLICKED), 0);
    PumpUntilClicked(click);
    ::KillTimer(nullptr, timer);
    g_click = nullptr;
    EXPECT_TRUE(click.clicked);
    EXPECT_EQ(1, services.saves);  // "version.txt" kept, downloads stopped
    EXPECT_EQ(1, services.ends);
}

// The answering tool of the end-to-end tests, run as its own process next to this one.
TEST_F(WindowGroupTest, AnsweringToolClicksTheAskedButton) {
    OpenGroup(1.0f);
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring tool = module;
    tool = tool.substr(0, tool.rfind(L'\\') + 1) + L"OmbrixAnswer.exe";
    std::wstring commandLine = L"\"" + tool + L"\" --timeout 20000 2 比对服务器";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(tool.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process));
    const int answer =
        foreground->ShowMessageBox(nullptr, L"比对服务器资源失败!", 1, L"重试", L"退出", FALSE);
    ::WaitForSingleObject(process.hProcess, 20000);
    DWORD exitCode = 99;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(7, answer);
    EXPECT_EQ(0u, exitCode);
}

}  // namespace
