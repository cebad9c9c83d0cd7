#include "ui/CSkinMessageBox.h"

#include "app/ScaleFactor.h"
#include "res/resource.h"
#include "ui/SkinMessageBoxData.h"

namespace {

// Places a control on design edges (left, top, right, bottom) at the given scale.
void PlaceControl(ombrix::Window& control, float scale, int left, int top, int right, int bottom) {
    const ScaledBox box = ScaleEdges(scale, left, top, right, bottom);
    control.SetWindowPos(nullptr, box.x, box.y, box.width, box.height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
    control.Invalidate(false);
}

}  // namespace

CSkinMessageBox::CSkinMessageBox(ombrix::Window* parent)
    : CSkinUIDialog(IDD_SKIN_MESSAGE_BOX, parent) {
    insetLeft = 20;
    insetTop = 18;
    insetRight = 20;
    insetBottom = 18;
}

CSkinMessageBox::~CSkinMessageBox() = default;

bool CSkinMessageBox::IsSingleButtonType(int type) {
    return type == 0 || type == 16 || type == 32 || type == 48 || type == 64 || type == 0x4000;
}

void CSkinMessageBox::DoDataExchange() {
    firstButton.SubclassDlgItem(IDC_FIRST_BUTTON, this);
    secondButton.SubclassDlgItem(IDC_SECOND_BUTTON, this);
    messageLabel.SubclassDlgItem(IDC_MESSAGE_LABEL, this);
}

BOOL CSkinMessageBox::OnInitDialog() {
    CSkinUIDialog::OnInitDialog();
    confirmClose = 0;
    SetConfirmClose(0);  // closing the box never asks a question
    auto* box = dynamic_cast<SkinMessageBoxData*>(data.get());
    if (box == nullptr) return TRUE;

    messageLabel.textColor = 0xFFC0C0C0;
    messageLabel.fontSize = 18;
    messageLabel.fontStyle = 1;
    messageLabel.horizontalAlign = 1;
    messageLabel.verticalAlign = 1;
    messageLabel.SetText(box->text);

    const bool secondHighlighted = box->highlightSecond != 0;
    firstButton.SetWindowText(box->firstButtonText.empty() ? L"确定" : box->firstButtonText);
    firstButton.textColor = 0xFFD7F0FF;
    firstButton.fontSize = 18;
    firstButton.fontStyle = 0;
    if (secondHighlighted)
        firstButton.SetImages(IDP_GREY_BUTTON, IDP_GREY_BUTTON_HOVER);
    else
        firstButton.SetImages(IDP_ORANGE_BUTTON, IDP_ORANGE_BUTTON_HOVER);

    secondButton.SetWindowText(box->secondButtonText.empty() ? L"取消" : box->secondButtonText);
    secondButton.textColor = 0xFFC8D2E6;
    secondButton.fontSize = 18;
    secondButton.fontStyle = 0;
    if (secondHighlighted)
        secondButton.SetImages(IDP_ORANGE_BUTTON, IDP_ORANGE_BUTTON_HOVER);
    else
        secondButton.SetImages(IDP_GREY_BUTTON, IDP_GREY_BUTTON_HOVER);

    const float scale = GetScaleFactor();
    PlaceControl(messageLabel, scale, 9, 12, 305, 80);
    PlaceControl(firstButton, scale, 12, 91, 149, 138);
    PlaceControl(secondButton, scale, 172, 91, 309, 138);
    ApplySingleButtonRule();
    return TRUE;
}

void CSkinMessageBox::ApplySingleButtonRule() {
    auto* box = dynamic_cast<SkinMessageBoxData*>(data.get());
    if (box == nullptr || !IsSingleButtonType(box->type) || !firstButton.Exists()) return;
    secondButton.ShowWindow(SW_HIDE);
    const RECT client = GetClientRect();
    RECT button = firstButton.GetWindowRect();
    ::MapWindowPoints(nullptr, GetSafeHwnd(), reinterpret_cast<POINT*>(&button), 2);
    const int buttonWidth = button.right - button.left;
    const int x =
        static_cast<int>(static_cast<float>(client.right - client.left - buttonWidth) * 0.5f);
    firstButton.SetWindowPos(nullptr, x, button.top, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CSkinMessageBox::OnShowWindow(BOOL show, UINT status) {
    CSkinUIDialog::OnShowWindow(show, status);  // default processing, foreground
    if (linkedDialog != nullptr) linkedDialog->MoveBy(0, 0);
    ApplySingleButtonRule();
}

void CSkinMessageBox::OnSize(UINT type, int cx, int cy) {
    CSkinUIDialog::OnSize(type, cx, cy);
    if (linkedDialog != nullptr) linkedDialog->MoveBy(0, 0);
    ApplySingleButtonRule();
}

void CSkinMessageBox::EndBox(int result) {
    if (linkedDialog != nullptr)
        linkedDialog->EndDialog(result);
    else
        EndDialog(result);
}

BOOL CSkinMessageBox::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDC_FIRST_BUTTON) {
            EndBox(1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDC_SECOND_BUTTON) {
            EndBox(7);
            return TRUE;
        }
    }
    return CSkinUIDialog::OnCommand(wParam, lParam);
}
