// The layered frame of a skinned dialog pair: shows its PNG with per-pixel alpha, creates
// the content dialog inside its margins and moves it along.
#pragma once

#include <windows.h>

#include <memory>

#include "ui/CLayeredBackgroundDialog.h"

class CSkinDialog : public CLayeredBackgroundDialog {
  public:
    CSkinDialog(int imageResourceID, ombrix::Window* parent);
    ~CSkinDialog() override;

    std::unique_ptr<CDialogBase> content;  // created as a plain CSkinUIDialog when null
    int contentTemplateID = 0;             // template of the content (105 for the box)
    std::unique_ptr<RECT> centerRect;      // screen rectangle to centre on; may be null

    // Moves frame and content by (dx, dy) in one batch (only when movable).
    void MoveBy(int dx, int dy) override;
    // A question from inside a box: a new box centred on this frame, this one disabled.
    int ShowMessageBox(HWND owner, const std::wstring& text, UINT type,
                       const std::wstring& firstButtonText, const std::wstring& secondButtonText,
                       BOOL highlightSecond) override;
    void BringToFront() override;
    // Stacks the content above the frame again (after the frame was shown).
    void RaiseContent();

  protected:
    BOOL OnInitDialog() override;
    LRESULT OnUserMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    static const UINT kRaiseContent = WM_APP + 0x3F1;  // posted to itself after initialisation
};
