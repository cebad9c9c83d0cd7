// What the skinned message box shows.
#pragma once

#include <string>

#include "ui/UIDataBase.h"

class SkinMessageBoxData : public UIDataBase {
  public:
    std::wstring text;
    int type = 0;                   // Win32 MB_ type code: one or two buttons
    std::wstring firstButtonText;   // empty: "确定"
    std::wstring secondButtonText;  // empty: "取消"
    int highlightSecond = 0;        // nonzero: the second button wears the orange face
};
