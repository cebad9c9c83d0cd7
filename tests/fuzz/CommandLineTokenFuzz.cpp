// Command-line values: parts command line, module path and key, separated by zero bytes. A
// value found is the text after the first "=" of one space-free token, so a key holding a
// space or "=" never matches; a miss leaves the value alone. The line shown without a key's
// tokens holds none that the launcher would find under that key.
#include <cstdlib>

#include "FuzzInput.h"
#include "app/CommandLineTokens.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts = SplitParts(data, size, 3);
    const std::wstring commandLine = WideText(parts[0]);
    const std::wstring key = WideText(parts[2]);
    if (!key.empty() && key.find_first_of(L" \t\r\n\v\f=\"") == std::wstring::npos &&
        commandLine.find(L'"') == std::wstring::npos) {
        std::wstring shown;
        if (FindCommandLineToken(WithoutCommandLineToken(commandLine, key), L"\x01", key, &shown)) {
            std::abort();
        }
    }
    std::wstring value = L"untouched";
    if (!FindCommandLineToken(commandLine, WideText(parts[1]), key, &value)) {
        if (value != L"untouched") std::abort();
        return 0;
    }
    if (value.find(L' ') != std::wstring::npos || key.find_first_of(L" =") != std::wstring::npos ||
        commandLine.size() < key.size() + 1 + value.size()) {
        std::abort();
    }
    return 0;
}
