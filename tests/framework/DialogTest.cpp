// Dialogs from templates: modeless and modal runs, the modal loop, ending and closing.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>

#include "FrameworkTestIds.h"
#include "framework/ButtonControl.h"
#include "framework/Dialog.h"
#include "framework/MessageLoop.h"

namespace {

class TestDialog : public ombrix::Dialog {
  public:
    TestDialog() : Dialog(IDD_TEST, nullptr) {}
    std::function<void(TestDialog&)> onInit;
    std::function<void(TestDialog&, UINT_PTR)> onTimer;
    std::function<void(TestDialog&, UINT)> onUser;
    ombrix::ButtonControl button;
    int initCount = 0;
    bool boundInExchange = false;

  protected:
    void DoDataExchange() override {
        boundInExchange = button.SubclassDlgItem(IDC_TEST_BUTTON, this);
    }
    BOOL OnInitDialog() override {
        Dialog::OnInitDialog();
        ++initCount;
        if (onInit) onInit(*this);
        return TRUE;
    }
    void OnTimer(UINT_PTR id) override {
        if (onTimer) onTimer(*this, id);
    }
    LRESULT OnUserMessage(UINT message, WPARAM, LPARAM) override {
        if (onUser) onUser(*this, message);
        return 0;
    }
};

TEST(Dialog, ModelessCreationRunsInitialisationAndBindsControls) {
    TestDialog dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ(1, dialog.initCount);
    EXPECT_TRUE(dialog.boundInExchange);
    EXPECT_EQ(dialog.GetDlgItem(IDC_TEST_BUTTON), dialog.button.GetSafeHwnd());
    EXPECT_FALSE(dialog.Create());  // already created
}

TEST(Dialog, MissingTemplateFailsQuietly) {
    ombrix::Dialog missing(4321, nullptr);
    EXPECT_FALSE(missing.Create());
    EXPECT_EQ(-1, missing.DoModal());
}

TEST(Dialog, ModalLoopKeepsDispatchingTimersAndPostedMessages) {
    TestDialog dialog;
    int ticks = 0;
    bool posted = false;
    dialog.onInit = [](TestDialog& d) {
        d.SetTimer(1, 1);
        d.PostMessage(WM_APP + 5);
    };
    dialog.onUser = [&](TestDialog&, UINT message) { posted = message == WM_APP + 5; };
    dialog.onTimer = [&](TestDialog& d, UINT_PTR) {
        if (++ticks >= 2 && posted) d.EndDialog(42);
    };
    EXPECT_EQ(42, dialog.DoModal());
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(nullptr, dialog.GetSafeHwnd());  // the window is gone after the run
    EXPECT_FALSE(dialog.IsModal());
}

TEST(Dialog, ModalRunsNestAndDisableTheirOwner) {
    TestDialog outer;
    INT_PTR innerResult = 0;
    bool ownerDisabled = false;
    outer.onInit = [](TestDialog& d) { d.PostMessage(WM_APP + 1); };
    outer.onUser = [&](TestDialog& d, UINT) {
        TestDialog inner;
        inner.SetParentHandle(d.GetSafeHwnd());
        inner.onInit = [&](TestDialog& i) {
            ownerDisabled = !::IsWindowEnabled(d.GetSafeHwnd());
            i.PostMessage(WM_APP + 2);
        };
        inner.onUser = [](TestDialog& i, UINT) { i.EndDialog(7); };
        innerResult = inner.DoModal();
        EXPECT_TRUE(d.IsWindowEnabled());
        d.EndDialog(1);
    };
    EXPECT_EQ(1, outer.DoModal());
    EXPECT_EQ(7, innerResult);
    EXPECT_TRUE(ownerDisabled);
}

TEST(Dialog, AltF4OnAModalDialogAnswersCancel) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) {
        ::PostMessageW(d.GetSafeHwnd(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
    };
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}

TEST(Dialog, ButtonClickReachesOnCommandAndOkEndsTheRun) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog& d) { d.PostMessage(WM_APP + 1); };
    dialog.onUser = [](TestDialog& d, UINT) {
        d.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    EXPECT_EQ(IDOK, dialog.DoModal());
}

TEST(Dialog, QuitMessageEndsTheRunAndIsPostedAgain) {
    TestDialog dialog;
    dialog.onInit = [](TestDialog&) { ::PostQuitMessage(3); };
    EXPECT_EQ(-1, dialog.DoModal());
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

}  // namespace
