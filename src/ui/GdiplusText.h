// Fonts for the owner-drawn controls.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

// A GDI+ font of the family, em size, style and unit. A family the system does not know
// falls back to the generic sans-serif family, so text never silently disappears; null only
// when no font can be made at all.
std::unique_ptr<Gdiplus::Font> CreateScaledFont(const std::wstring& family, float emSize, int style,
                                                int unit);
