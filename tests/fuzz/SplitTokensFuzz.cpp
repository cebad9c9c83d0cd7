// Token splitting: parts delimiters and text, separated by a zero byte. Tokens are non-empty,
// trimmed, free of delimiters and together no longer than the text.
#include <cstdlib>

#include "FuzzInput.h"
#include "app/TextFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts = SplitParts(data, size, 2);
    const std::wstring delimiters = WideText(parts[0]);
    const std::wstring text = WideText(parts[1]);
    std::vector<std::wstring> tokens;
    if (SplitTokens(text, delimiters, &tokens) != (delimiters.empty() ? 0 : 1)) std::abort();
    if (SplitTokens(text, delimiters, nullptr) != 0) std::abort();
    size_t total = 0;
    for (const std::wstring& token : tokens) {
        if (token.empty() || token != TrimWhiteSpace(token) ||
            token.find_first_of(delimiters) != std::wstring::npos) {
            std::abort();
        }
        total += token.size();
    }
    if (total > text.size()) std::abort();
    return 0;
}
