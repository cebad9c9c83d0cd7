#include "app/CommandLineTokens.h"

#include <algorithm>
#include <vector>

#include "app/TextFormat.h"

namespace {

wchar_t FoldAscii(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - 32) : c;
}

}  // namespace

bool EqualsIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return true;
}

bool FindCommandLineToken(const std::wstring& commandLine, const std::wstring& modulePath,
                          const std::wstring& key, std::wstring* rawValue) {
    std::wstring rest = commandLine;
    const std::wstring quoted = L"\"" + modulePath + L"\"";
    for (size_t pos = rest.find(quoted); pos != std::wstring::npos; pos = rest.find(quoted, pos)) {
        rest.erase(pos, quoted.size());
    }
    std::vector<std::wstring> tokens;
    SplitTokens(TrimWhiteSpace(rest), L" ", &tokens);
    for (const std::wstring& token : tokens) {
        const size_t equals = token.find(L'=');
        if (equals == std::wstring::npos) continue;
        if (!EqualsIgnoringAsciiCase(token.substr(0, equals), key)) continue;
        if (rawValue != nullptr) *rawValue = token.substr(equals + 1);
        return true;
    }
    return false;
}

std::wstring WithoutCommandLineToken(const std::wstring& commandLine, const std::wstring& key) {
    std::vector<std::wstring> tokens;
    SplitTokens(commandLine, L" \t\r\n\v\f", &tokens);
    std::wstring kept;
    bool insideDropped = false;  // within the quotes a dropped token opened
    for (const std::wstring& token : tokens) {
        if (token.empty()) continue;
        const bool oddQuotes = (std::count(token.begin(), token.end(), L'"') % 2) != 0;
        if (insideDropped) {
            if (oddQuotes) insideDropped = false;
            continue;
        }
        // Whatever precedes the key in the token (quotes, a path glued to it) does not hide it.
        const size_t equals = token.find(L'=');
        if (equals != std::wstring::npos && equals >= key.size() &&
            EqualsIgnoringAsciiCase(token.substr(equals - key.size(), key.size()), key)) {
            insideDropped = oddQuotes;
            continue;
        }
        if (!kept.empty()) kept.push_back(L' ');
        kept += token;
    }
    return kept;
}
