#include "resources/ManifestName.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsReservedCharacter(wchar_t c) {
    return c < 0x20 || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

std::wstring ToUpperAscii(const std::wstring& text) {
    std::wstring upper = text;
    for (wchar_t& c : upper) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    }
    return upper;
}

// Device names are reserved whatever extension follows them ("nul.txt" is NUL).
bool IsDeviceName(const std::wstring& part) {
    std::wstring base = part.substr(0, part.find(L'.'));
    while (!base.empty() && base.back() == L' ') base.pop_back();
    base = ToUpperAscii(base);
    static const wchar_t* const kDevices[] = {L"CON",    L"PRN",     L"AUX",   L"NUL",
                                              L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices) {
        if (base == device) return true;
    }
    if (base.size() == 4 && (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0)) {
        // COM0..COM9 and LPT0..LPT9, plus the superscript digits Windows also accepts.
        const wchar_t d = base[3];
        return (d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
    }
    return false;
}

bool IsSafePart(const std::wstring& part) {
    // Windows strips a trailing dot or blank: "a." and "a " would be the file "a".
    if (part.empty() || part.back() == L'.' || part.back() == L' ') return false;
    bool onlyDotsAndBlanks = true;
    for (wchar_t c : part) {
        if (c != L'.' && c != L' ') onlyDotsAndBlanks = false;
    }
    return !onlyDotsAndBlanks && !IsDeviceName(part);
}

}  // namespace

bool IsSafeManifestName(const std::wstring& name) {
    if (name.empty() || IsSeparator(name.front())) return false;
    for (wchar_t c : name) {
        if (IsReservedCharacter(c)) return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        if (!IsSafePart(name.substr(start, end - start))) return false;
        start = end + 1;
    }
    return true;
}
