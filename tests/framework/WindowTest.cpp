// Attaching, dispatching and detaching window objects; deferred moves.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>

#include "framework/DeferredWindowPos.h"
#include "framework/MessageLoop.h"
#include "framework/Window.h"

namespace {

class Probe : public ombrix::Window {
  public:
    int timers = 0;
    int userMessages = 0;
    int afterDestroy = 0;
    int drawn = 0;
    LPARAM lastUserParam = 0;
    bool* gone = nullptr;

  protected:
    void OnTimer(UINT_PTR id) override {
        ++timers;
        KillTimer(id);
    }
    LRESULT OnUserMessage(UINT message, WPARAM, LPARAM lParam) override {
        ++userMessages;
        lastUserParam = lParam;
        return message == WM_APP + 1 ? 77 : 0;
    }
    void DrawItem(DRAWITEMSTRUCT*) override { ++drawn; }
    void PostNcDestroy() override {
        if (gone) *gone = true;
    }
};

TEST(Window, CreatedWindowDispatchesToHandlersAndDetachesWhenDestroyed) {
    bool gone = false;
    Probe probe;
    probe.gone = &gone;
    ASSERT_TRUE(probe.CreateEx(0, L"probe", WS_POPUP, 0, 0, 50, 50, nullptr));
    const HWND hwnd = probe.GetSafeHwnd();
    EXPECT_EQ(&probe, ombrix::Window::FromHandle(hwnd));

    EXPECT_EQ(77, probe.SendMessage(WM_APP + 1, 0, 5));
    EXPECT_EQ(5, probe.lastUserParam);
    probe.PostMessage(WM_USER + 3);
    probe.SetTimer(9, 1);
    while (probe.timers == 0 || probe.userMessages < 2) ombrix::PumpMessage();
    EXPECT_EQ(1, probe.timers);

    // Unknown messages get the default procedure.
    probe.SetWindowText(L"title");
    EXPECT_EQ(L"title", probe.GetWindowText());

    ASSERT_TRUE(probe.DestroyWindow());
    EXPECT_TRUE(gone);
    EXPECT_EQ(nullptr, probe.GetSafeHwnd());
    EXPECT_EQ(nullptr, ombrix::Window::FromHandle(hwnd));
    EXPECT_FALSE(probe.PostMessage(WM_USER + 3));  // nothing to reach
}

TEST(Window, ObjectDestroyedFirstTakesItsCreatedWindowAlong) {
    HWND hwnd = nullptr;
    {
        Probe probe;
        ASSERT_TRUE(probe.CreateEx(0, L"short", WS_POPUP, 0, 0, 10, 10, nullptr));
        hwnd = probe.GetSafeHwnd();
    }
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST(Window, SubclassedControlOutlivedByItsWindowKeepsWorking) {
    Probe parent;
    ASSERT_TRUE(parent.CreateEx(0, L"parent", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr));
    HWND button =
        ::CreateWindowExW(0, L"BUTTON", L"b", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, 0, 40, 20,
                          parent.GetSafeHwnd(), reinterpret_cast<HMENU>(5), nullptr, nullptr);
    ASSERT_NE(nullptr, button);
    const auto original = ::GetWindowLongPtrW(button, GWLP_WNDPROC);
    {
        Probe control;
        ASSERT_TRUE(control.SubclassDlgItem(5, &parent));
        EXPECT_FALSE(Probe().Subclass(button));  // one object per window
        // The parent reflects owner drawing to the control object.
        ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GE(control.drawn, 1);
    }
    EXPECT_EQ(original, ::GetWindowLongPtrW(button, GWLP_WNDPROC));
    EXPECT_EQ(nullptr, ombrix::Window::FromHandle(button));
    ::SetWindowTextW(button, L"still fine");
    ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

TEST(Window, SubclassOfMissingWindowFails) {
    Probe probe;
    EXPECT_FALSE(probe.Subclass(nullptr));
    EXPECT_FALSE(probe.SubclassDlgItem(5, nullptr));
    EXPECT_FALSE(probe.ShowWindow(SW_SHOW));
    const RECT r = probe.GetWindowRect();
    EXPECT_EQ(0, r.right - r.left);
}

TEST(DeferredWindowPos, MovesWindowsTogetherAndSkipsDeadOnes) {
    Probe a, b, dead;
    ASSERT_TRUE(a.CreateEx(0, L"a", WS_POPUP, 0, 0, 30, 30, nullptr));
    ASSERT_TRUE(b.CreateEx(0, L"b", WS_POPUP, 0, 0, 30, 30, nullptr));
    ASSERT_TRUE(dead.CreateEx(0, L"dead", WS_POPUP, 0, 0, 30, 30, nullptr));
    const HWND deadHandle = dead.GetSafeHwnd();
    dead.DestroyWindow();
    {
        ombrix::DeferredWindowPos batch(3);
        EXPECT_TRUE(batch.Move(a.GetSafeHwnd(), 120, 130));
        EXPECT_TRUE(batch.Move(deadHandle, 1, 1));
        EXPECT_TRUE(batch.Move(b.GetSafeHwnd(), 220, 230));
        EXPECT_EQ(0, a.GetWindowRect().left);  // not before the batch is applied
    }
    EXPECT_EQ(120, a.GetWindowRect().left);
    EXPECT_EQ(130, a.GetWindowRect().top);
    EXPECT_EQ(220, b.GetWindowRect().left);
    EXPECT_EQ(30, b.GetWindowRect().right - b.GetWindowRect().left);
}

}  // namespace
