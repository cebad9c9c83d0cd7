// Content of the skinned message box (template 105): the message and one or two buttons.
// Button 1008 answers 1, button 1009 answers 7 (they end the modal frame).
#pragma once

#include "ui/CCustomLabel.h"
#include "ui/CSkinButton.h"
#include "ui/CSkinUIDialog.h"

class CSkinMessageBox : public CSkinUIDialog {
  public:
    explicit CSkinMessageBox(ombrix::Window* parent = nullptr);
    ~CSkinMessageBox() override;

    CSkinButton firstButton;    // control 1008
    CSkinButton secondButton;   // control 1009
    CCustomLabel messageLabel;  // control 1010

    void OnShowWindow(BOOL show, UINT status) override;
    void OnSize(UINT type, int cx, int cy) override;

    // Types that show the first button alone: 0, 16, 32, 48, 64 and 0x4000.
    static bool IsSingleButtonType(int type);

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

  private:
    // Hides the second button and centres the first for the single-button types.
    void ApplySingleButtonRule();
    // Ends the modal frame (or this dialog when unlinked) with result.
    void EndBox(int result);
};
