// The skinned modal message box: the one way the launcher asks the player anything.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CSkinDialog;

// Frames of the boxes currently open, innermost last (window thread only). Only the
// innermost is visible; the others reappear when the boxes above them end.
extern std::vector<CSkinDialog*> openMessageBoxes;

// Runs a box modally and answers 1 (first button), 7 (second button) or 2 (closed another
// way). centerRect: screen rectangle to centre on, or null (ownership passes to the box).
// owner: a live window owns the box; anything else gives a box without owner. Empty
// captions mean "确定" and "取消".
int RunMessageBox(const std::wstring& text, RECT* centerRect, const std::wstring& firstButtonText,
                  const std::wstring& secondButtonText, int highlightSecond, HWND owner, int type);
