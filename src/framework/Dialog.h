// A dialog created from a DIALOGEX template of the executable's resources, modal or modeless.
//
//   class MyDialog : public ombrix::Dialog {
//   public:
//       MyDialog() : Dialog(IDD_MY, nullptr) {}
//   protected:
//       void DoDataExchange() override { label.SubclassDlgItem(IDC_LABEL, this); }
//       BOOL OnInitDialog() override { Dialog::OnInitDialog(); SetTimer(1, 100); return TRUE; }
//       void OnTimer(UINT_PTR) override { ... EndDialog(1); }
//   };
//   MyDialog dlg; INT_PTR answer = dlg.DoModal();    // or dlg.Create() for a modeless one
//
// Modal runs use our own message loop (MessageLoop.h): it disables the owner, keeps
// dispatching timers and posted messages of every window of the thread, gives each input
// message to PreTranslateMessage (the dialog's own runs IsDialogMessage) and returns when
// EndDialog is called. Modal runs nest. A WM_QUIT ends the run with -1 and is posted again.
//
// Default commands: IDOK runs OnOK (EndDialog(IDOK)), IDCANCEL runs OnCancel
// (EndDialog(IDCANCEL)). The system dialog procedure turns WM_CLOSE (Alt+F4, SC_CLOSE) into a
// posted IDCANCEL command, so a modal dialog closed that way answers IDCANCEL (2).
#pragma once

#include "framework/Window.h"

namespace ombrix {

class Dialog : public Window {
  public:
    // templateId: the DIALOGEX resource; parent: owner of the popup (may be null).
    Dialog(UINT templateId, Window* parent);
    ~Dialog() override;

    // Creates the dialog modeless. templateId 0 keeps the constructor's template; parent
    // null keeps the constructor's parent. False when the template is missing or creation
    // fails (OnInitDialog returned -1 or the window was destroyed during creation).
    bool Create(UINT templateId = 0, Window* parent = nullptr);
    // Same with a raw parent window handle (may be null).
    bool CreateWithParentHandle(UINT templateId, HWND parent);
    // Creates the dialog, runs it modally and destroys the window before returning the value
    // given to EndDialog; -1 when the dialog could not be created.
    INT_PTR DoModal();
    // Ends the modal run with this result; for a modeless dialog, hides it.
    void EndDialog(INT_PTR result);
    // True while DoModal of this dialog is running.
    bool IsModal() const { return modalRunning_; }
    UINT GetTemplateId() const { return templateId_; }
    HWND GetParentHandle() const { return parentHwnd_; }
    void SetParentHandle(HWND parent) { parentHwnd_ = parent; }

    // IsDialogMessage for this dialog (keyboard navigation among its controls).
    BOOL PreTranslateMessage(MSG* msg) override;

  protected:
    // Framework initialisation: runs DoDataExchange. Return TRUE to let the system set the
    // focus to the first control.
    virtual BOOL OnInitDialog();
    // Bind controls by id here (SubclassDlgItem); called from OnInitDialog.
    virtual void DoDataExchange();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  private:
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    bool CreateFromTemplate(HWND parent);

    UINT templateId_;
    HWND parentHwnd_;
    bool modalRunning_ = false;
    bool endRequested_ = false;
    INT_PTR modalResult_ = -1;
};

}  // namespace ombrix
