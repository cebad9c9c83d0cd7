#include "ui/GdiplusText.h"

std::unique_ptr<Gdiplus::Font> CreateScaledFont(const std::wstring& family, float emSize, int style,
                                                int unit) {
    const auto fontStyle = static_cast<INT>(style);
    const auto fontUnit = static_cast<Gdiplus::Unit>(unit);
    Gdiplus::FontFamily named(family.c_str());
    std::unique_ptr<Gdiplus::Font> font;
    if (named.GetLastStatus() == Gdiplus::Ok)
        font = std::make_unique<Gdiplus::Font>(&named, emSize, fontStyle, fontUnit);
    if (!font || font->GetLastStatus() != Gdiplus::Ok) {
        std::unique_ptr<Gdiplus::FontFamily> generic(
            Gdiplus::FontFamily::GenericSansSerif()->Clone());
        if (generic && generic->GetLastStatus() == Gdiplus::Ok)
            font = std::make_unique<Gdiplus::Font>(generic.get(), emSize, fontStyle, fontUnit);
    }
    if (font && font->GetLastStatus() != Gdiplus::Ok) font.reset();
    return font;
}
