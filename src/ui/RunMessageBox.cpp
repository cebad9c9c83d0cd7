#include "ui/RunMessageBox.h"

#include <algorithm>
#include <memory>

#include "app/Log.h"
#include "res/resource.h"
#include "ui/CSkinDialog.h"
#include "ui/CSkinMessageBox.h"
#include "ui/SkinMessageBoxData.h"

std::vector<CSkinDialog*> openMessageBoxes;

namespace {

void ShowFrameAndContent(CSkinDialog* frame, int showCommand) {
    frame->ShowWindow(showCommand);
    if (frame->content) frame->content->ShowWindow(showCommand);
    if (showCommand != SW_HIDE) frame->RaiseContent();
}

}  // namespace

int RunMessageBox(const std::wstring& text, RECT* centerRect, const std::wstring& firstButtonText,
                  const std::wstring& secondButtonText, int highlightSecond, HWND owner, int type) {
    std::unique_ptr<RECT> around(centerRect);
    auto data = std::make_unique<SkinMessageBoxData>();
    data->text = text;
    data->type = type;
    data->firstButtonText = firstButtonText;
    data->secondButtonText = secondButtonText;
    data->highlightSecond = highlightSecond;

    // A dead or missing owner gives a box without owner.
    ombrix::Window ownerWindow;
    if (owner != nullptr && ::IsWindow(owner)) ownerWindow.Attach(owner);

    for (CSkinDialog* open : openMessageBoxes) ShowFrameAndContent(open, SW_HIDE);

    auto box = std::make_unique<CSkinMessageBox>();
    box->data = std::move(data);
    auto frame = std::make_unique<CSkinDialog>(IDP_MESSAGE_FRAME,
                                               ownerWindow.GetSafeHwnd() ? &ownerWindow : nullptr);
    frame->content = std::move(box);
    frame->contentTemplateID = IDD_SKIN_MESSAGE_BOX;
    frame->centerRect = std::move(around);
    frame->movable = 1;

    openMessageBoxes.push_back(frame.get());
    INT_PTR result = frame->DoModal();
    auto self = std::find(openMessageBoxes.begin(), openMessageBoxes.end(), frame.get());
    if (self != openMessageBoxes.end()) openMessageBoxes.erase(self);
    for (CSkinDialog* open : openMessageBoxes) ShowFrameAndContent(open, SW_SHOW);

    ownerWindow.Detach();
    frame.reset();
    // The box answers 1 or 7 from its buttons; anything else (closed, or it could not even
    // be created) is "closed another way".
    if (result != 1 && result != 7) result = 2;
    LogEvent("question", {{"text", text}, {"type", type}, {"answer", result}});
    return static_cast<int>(result);
}
