#include "resources/ManifestName.h"

#include <cwchar>

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsReservedCharacter(wchar_t c) {
    return c < 0x20 || c == L':' || c == L'<' || c == L'>' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*';
}

// Device names are reserved whatever extension follows them ("nul.txt" is NUL). The size units
// at part are one part of a name (no allocation: every name of a configuration passes here).
bool IsDeviceName(const wchar_t* part, size_t size) {
    size_t n = 0;
    while (n < size && part[n] != L'.') ++n;
    while (n > 0 && part[n - 1] == L' ') --n;
    static const size_t kLongest = 7;  // "CONOUT$"
    if (n < 3 || n > kLongest) return false;
    // Every device name starts with one of these letters: most parts need no comparison.
    switch (part[0] | 0x20) {
        case L'a':
        case L'c':
        case L'l':
        case L'n':
        case L'p':
            break;
        default:
            return false;
    }
    wchar_t base[kLongest + 1] = {};
    for (size_t i = 0; i < n; ++i) {
        const wchar_t c = part[i];
        base[i] = c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
    }
    static const wchar_t* const kDevices[] = {L"CON",    L"PRN",     L"AUX",   L"NUL",
                                              L"CONIN$", L"CONOUT$", L"CLOCK$"};
    for (const wchar_t* device : kDevices) {
        if (std::wcscmp(base, device) == 0) return true;
    }
    if (n == 4 && (std::wcsncmp(base, L"COM", 3) == 0 || std::wcsncmp(base, L"LPT", 3) == 0)) {
        // COM0..COM9 and LPT0..LPT9, plus the superscript digits Windows also accepts.
        const wchar_t d = base[3];
        return (d >= L'0' && d <= L'9') || d == L'\u00B9' || d == L'\u00B2' || d == L'\u00B3';
    }
    return false;
}

bool IsSafePart(const wchar_t* part, size_t size) {
    // Windows strips a trailing dot or blank: "a." and "a " would be the file "a".
    if (size == 0 || part[size - 1] == L'.' || part[size - 1] == L' ') return false;
    bool onlyDotsAndBlanks = true;
    for (size_t i = 0; i < size; ++i) {
        if (part[i] != L'.' && part[i] != L' ') onlyDotsAndBlanks = false;
    }
    return !onlyDotsAndBlanks && !IsDeviceName(part, size);
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
        if (!IsSafePart(name.data() + start, end - start)) return false;
        start = end + 1;
    }
    return true;
}
